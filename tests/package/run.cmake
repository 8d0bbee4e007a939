# cmake -DPROGRAM=<file> -DLOG=<path prefix> [-DEMULATOR=<wine>] [-DARGS=<a|b|...>]
#       [-DSTDOUT_MATCHES=<regex>] [-DLIBRARY_PATH=<dir>] -P run.cmake
# Runs an installed or consumer program and fails when its exit status is
# not 0 or its standard output does not match STDOUT_MATCHES. LIBRARY_PATH
# is where the loader looks first (LD_LIBRARY_PATH), as a user names a
# prefix outside the loader's own folders.
#
# The output goes to LOG.out and LOG.err and is shown from there: a Wine
# program that is first to start the wineserver can leave the server and its
# services holding the program's output, and a test whose pipe is held that
# way never ends.
cmake_minimum_required(VERSION 3.21)
foreach(var PROGRAM LOG)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "run.cmake: ${var} not given")
  endif()
endforeach()
if(NOT EXISTS "${PROGRAM}")
  message(FATAL_ERROR "run.cmake: ${PROGRAM} does not exist")
endif()
string(REPLACE "|" ";" args "${ARGS}")

# Tune spaces are answered from a registry file before the built-in table
# when one is named; the programs expect the table.
unset(ENV{QUORVEL_REGISTRY_FILE})
if(LIBRARY_PATH)
  set(ENV{LD_LIBRARY_PATH} "${LIBRARY_PATH}")
endif()

execute_process(COMMAND ${EMULATOR} "${PROGRAM}" ${args}
  RESULT_VARIABLE result OUTPUT_FILE "${LOG}.out" ERROR_FILE "${LOG}.err")
file(READ "${LOG}.out" out)
file(READ "${LOG}.err" err)
if(NOT out STREQUAL "")
  message("${out}")
endif()
if(NOT err STREQUAL "")
  message("${err}")
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} ${args}: exit status ${result}")
endif()
if(DEFINED STDOUT_MATCHES AND NOT out MATCHES "${STDOUT_MATCHES}")
  message(FATAL_ERROR "${PROGRAM} ${args}: output does not match '${STDOUT_MATCHES}'")
endif()
