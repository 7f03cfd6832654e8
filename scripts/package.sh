#!/usr/bin/env bash
# Builds the Debian package with CPack into build-package/ (a release build
# with Debian's hardening flags, binaries stripped) and checks it: its
# control data and contents with dpkg-deb, its policy with lintian.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh package
build=build-package
# Debian's hardening and optimisation flags, as a package build uses them.
# Given to CMake explicitly: it reads CXXFLAGS only when it first configures
# a folder, and CPPFLAGS never.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/quorvel_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quorvel_*.deb)

dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"
echo "lintian:"
lintian --fail-on error,warning "$deb"
echo "$deb"
