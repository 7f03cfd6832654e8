#!/usr/bin/env bash
# Builds and runs every test.  --sanitize builds and runs them under
# AddressSanitizer and UndefinedBehaviorSanitizer in a separate build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/step.sh

build=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags=(-DQUORVEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi

scripts/install-deps.sh test
# Tests asked for, so that a missing GoogleTest stops here instead of leaving
# them out.  build/ is run.sh's folder too, which keeps this configuration.
generator=()
[ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja)
step "Configuring $build/ (cmake)" cmake -S . -B "$build" "${generator[@]}" -DQUORVEL_TESTS=ON "${flags[@]}"
step "Building $build/" cmake --build "$build" -j"$(nproc)"
cd "$build"
step "Running the tests in $build/ (ctest)" ctest --output-on-failure -j"$(nproc)"
