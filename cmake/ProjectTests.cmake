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

# project_test_high_memory(NAME): in the 64-bit Windows build, runs the test program NAME once
# more as NAME_high_memory with every new block of memory above 4 GiB
# (tests/support/high_memory.cpp), with the same environment and locks. Call it after the
# test's properties are set.
function(project_test_high_memory name)
  if(NOT WIN32 OR NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
    return()
  endif()
  target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/high_memory.cpp)
  add_test(NAME ${name}_high_memory COMMAND ${name} --gtest_color=no WORKING_DIRECTORY ${TEST_OUTPUT_DIR})
  get_test_property(${name} LABELS labels)
  set_tests_properties(${name}_high_memory PROPERTIES TIMEOUT 300 LABELS "${labels};high_memory")
  get_test_property(${name} ENVIRONMENT environment)
  if(NOT environment)
    set(environment "")
  endif()
  set_tests_properties(${name}_high_memory PROPERTIES ENVIRONMENT "TEST_HIGH_MEMORY=1;${environment}")
  get_test_property(${name} RESOURCE_LOCK lock)
  if(lock)
    set_tests_properties(${name}_high_memory PROPERTIES RESOURCE_LOCK "${lock}")
  endif()
endfunction()
