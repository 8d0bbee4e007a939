# cmake -DSOURCE=<source tree> -DBINARY=<scratch dir> -DGENERATOR=... [-DMAKE_PROGRAM=...]
#       [-DTOOLCHAIN=<file> | -DC_COMPILER=... -DCXX_COMPILER=...] [-DBUILD_TYPE=...]
#       [-DWERROR=ON] -P subdirectory.cmake
# The library as a subdirectory of another project (subdirectory/), in an
# emptied BINARY: that project configures and builds with the library's
# defaults, and registers none of the library's tests. Its programs,
# consumer_c and consumer_cxx, are left in BINARY to run.
cmake_minimum_required(VERSION 3.21)
foreach(var SOURCE BINARY GENERATOR)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "subdirectory.cmake: ${var} not given")
  endif()
endforeach()
include(${CMAKE_CURRENT_LIST_DIR}/../support/run.cmake)

file(REMOVE_RECURSE "${BINARY}")
set(args -S "${CMAKE_CURRENT_LIST_DIR}/subdirectory" -B "${BINARY}" -G "${GENERATOR}"
  "-DQUORVEL_SOURCE=${SOURCE}" "-DQUORVEL_CONSUMER=${CMAKE_CURRENT_LIST_DIR}/consumer")
append_build_options(args)
run("${CMAKE_COMMAND}" ${args})
run("${CMAKE_COMMAND}" --build "${BINARY}" --parallel 2)

execute_process(COMMAND "${CMAKE_CTEST_COMMAND}" -N WORKING_DIRECTORY "${BINARY}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE listing)
if(rc OR NOT listing MATCHES "\nTotal Tests: 0\n")
  message(FATAL_ERROR "the parent project gets the library's tests:\n${listing}")
endif()
