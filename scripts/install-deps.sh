#!/usr/bin/env bash
# Installs the Debian packages that a task needs, and only those missing.
#   install-deps.sh run      building and running the programs
#   install-deps.sh test     that, plus the tests' libraries, readers and checkers
#   install-deps.sh package  that of run, plus what builds and checks the package
# Further arguments are extra packages.
set -euo pipefail

task="${1:-test}"
shift || true
packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-qpa-plugins fonts-liberation)
case "$task" in
  run) ;;
  test) packages+=(libgtest-dev libgmock-dev libbenchmark-dev locales python3 python3-dbf
                   python3-dbfread desktop-file-utils appstream) ;;
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
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The tests of locale-dependent text need a locale with a decimal comma.
if [ "$task" = test ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "note: could not generate de_DE.UTF-8; its tests will be skipped" >&2
fi
