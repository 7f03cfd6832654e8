#!/usr/bin/env bash
# Cross-builds for 64-bit Windows with MinGW-w64 into build-windows/: by default
# the command-line tool, one quorvel-cli.exe with a static runtime (no DLL beside
# it).  The windows are left out (no Qt for Windows here).  Installs the compiler
# and GoogleTest's sources when they are missing.
# Usage: build-windows.sh [target...]    ("all" also builds the tests)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run g++-mingw-w64-x86-64-posix googletest
cmake -S . -B build-windows -G Ninja -DQUORVEL_GUI=OFF \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake >/dev/null
if [ $# -eq 0 ]; then
  set -- quorvel-cli
fi
cmake --build build-windows -j"$(nproc)" --target "$@"

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
