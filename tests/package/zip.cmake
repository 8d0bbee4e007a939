# cmake -DCPACK=<cpack> -DBUILD_DIR=<build tree> -DOUT=<dir> -DNAME=<package name>
#       -DEXPECTED=<a|b|...> -DMOVE_TO=<dir> -P zip.cmake
# Makes the build's zip with CPack in an emptied OUT; it must be NAME.zip and
# hold exactly NAME/ with each EXPECTED file below it. Unpacks it in OUT and
# moves NAME/ to MOVE_TO, with CPack's staging tree gone: what then uses the
# zip finds nothing where it was made or first unpacked.
cmake_minimum_required(VERSION 3.21)
foreach(var CPACK BUILD_DIR OUT NAME EXPECTED MOVE_TO)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "zip.cmake: ${var} not given")
  endif()
endforeach()

file(REMOVE_RECURSE "${OUT}")
execute_process(COMMAND "${CPACK}" --config "${BUILD_DIR}/CPackConfig.cmake" -B "${OUT}"
  RESULT_VARIABLE result OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed (${result}):\n${log}")
endif()
file(GLOB zips RELATIVE "${OUT}" "${OUT}/*.zip")
if(NOT zips STREQUAL "${NAME}.zip")
  message(FATAL_ERROR "cpack made '${zips}', not ${NAME}.zip")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -E tar tf "${NAME}.zip" WORKING_DIRECTORY "${OUT}"
  RESULT_VARIABLE result OUTPUT_VARIABLE listing)
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" listing "${listing}")
list(FILTER listing EXCLUDE REGEX "/$")
string(REPLACE "|" ";" expected "${EXPECTED}")
list(TRANSFORM expected PREPEND "${NAME}/")
list(SORT expected)
list(SORT listing)
if(NOT result EQUAL 0 OR NOT listing STREQUAL expected)
  string(REPLACE ";" "\n  " listing "${listing}")
  string(REPLACE ";" "\n  " expected "${expected}")
  message(FATAL_ERROR "${NAME}.zip holds\n  ${listing}\nnot\n  ${expected}")
endif()
file(REMOVE_RECURSE "${OUT}/_CPack_Packages")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${NAME}.zip" WORKING_DIRECTORY "${OUT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "unpacking ${NAME}.zip failed")
endif()
get_filename_component(parent "${MOVE_TO}" DIRECTORY)
file(MAKE_DIRECTORY "${parent}")
file(RENAME "${OUT}/${NAME}" "${MOVE_TO}")
list(LENGTH expected count)
message(STATUS "${NAME}.zip: ${count} files, as expected; moved to ${MOVE_TO}")
