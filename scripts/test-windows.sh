#!/usr/bin/env bash
# Builds the Windows tests (see build-windows.sh) and runs them under Wine with
# ctest.  Wine keeps its own prefix in build-windows/wine-prefix (made on the
# first run, about 0.7 GB).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run wine64
scripts/build-windows.sh all

wine=$(sed -n 's/^QUORVEL_WINE:FILEPATH=//p' build-windows/CMakeCache.txt)
if [ -z "$wine" ] || [ ! -x "$wine" ]; then
  echo "test-windows.sh: wine64 not found (Debian package wine64)" >&2
  exit 1
fi
wineserver="$(dirname "$wine")/wineserver"
# The same prefix and settings as the test commands that the toolchain file writes.
export WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine reads the command line in the locale's encoding: UTF-8, or names lose letters.
export LC_ALL=C.UTF-8

# Wine's background services (services.exe, winedevice.exe, ...) inherit the
# output of the program that starts them, and ctest waits for that output to
# close: started by a test, they would hold it until Wine's server quits.  So
# the server is started first, kept alive for the whole run, and the services
# are started once here with their output going nowhere.
"$wineserver" -w 2>/dev/null || true
mkdir -p "$WINEPREFIX"
"$wineserver" -p60 </dev/null >/dev/null 2>&1
trap '"$wineserver" -k 2>/dev/null || true' EXIT
"$wine" wineboot -i </dev/null >/dev/null 2>&1

cd build-windows
# Wine itself now and then fails a program at its exit (an assertion of the
# loader after the test passed): a failed test gets a second run.
ctest --output-on-failure -j"$(nproc)" --repeat until-pass:2
