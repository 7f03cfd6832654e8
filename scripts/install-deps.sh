#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# and only those that are missing.  Usage: install-deps.sh [extra packages]
set -euo pipefail

packages=(g++ cmake locales ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev fonts-liberation python3 python3-dbf python3-dbfread)
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

# A locale with a decimal comma, for the tests of locale-dependent text.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "note: could not generate de_DE.UTF-8; its tests will be skipped" >&2
fi
