# run(COMMAND...): runs a command from a test script and stops the script
# with the command line when it fails.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "Failed (${result}): ${command}")
  endif()
endfunction()

# append_build_options(VAR [TOOLCHAIN_FILE]): appends to the list VAR the
# options a nested configure passes on from the script's own definitions:
# MAKE_PROGRAM, BUILD_TYPE, WERROR, and the toolchain file (TOOLCHAIN_FILE,
# else TOOLCHAIN) or, without one, C_COMPILER and CXX_COMPILER.
function(append_build_options var)
  set(options ${${var}})
  if(MAKE_PROGRAM)
    list(APPEND options "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}")
  endif()
  if(BUILD_TYPE)
    list(APPEND options "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}")
  endif()
  if(WERROR)
    list(APPEND options -DQUORVEL_WERROR=ON)
  endif()
  set(toolchain "${TOOLCHAIN}")
  if(ARGC GREATER 1)
    set(toolchain "${ARGV1}")
  endif()
  if(toolchain)
    list(APPEND options "-DCMAKE_TOOLCHAIN_FILE=${toolchain}")
  else()
    list(APPEND options "-DCMAKE_C_COMPILER=${C_COMPILER}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
  endif()
  set(${var} ${options} PARENT_SCOPE)
endfunction()
