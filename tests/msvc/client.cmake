# cmake -DCLANG=<clang> -DLLD_LINK=<lld-link> -DTRIPLE=<clang target> -DINCLUDE_DIRS=<a|b|...>
#       -DIMPORT_LIB=<quorvel.lib> -DSYSTEM_LIBS=<a|b|...> -DDLL=<quorvel.dll> -DBINARY=<dir>
#       [-DEMULATOR=<wine>] -P client.cmake
# Builds client.c as MSVC would (no C runtime, no SDK) against the headers in
# INCLUDE_DIRS, links it with lld-link against IMPORT_LIB and the system
# import libraries alone, and runs it beside DLL in an emptied BINARY.
cmake_minimum_required(VERSION 3.21)
foreach(var CLANG LLD_LINK TRIPLE INCLUDE_DIRS IMPORT_LIB SYSTEM_LIBS DLL BINARY)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "client.cmake: ${var} not given")
  endif()
endforeach()
string(REPLACE "|" ";" system_libs "${SYSTEM_LIBS}")
string(REPLACE "|" ";" include_dirs "${INCLUDE_DIRS}")
list(TRANSFORM include_dirs PREPEND -I)

include(${CMAKE_CURRENT_LIST_DIR}/../support/run.cmake)

file(REMOVE_RECURSE "${BINARY}")
file(MAKE_DIRECTORY "${BINARY}")
run("${CLANG}" --target=${TRIPLE} -ffreestanding -O2 -std=c99 -Wall -Wextra -Werror -pedantic
  ${include_dirs} -c "${CMAKE_CURRENT_LIST_DIR}/client.c" -o "${BINARY}/client.obj")
if(TRIPLE MATCHES "^i686")
  # MinGW's kernel32 import objects carry no safe exception handler table.
  set(link_args /machine:x86 /safeseh:no)
else()
  set(link_args /machine:x64)
endif()
run("${LLD_LINK}" /nologo ${link_args} /subsystem:console /entry:client_entry /nodefaultlib
  "${BINARY}/client.obj" "${IMPORT_LIB}" ${system_libs} "/out:${BINARY}/client.exe")
file(COPY "${DLL}" DESTINATION "${BINARY}")

set(PROGRAM "${BINARY}/client.exe")
set(LOG "${BINARY}/client")
set(STDOUT_MATCHES "all answers right")
include(${CMAKE_CURRENT_LIST_DIR}/../package/run.cmake)
