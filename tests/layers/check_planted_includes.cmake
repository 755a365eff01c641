# Builds the planted-include targets of tests/layers/CMakeLists.txt one after another and checks
# each outcome: a header of the layer above is refused as not found, a header of the layer's own
# builds. Arguments after the script: triples <target> <header> builds|refused. BUILD_DIR is the
# build folder.
set(arguments "")
set(take FALSE)
foreach(i RANGE ${CMAKE_ARGC})
  if(take)
    list(APPEND arguments "${CMAKE_ARGV${i}}")
  elseif("${CMAKE_ARGV${i}}" MATCHES "check_planted_includes\\.cmake$")
    set(take TRUE)
  endif()
endforeach()

set(faults 0)
while(arguments)
  list(POP_FRONT arguments target header expectation)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(REGEX MATCH "fatal error: [^\n]*${header}: No such file or directory" refusal "${output}")
  if(expectation STREQUAL "refused" AND result AND refusal)
    message(STATUS "${target}: the include of ${header} is refused: ${refusal}")
  elseif(expectation STREQUAL "builds" AND result EQUAL 0)
    message(STATUS "${target}: the include of ${header} builds")
  else()
    message(STATUS "${target}: the include of ${header} was expected to be ${expectation}:\n${output}")
    math(EXPR faults "${faults} + 1")
  endif()
endwhile()
if(faults)
  message(FATAL_ERROR "${faults} planted include(s) not as the layering demands")
endif()
