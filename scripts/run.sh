#!/usr/bin/env bash
# Builds and starts the program (arguments go to it).  Without a display it
# shows on the command line what the windows would show for the samples; when
# the display cannot be opened it says so and stops.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/step.sh

scripts/install-deps.sh run
# build/ is test.sh's folder too: its configuration is left as it is (tests on
# or off) and only the two programs are built, so that neither script
# rebuilds what the other built.
generator=()
[ -f build/CMakeCache.txt ] || generator=(-G Ninja)
step "Configuring build/ (cmake)" cmake -S . -B build "${generator[@]}"
step "Building the programs in build/" cmake --build build -j"$(nproc)" --target quorvel quorvel-cli

windows=false
if [ -n "${QT_QPA_PLATFORM:-}" ] || [[ " $* " == *" -platform "* ]]; then
  windows=true  # the platform is the user's choice
elif [ -n "${DISPLAY:-}" ]; then
  # Asked first: the toolkit would abort (status 134) with several lines.
  probe=build/display-probe
  if [ ! -x "$probe" ] || [ scripts/lib/display_probe.cpp -nt "$probe" ]; then
    g++ -Wall -Wextra -O1 -o "$probe" scripts/lib/display_probe.cpp -lxcb
  fi
  if ! timeout 10 "$probe"; then
    echo "run.sh: cannot open the display $DISPLAY (no X server there, or it does not let $(id -un) in)" >&2
    exit 1
  fi
  windows=true
elif [ -n "${WAYLAND_DISPLAY:-}" ] &&
     compgen -G "$(qmake6 -query QT_INSTALL_PLUGINS)/platforms/libqwayland-*.so" >/dev/null; then
  windows=true
fi
if $windows; then
  exec build/src/app/quorvel "$@"
fi

samples=build/src/app
cat <<TEXT
==> No display (DISPLAY is not set), so the windows cannot open.  To see them,
    run scripts/run.sh in a desktop session, or on a virtual display with
    xvfb-run -a scripts/run.sh (Debian package xvfb).
==> What they would show for the sample table customers, Samples against
    Samples1 (quorvel-cli diff $samples/Samples customers $samples/Samples1 customers):
TEXT
status=0
build/src/cli/quorvel-cli diff "$samples/Samples" customers "$samples/Samples1" customers || status=$?
# 1 says that the tables differ, as the samples do on purpose.
[ "$status" -le 1 ] || exit "$status"
