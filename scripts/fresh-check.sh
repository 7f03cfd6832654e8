#!/usr/bin/env bash
# Runs the README's commands as a newcomer would: in a clean clone of this
# checkout's last commit, made in a temporary folder, with an empty
# environment (env -i: a minimal PATH, a home and a temporary folder of its
# own).  Fails when a command exits with a status other than 0, when a build
# prints a compiler warning, and when a file is left in that home (other than
# what the README's install put there) or temporary folder.
# Usage: fresh-check.sh [--keep] [STEP...], the steps, in this order:
#   run      scripts/run.sh without a display: the samples on the command line
#   ci       .ci/run: scripts/test.sh, scripts/test-windows.sh, scripts/compare-windows.sh
#   rerun    scripts/run.sh after test.sh, which must rebuild nothing
#   install  the README's "From the source": a Release build into ~/.local
#   package  scripts/package.sh
# The temporary folder is removed after a passing check (--keep keeps it) and
# kept after a failing one, with each step's log.
set -euo pipefail
source_root=$(cd "$(dirname "$0")/.." && pwd)
. "$source_root/scripts/lib/step.sh"

keep=false
if [ "${1:-}" = --keep ]; then
  keep=true
  shift
fi
steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(run ci rerun install package)
for s in "${steps[@]}"; do
  case "$s" in
    run | ci | rerun | install | package) ;;
    *) echo "usage: fresh-check.sh [--keep] [run|ci|rerun|install|package]..." >&2; exit 2 ;;
  esac
done

top=$(mktemp -d)
clone="$top/quorvel" home="$top/home" tmp="$top/tmp" logs="$top/logs"
mkdir -p "$home" "$tmp" "$logs"
failures=0
finish() {
  if [ "$failures" -eq 0 ] && ! $keep; then
    rm -rf "$top"
  else
    echo "fresh-check.sh: the clone, its home and the logs are in $top"
  fi
}
trap finish EXIT

if [ -n "$(git -C "$source_root" status --porcelain)" ]; then
  echo "note: the check takes the last commit; uncommitted changes are not part of it"
fi
commit=$(git -C "$source_root" rev-parse HEAD)
git clone --quiet --no-checkout "$source_root" "$clone"
git -C "$clone" checkout --quiet --detach "$commit"
echo "==> Checking $(git -C "$clone" log -1 --format='%h %s' | cut -c1-72) in $clone"

fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

# Runs a command line in the clone as a new user's shell would, its output
# shown and kept in the step's log; checks its status and the log for
# compiler warnings.
fresh() {
  local name=$1 line=$2 status=0
  env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME="$home" TMPDIR="$tmp" \
    bash -c "cd \"\$1\" && $line" fresh "$clone" </dev/null 2>&1 | tee "$logs/$name.log" || status=${PIPESTATUS[0]}
  [ "$status" -eq 0 ] || fail "$name: '$line' exited with $status"
  if grep -E '^[^ :]+:[0-9]+(:[0-9]+)?: warning: |^[^ ]*(cc1plus|ld|lto1|collect2): warning: |^CMake Warning' \
       "$logs/$name.log" >"$logs/$name.warnings"; then
    fail "$name: $(wc -l <"$logs/$name.warnings") warning lines, the first: $(head -1 "$logs/$name.warnings")"
  fi
  return 0
}

for s in "${steps[@]}"; do
  case "$s" in
    run)
      step "fresh-check: scripts/run.sh without a display" fresh run scripts/run.sh
      grep -q '^==> No display' "$logs/run.log" || fail "run: no word of the missing display"
      grep -q '^Record ' "$logs/run.log" || fail "run: no difference lines of the samples"
      ;;
    ci)
      step "fresh-check: .ci/run" fresh ci .ci/run
      # After run.sh, test.sh builds the tests, not the programs' objects again.
      if grep -qE 'Building CXX object src/.*\.cpp\.o$' "$logs/ci.log" &&
         grep -q 'Building the programs in build/: done' "$logs/run.log" 2>/dev/null; then
        fail "ci: test.sh rebuilt what run.sh had built"
      fi
      ;;
    rerun)
      step "fresh-check: scripts/run.sh again" fresh rerun scripts/run.sh
      grep -q 'ninja: no work to do' "$logs/rerun.log" || fail "rerun: run.sh rebuilt something after test.sh"
      ;;
    install)
      step "fresh-check: the README's install from the source" fresh install \
        'cmake -S . -B build -DCMAKE_BUILD_TYPE=Release && cmake --build build &&
         cmake --install build --prefix ~/.local && export PATH="$HOME/.local/bin:$PATH" &&
         quorvel-cli --version && quorvel --version'
      ;;
    package)
      step "fresh-check: scripts/package.sh" fresh package scripts/package.sh
      ;;
  esac
done

# What the commands left outside the clone: only the install may write the home.
installed="$clone/build/install_manifest.txt"
while IFS= read -r -d '' f; do
  if [ ! -f "$installed" ] || ! grep -qxF "$f" "$installed"; then
    fail "left in the home: ${f#"$home"/}"
  fi
done < <(find "$home" \( -type f -o -type l \) -print0)
while IFS= read -r -d '' f; do
  fail "left in the temporary folder: ${f#"$tmp"/}"
done < <(find "$tmp" -mindepth 1 -maxdepth 2 -print0)

if [ "$failures" -gt 0 ]; then
  echo "fresh-check.sh: $failures failures" >&2
  exit 1
fi
echo "fresh-check.sh: ${steps[*]}: every command exited with 0, no compiler warning, nothing left behind"
