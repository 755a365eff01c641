# Fuzzers of the native build: libFuzzer targets that the test run gives a bounded time.

# Fuzzers need clang's libFuzzer; they are built only when the compiler is clang.
set(FUZZ_SECONDS 10 CACHE STRING "How long the test run gives each fuzzer")
# The test run fuzzes from a fixed seed, so that a run on the same code explores the same
# inputs and a red test run means a change, not luck. Longer runs by hand take a random
# seed (0) and search further: build/native/fuzz/<name> -max_total_time=900 <corpus>.
set(FUZZ_SEED 1 CACHE STRING "libFuzzer seed for the test run; 0 picks a random one")
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(HAVE_LIBFUZZER ON)
endif()

# project_fuzzer(NAME SOURCES... [LIBS ...] [CORPUS dir]) — a libFuzzer target, run by ctest for FUZZ_SECONDS.
function(project_fuzzer name)
  if(NOT HAVE_LIBFUZZER)
    return()
  endif()
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES} ${F_UNPARSED_ARGUMENTS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  set(corpus ${CMAKE_BINARY_DIR}/fuzz/${name}-corpus)
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME ${name} COMMAND ${name} -seed=${FUZZ_SEED} -max_total_time=${FUZZ_SECONDS} -rss_limit_mb=2048
                            ${corpus} ${F_CORPUS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS fuzz)
endfunction()
