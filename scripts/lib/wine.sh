# Sourced by test-windows.sh and compare-windows.sh, from the project root:
# Wine with the settings that ctest's test commands get from the toolchain
# file (cmake/toolchains/x86_64-w64-mingw32.cmake), the build's own prefix,
# quiet, without the Mono and Gecko prompts, and a home, XDG folders and a
# temporary folder inside build-windows/.  So what Wine writes for a desktop
# (~/.config/menus, ~/.local/share/applications) and the folder of its server
# (wine-* in the temporary folder) stay in the build tree.
wine=$(sed -n 's/^QUORVEL_WINE:FILEPATH=//p' build-windows/CMakeCache.txt 2>/dev/null || true)
wineserver="$(dirname "${wine:-.}")/wineserver"
wine_home="$PWD/build-windows/wine-home"
export WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export HOME="$wine_home" XDG_CONFIG_HOME="$wine_home/.config" XDG_DATA_HOME="$wine_home/.local/share" \
       XDG_CACHE_HOME="$wine_home/.cache" XDG_STATE_HOME="$wine_home/.local/state" TMPDIR="$wine_home/tmp"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$TMPDIR"

# Ends the server of this prefix and the services it keeps, and waits for them.
wine_end() {
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
}
