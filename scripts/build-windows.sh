#!/usr/bin/env bash
# Cross-builds for 64-bit Windows with MinGW-w64 into build-windows/: by default
# the command-line tool, one quorvel-cli.exe with a static runtime (no DLL beside
# it).  The windows are left out (no Qt for Windows here).  Installs the compiler
# and GoogleTest's sources when they are missing.
# Usage: build-windows.sh [target...]    ("all" also builds the tests)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/step.sh

scripts/install-deps.sh run g++-mingw-w64-x86-64-posix googletest
# GoogleTest's sources are installed above: the tests are asked for, so that
# "all" fails loudly if they are missing.
# The generator and the toolchain are a folder's first configuration's.
first=()
[ -f build-windows/CMakeCache.txt ] ||
  first=(-G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake)
step "Configuring build-windows/ (cmake, MinGW-w64)" cmake -S . -B build-windows "${first[@]}" \
  -DQUORVEL_GUI=OFF -DQUORVEL_TESTS=ON
if [ $# -eq 0 ]; then
  set -- quorvel-cli
fi
step "Building $* in build-windows/" cmake --build build-windows -j"$(nproc)" --target "$@"

# A program linked against a MinGW runtime DLL (libstdc++-6.dll, libgcc_s_seh-1.dll,
# libwinpthread-1.dll) would not start on a Windows machine without MinGW.
status=0
while IFS= read -r -d '' exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
  if grep -qi '^lib' <<<"$dlls"; then
    echo "$exe needs a MinGW DLL: $(grep -i '^lib' <<<"$dlls" | tr '\n' ' ')" >&2
    status=1
  fi
done < <(find build-windows -name '*.exe' -not -path 'build-windows/wine-prefix/*' -print0)
exit $status
