# GoogleTest for a cross build: Debian's googletest package ships the sources
# (no Windows libraries), so they are built here with the project's toolchain
# and give the same GTest::gtest, GTest::gtest_main and GTest::gmock targets as
# find_package(GTest) does on Linux.  QUORVEL_GTEST_SOURCE_DIR is set where the
# tests are chosen (QuorvelTestChoice.cmake).
if(NOT EXISTS ${QUORVEL_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${QUORVEL_GTEST_SOURCE_DIR} (Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(BUILD_SHARED_LIBS OFF)
# EXCLUDE_FROM_ALL: only what the tests link gets built.
add_subdirectory(${QUORVEL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
