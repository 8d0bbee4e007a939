# CPack: the installed tree of a Windows build as one zip per architecture,
# quorvel-<version>-win32.zip or quorvel-<version>-win64.zip (`cpack` in the
# build tree). Inside, one folder of the same name holds bin/, lib/,
# include/ and share/ as `cmake --install` lays them out. A project that
# adds this tree as a subdirectory keeps its own packaging.
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
set(CPACK_PACKAGE_VENDOR Quorvel)
set(CPACK_PACKAGE_FILE_NAME quorvel-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
