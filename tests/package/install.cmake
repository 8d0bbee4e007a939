# cmake -DBUILD_DIR=<build tree> -DPREFIX=<dir> [-DCONFIG=<config>] -P install.cmake
# Installs the build into an emptied prefix, so that nothing left from an
# earlier run can stand in for a file the install rules no longer write.
# Then installs the components runtime, development and tool alone into
# PREFIX-components: together they must write every file, so that a
# packager who splits them loses none.
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

set(parts "${PREFIX}-components")
file(REMOVE_RECURSE "${parts}")
foreach(component runtime development tool)
  execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${parts}" ${config_args}
    --component ${component} RESULT_VARIABLE result OUTPUT_QUIET)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install ${BUILD_DIR} --component ${component} failed: ${result}")
  endif()
endforeach()
file(GLOB_RECURSE all LIST_DIRECTORIES false RELATIVE "${PREFIX}" "${PREFIX}/*")
file(GLOB_RECURSE in_components LIST_DIRECTORIES false RELATIVE "${parts}" "${parts}/*")
list(REMOVE_ITEM all ${in_components})
if(all)
  message(FATAL_ERROR "installed by no component: ${all}")
endif()
