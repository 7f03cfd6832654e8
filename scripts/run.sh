#!/usr/bin/env bash
# Builds and starts the program.  Without a display it compares a sample
# table on the command line instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run
cmake -S . -B build -G Ninja -DQUORVEL_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/src/app/quorvel "$@"
fi
echo "No display (DISPLAY/WAYLAND_DISPLAY unset): comparing customers of Samples with Samples1 on the command line instead."
exec build/src/cli/quorvel-cli diff build/src/app/Samples customers build/src/app/Samples1 customers
