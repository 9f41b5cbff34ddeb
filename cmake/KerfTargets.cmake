# Compile settings shared by every target of the project (not by third-party code such as GoogleTest).

set(KERF_WINDOWS ${WIN32})

# Sources are UTF-8; every quoted text is compiled to the Shift-JIS bytes the programs work in.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set(KERF_CHARSET_FLAGS -finput-charset=UTF-8 -fexec-charset=CP932)
else()
  # clang (fuzzing only) has no execution character set other than UTF-8; the parsers under test
  # do not depend on it.
  set(KERF_CHARSET_FLAGS "")
endif()

# Warnings are shown, never fatal here: the presets and CI make them errors
# (CMAKE_COMPILE_WARNING_AS_ERROR), so a plain build with another compiler version still builds.
function(kerf_settings target)
  target_compile_options(${target} PRIVATE ${KERF_CHARSET_FLAGS} -Wall -Wextra)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  if(WIN32)
    target_compile_definitions(${target} PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                _WIN32_WINNT=0x0601)
  else()
    target_compile_definitions(${target} PUBLIC _FILE_OFFSET_BITS=64)
  endif()
  if(KERF_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all
                                             -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  # The fuzz build instruments every library for coverage and the sanitizers, so a target links
  # the code under test as the programs do. Any sanitizer report ends the input: a finding.
  if(KERF_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
                                             -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# kerf_library(name SOURCES ... LIBS ...): a static library of the project.
function(kerf_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  kerf_settings(${name})
  if(ARG_LIBS)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  endif()
endfunction()

# kerf_program(name SOURCES ... LIBS ... [WINDOWED] [OUTPUT_NAME n]): an executable of the project.
# Windows programs link libgcc and libstdc++ statically so that an .exe runs with nothing beside it.
function(kerf_program name)
  cmake_parse_arguments(ARG "WINDOWED" "OUTPUT_NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  kerf_settings(${name})
  if(ARG_LIBS)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  endif()
  if(ARG_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
  if(WIN32)
    target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
    if(ARG_WINDOWED)
      target_link_options(${name} PRIVATE -mwindows -municode)
    else()
      target_link_options(${name} PRIVATE -municode)
    endif()
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
endfunction()

# kerf_test(name SOURCES ... LIBS ... [HELPERS pattern] [NO_PCH]): one GoogleTest binary, run by CTest
# (under Wine when the build is for Windows, through the cross-compiling emulator). HELPERS names
# the cases (a --gtest_filter pattern) that are the binary's own child processes, started by other
# cases of it: CTest's run leaves them out, so they are not counted as tests.
#
# The test binaries share one precompiled header (GoogleTest and the standard headers most tests
# include), made once per build tree: parsing gtest.h alone costs about a second per file.
# KERF_TEST_PCH=OFF compiles each test file on its own, which shows a missing #include; NO_PCH
# leaves a test out (one compiled with other flags, which the header would not fit).
option(KERF_TEST_PCH "Compile the tests with a precompiled header" ON)
# ccache reuses a compile that takes a precompiled header only with these sloppinesses (the
# header's macros and __TIME__ cannot be seen through it); the tests' compiles alone get them.
function(kerf_test_launcher target)
  if(KERF_CCACHE_PROGRAM AND KERF_TEST_PCH)
    set_target_properties(${target} PROPERTIES CXX_COMPILER_LAUNCHER
      "${CMAKE_COMMAND};-E;env;CCACHE_SLOPPINESS=pch_defines,time_macros;${KERF_CCACHE_PROGRAM}")
  endif()
endfunction()
function(kerf_test_pch_target)
  if(TARGET kerf_test_pch)
    return()
  endif()
  set(source ${PROJECT_BINARY_DIR}/kerf_test_pch.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT "// The tests' precompiled header is made from this target.\n")
  add_library(kerf_test_pch STATIC ${source})
  kerf_settings(kerf_test_pch)
  target_link_libraries(kerf_test_pch PRIVATE GTest::gtest)
  target_precompile_headers(kerf_test_pch PRIVATE
    <gtest/gtest.h> <algorithm> <cstdint> <cstdio> <cstdlib> <cstring> <filesystem> <functional>
    <map> <memory> <random> <stdexcept> <string> <vector>)
  kerf_test_launcher(kerf_test_pch)
endfunction()

function(kerf_test name)
  cmake_parse_arguments(ARG "NO_PCH" "HELPERS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  kerf_settings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  if(KERF_TEST_PCH AND NOT ARG_NO_PCH)
    kerf_test_pch_target()
    target_precompile_headers(${name} REUSE_FROM kerf_test_pch)
    kerf_test_launcher(${name})
  endif()
  if(WIN32)
    target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  set(filter)
  if(ARG_HELPERS)
    set(filter "--gtest_filter=-${ARG_HELPERS}")
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 ${filter})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "KERF_BUILD_DIR=${PROJECT_BINARY_DIR};KERF_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    TIMEOUT 600)
endfunction()
