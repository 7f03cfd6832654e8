# Cross-builds 64-bit Windows programs with Debian's MinGW-w64 (posix threads
# flavour, which std::thread and std::mutex need).  The C++ runtime, libgcc and
# winpthread are linked statically, so a program is one .exe that needs no DLL
# beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_mingw}-windres)

# Look for libraries and headers only in the MinGW tree, programs only on the host.
set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static also takes winpthread's static archive instead of its DLL; -s leaves
# out the debugging symbols (a tenth of the size).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -s")

# ctest and gtest_discover_tests run the test programs through Wine, in a Wine
# prefix of the build folder's own (created on first use, about 0.7 GB), quiet
# and without a display, with a home, XDG folders and a temporary folder
# inside the build folder (made by QuorvelTesting.cmake), so that Wine's menu
# entries and its server's folder stay there.  scripts/lib/wine.sh sets the
# same for the scripts.  Debian's wine64 package puts wine64 outside PATH.
find_program(QUORVEL_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(QUORVEL_WINE NAMES wine64 wine)
if(QUORVEL_WINE)
  set(QUORVEL_WINE_HOME ${CMAKE_BINARY_DIR}/wine-home)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
      HOME=${QUORVEL_WINE_HOME} XDG_CONFIG_HOME=${QUORVEL_WINE_HOME}/.config
      XDG_DATA_HOME=${QUORVEL_WINE_HOME}/.local/share XDG_CACHE_HOME=${QUORVEL_WINE_HOME}/.cache
      XDG_STATE_HOME=${QUORVEL_WINE_HOME}/.local/state TMPDIR=${QUORVEL_WINE_HOME}/tmp
      ${QUORVEL_WINE})
endif()
