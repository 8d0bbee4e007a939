# cmake -DBUILD_DIR=<build tree> -DPREFIX=<dir> [-DCONFIG=<config>] -P install.cmake
# Installs the build into an emptied prefix, so that nothing left from an
# earlier run can stand in for a file the install rules no longer write.
cmake_minimum_required(VERSION 3.21)
foreach(var BUILD_DIR PREFIX)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "install.cmake: ${var} not given")
  endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
set(config_args "")
if(CONFIG)
  set(config_args --config "${CONFIG}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}" ${config_args}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install ${BUILD_DIR} --prefix ${PREFIX} failed: ${result}")
endif()
