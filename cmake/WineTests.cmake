# Helpers for tests of the Windows build: every test executable runs under Wine through
# the build's wine-run wrapper (CMAKE_CROSSCOMPILING_EMULATOR), one ctest entry per executable.

set(TEST_OUTPUT_DIR ${CMAKE_BINARY_DIR}/tests)

# project_test(NAME SOURCES... [LIBS ...] [RESOURCES rc...] [ENV VAR=VALUE...] [LABELS ...])
# Builds a GoogleTest executable into build/tests and registers it with ctest.
function(project_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TEST_OUTPUT_DIR})
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no WORKING_DIRECTORY ${TEST_OUTPUT_DIR})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS "${T_LABELS}")
  if(T_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
endfunction()
