#!/usr/bin/env bash
# Installs the Debian packages that a task needs, and only those missing.
#   install-deps.sh run      building and running the programs
#   install-deps.sh test     that, plus the tests' libraries, readers and checkers
#   install-deps.sh package  that of run, plus what builds and checks the package
# Further arguments are extra packages.  As root it runs apt-get itself, as
# another user through sudo; where there is no sudo it names what is missing
# and the one command that installs it as root, and exits with 2.
set -euo pipefail
. "$(dirname "$0")/lib/step.sh"

task="${1:-test}"
shift || true
# libsqlite3-0, libpq5: loaded when a sqlite: or postgresql:// side is read
# (no -dev package: the program declares the few C functions it calls).
# libxcb1-dev: run.sh asks the X server whether the display opens before it
# starts the program.
packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-qpa-plugins fonts-liberation libxcb1-dev)
case "$task" in
  run) ;;
  test) packages+=(libgtest-dev libgmock-dev libbenchmark-dev locales python3 python3-dbf
                   python3-dbfread desktop-file-utils appstream libsqlite3-0 libpq5 postgresql) ;;
  package) packages+=(dpkg-dev file lintian desktop-file-utils appstream) ;;
  *) echo "usage: install-deps.sh run|test|package [packages...]" >&2; exit 2 ;;
esac
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
# The tests of locale-dependent text need a locale with a decimal comma.
make_locale=()
if [ "$task" = test ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  make_locale=(localedef -i de_DE -f UTF-8 de_DE.UTF-8)
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then
    as_root=(sudo)
  else
    command=""
    if [ ${#missing[@]} -gt 0 ]; then
      command="apt-get update && apt-get install -y ${missing[*]}"
    fi
    if [ ${#make_locale[@]} -gt 0 ]; then
      command="${command:+$command && }${make_locale[*]}"
    fi
    if [ ${#missing[@]} -gt 0 ]; then
      echo "install-deps.sh: missing Debian packages: ${missing[*]}" >&2
      echo "install-deps.sh: there is no sudo to install them with; as root, run this and start again:" >&2
      echo "  su -c '$command'" >&2
      exit 2
    fi
    if [ ${#make_locale[@]} -gt 0 ]; then
      echo "note: no de_DE.UTF-8 locale and no sudo to make it: its tests will be skipped (as root: su -c '$command')" >&2
    fi
    exit 0
  fi
fi

if [ ${#missing[@]} -gt 0 ]; then
  step "Updating the package lists (apt-get update)" "${as_root[@]}" apt-get update -q
  step "Installing ${#missing[@]} Debian packages: ${missing[*]}" \
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi
if [ ${#make_locale[@]} -gt 0 ]; then
  step "Making the locale de_DE.UTF-8 (the tests of decimal commas)" "${as_root[@]}" "${make_locale[@]}" ||
    echo "note: could not make de_DE.UTF-8; its tests will be skipped" >&2
fi
