#!/usr/bin/env bash
# Takes the README's picture of the results window (docs/results-window.png)
# from the shipped samples: builds the picture program and runs it on a
# virtual display (Xvfb), so that it looks as it does on a desktop.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run xvfb xauth
# build/ in the configuration that run.sh and test.sh left it in.
generator=()
[ -f build/CMakeCache.txt ] || generator=(-G Ninja)
cmake -S . -B build "${generator[@]}" >/dev/null
cmake --build build -j"$(nproc)" --target results_screenshot
# A copy of the samples, so that the shipped ones stay as they are.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r samples/Samples samples/Samples1 "$work/"
# Run inside the copy, so that the window names the sample folders as
# ./Samples and ./Samples1 rather than by a temporary path.
root=$PWD
(cd "$work" && LC_ALL=C.UTF-8 xvfb-run -a -s "-screen 0 1024x768x24" \
  "$root/build/docs/results_screenshot" . "$root/docs/results-window.png")
echo "docs/results-window.png written"
