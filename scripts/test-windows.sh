#!/usr/bin/env bash
# Builds the Windows tests (see build-windows.sh) and runs them under Wine with
# ctest.  Wine keeps its own prefix in build-windows/wine-prefix (made on the
# first run, about 0.7 GB) and its home and temporary folders beside it
# (scripts/lib/wine.sh); its server is ended when the run ends.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/step.sh

scripts/install-deps.sh run wine64
scripts/build-windows.sh all

. scripts/lib/wine.sh
if [ -z "$wine" ] || [ ! -x "$wine" ]; then
  echo "test-windows.sh: wine64 not found (Debian package wine64)" >&2
  exit 1
fi
# Wine reads the command line in the locale's encoding: UTF-8, or names lose letters.
export LC_ALL=C.UTF-8

# Wine's background services (services.exe, winedevice.exe, ...) inherit the
# output of the program that starts them, and ctest waits for that output to
# close: started by a test, they would hold it until Wine's server quits.  So
# the server is started first, kept alive for the whole run, and the services
# are started once here with their output going nowhere.
quietly() { "$@" </dev/null >/dev/null 2>&1; }
"$wineserver" -w 2>/dev/null || true
mkdir -p "$WINEPREFIX"
"$wineserver" -p60 </dev/null >/dev/null 2>&1
trap wine_end EXIT
if [ -f "$WINEPREFIX/system.reg" ]; then
  step "Starting Wine's services" quietly "$wine" wineboot -i
else
  step "Setting up the Wine prefix build-windows/wine-prefix (first run only: about 0.7 GB)" \
    quietly "$wine" wineboot -i
fi

cd build-windows
# Wine itself now and then fails a program at its exit (an assertion of the
# loader after the test passed): a failed test gets a second run.
step "Running the Windows tests under Wine (ctest)" \
  ctest --output-on-failure -j"$(nproc)" --repeat until-pass:2
