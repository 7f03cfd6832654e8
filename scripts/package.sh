#!/usr/bin/env bash
# Builds the Debian package with CPack into build-package/ (a release build
# with Debian's hardening flags, binaries stripped) and checks it: its
# control data and contents with dpkg-deb, its policy with lintian.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/step.sh

scripts/install-deps.sh package
build=build-package
# Debian's hardening and optimisation flags, as a package build uses them.
# Given to CMake explicitly: it reads CXXFLAGS only when it first configures
# a folder, and CPPFLAGS never.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
generator=()
[ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja)
step "Configuring $build/ (cmake, Release with Debian's flags)" cmake -S . -B "$build" "${generator[@]}" \
  -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS"
step "Building $build/" cmake --build "$build" -j"$(nproc)"
rm -f "$build"/quorvel_*.deb
(cd "$build" && step "Making the package (cpack)" cpack -G DEB)
deb=$(ls "$build"/quorvel_*.deb)

dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"
# lintian leaves a scratch file (mldbm-elf-*) in the temporary folder: it
# gets one of the build folder's own.
rm -rf "$build/lintian-tmp"
mkdir "$build/lintian-tmp"
step "Checking the package (lintian)" env TMPDIR="$PWD/$build/lintian-tmp" lintian --fail-on error,warning "$deb"
rm -rf "$build/lintian-tmp"
echo "$deb"
