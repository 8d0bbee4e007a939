# cmake -DABIDIFF=<abidiff> -DBASELINE=<abidw file> -DLIBRARY=<libquorvel.so>
#       -P abi.cmake
# The library's ABI (exports, their parameters and return types, the types
# they reach such as the device record's layout, the SONAME) against the
# committed baseline. Any difference fails and shows abidiff's report: a
# deliberate change comes with a new baseline (docs/abi.md).
cmake_minimum_required(VERSION 3.21)
foreach(var ABIDIFF BASELINE LIBRARY)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "abi.cmake: ${var} not given")
  endif()
endforeach()
execute_process(COMMAND "${ABIDIFF}" --exported-interfaces-only "${BASELINE}" "${LIBRARY}"
  RESULT_VARIABLE result OUTPUT_VARIABLE report ERROR_VARIABLE report)
# abidiff's status is a bit field: 1 an error, 2 a usage error, 4 an ABI
# change, 8 an incompatible one.
if(NOT result EQUAL 0)
  message("${report}")
  message(FATAL_ERROR "abidiff ${BASELINE} ${LIBRARY}: status ${result}")
endif()
message(STATUS "The ABI of ${LIBRARY} is the baseline's")
