# One way to add a test executable: GoogleTest (or Qt Test) sources linked
# against the project libraries, run headless with a fixed locale so that
# text forms are deterministic.  Tests read the shared fixtures through
# QUORVEL_FIXTURES and skip when that folder is absent.
find_package(GTest REQUIRED)

get_filename_component(QUORVEL_FIXTURES "${CMAKE_SOURCE_DIR}/../shared/fixtures" ABSOLUTE)

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
    QUORVEL_CLI_PATH="$<TARGET_FILE:quorvel-cli>")
  add_dependencies(${name} quorvel-cli)
  set(env "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8;QUORVEL_FIXTURES=${QUORVEL_FIXTURES}")
  if(ARG_QT)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
  else()
    gtest_discover_tests(${name} PROPERTIES ENVIRONMENT "${env}" DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# Every .cpp of a folder, so that adding a file needs no CMake edit.
function(quorvel_glob_sources out dir)
  file(GLOB files CONFIGURE_DEPENDS "${dir}/*.cpp")
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# A library from every .cpp of a folder; a folder that has none yet still
# gives a (empty) library so that the targets that link it configure.
function(quorvel_add_library name dir)
  quorvel_glob_sources(files ${dir})
  if(NOT files)
    set(files ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${files} "// no sources yet\n")
  endif()
  add_library(${name} STATIC ${files})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
endfunction()
