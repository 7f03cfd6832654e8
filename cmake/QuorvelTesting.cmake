# One way to add a test executable: GoogleTest (or Qt Test) sources linked
# against the project libraries, run headless with a fixed locale so that
# text forms are deterministic.  Tests read the shared fixtures through
# QUORVEL_FIXTURES and skip when that folder is absent.
if(CMAKE_CROSSCOMPILING)
  # Built from its sources with the cross compiler; the tests are listed when
  # ctest runs them (through the emulator), so that building needs no Wine.
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsGTest.cmake)
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
  # The folders that the toolchain file gives Wine: it stops when its
  # temporary folder is not there.
  if(QUORVEL_WINE_HOME)
    file(MAKE_DIRECTORY ${QUORVEL_WINE_HOME}/.config ${QUORVEL_WINE_HOME}/.local/share
         ${QUORVEL_WINE_HOME}/.local/state ${QUORVEL_WINE_HOME}/.cache ${QUORVEL_WINE_HOME}/tmp)
  endif()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

get_filename_component(QUORVEL_FIXTURES "${CMAKE_SOURCE_DIR}/../shared/fixtures" ABSOLUTE)
# The toolkit's runtime folder, which it would otherwise make as runtime-USER
# in the temporary folder and leave there; it must be the user's alone.
set(QUORVEL_TEST_RUNTIME_DIR ${CMAKE_BINARY_DIR}/test-runtime)
file(MAKE_DIRECTORY ${QUORVEL_TEST_RUNTIME_DIR})
file(CHMOD ${QUORVEL_TEST_RUNTIME_DIR} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

function(quorvel_add_test name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quorvel_test_support)
  if(NOT ARG_QT)
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock)
  endif()
  target_compile_definitions(${name} PRIVATE
    QUORVEL_FIXTURES="${QUORVEL_FIXTURES}"
    QUORVEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QUORVEL_VERSION="${PROJECT_VERSION}"
    QUORVEL_CLI_PATH="$<TARGET_FILE:quorvel-cli>")
  add_dependencies(${name} quorvel-cli)
  set(env "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8;QUORVEL_FIXTURES=${QUORVEL_FIXTURES}"
          "XDG_RUNTIME_DIR=${QUORVEL_TEST_RUNTIME_DIR}")
  if(ARG_QT)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
  else()
    # The discovered tests' properties pass through a script that splits a
    # list into separate arguments, which leaves ENVIRONMENT only its first
    # entry: the environment is set by a file ctest reads after the list.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
    set(env_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake)
    file(WRITE ${env_file} "if(DEFINED ${name}_TESTS)\n"
         "  set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT \"${env}\")\n"
         "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${env_file})
  endif()
endfunction()
