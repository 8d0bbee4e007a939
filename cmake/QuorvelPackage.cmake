# CPack: the installed tree of a Windows build as one zip per architecture,
# quorvel-<version>-win32.zip or quorvel-<version>-win64.zip (`cpack` in the
# build tree). Inside, one folder of the same name holds README.txt,
# LICENSE.txt, bin/, lib/, include/ and share/ as `cmake --install` lays
# them out. A project that adds this tree as a subdirectory keeps its own
# packaging.
#
# The zip is reproducible: with SOURCE_DATE_EPOCH set, CPack stamps every
# entry with it, and strip-nondeterminism (where installed) then puts the
# entries in name order with plain permissions, instead of the order the
# build machine's file system lists them in.
if(NOT WIN32 OR NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_SYSTEM_NAME win32)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "The Quorvel authors")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_FILE_NAME quorvel-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
find_program(QUORVEL_STRIP_NONDETERMINISM strip-nondeterminism)
if(QUORVEL_STRIP_NONDETERMINISM)
  set(CPACK_QUORVEL_STRIP_NONDETERMINISM ${QUORVEL_STRIP_NONDETERMINISM})
  set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/QuorvelZipOrder.cmake)
else()
  message(STATUS "strip-nondeterminism not found: the zip's entries keep the file system's order")
endif()
include(CPack)
