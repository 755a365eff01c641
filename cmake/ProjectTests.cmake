# project_test(NAME SOURCES... [LIBS ...] [ENV VAR=VALUE...] [LABELS ...])
# Builds a GoogleTest executable into <build>/tests and registers it with ctest, one entry per
# executable. In the Windows build ctest runs it under Wine through the build's wine-run
# (CMAKE_CROSSCOMPILING_EMULATOR); in the native build it runs directly.
set(TEST_OUTPUT_DIR ${CMAKE_BINARY_DIR}/tests)

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
