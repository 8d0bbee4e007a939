# run(COMMAND...): runs a command from a test script and stops the script
# with the command line when it fails.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "Failed (${result}): ${command}")
  endif()
endfunction()
