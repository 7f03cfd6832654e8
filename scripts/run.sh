#!/usr/bin/env bash
# Builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)"

if [ -x build/src/app/quorvel ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec build/src/app/quorvel "$@"
fi
if [ -x build/src/app/quorvel ]; then
  echo "No display (DISPLAY/WAYLAND_DISPLAY unset): comparing a sample table on the command line instead." >&2
fi
exec build/src/cli/quorvel-cli --help
