# What the MinGW-w64 cross toolchains of both Windows builds share;
# mingw-i686.cmake and mingw-x86_64.cmake name the target first. The build
# finds dlltool and objdump itself, by the compilers' prefix.
set(CMAKE_SYSTEM_NAME Windows)
find_program(CMAKE_C_COMPILER NAMES ${triple}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${triple}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${triple}-windres)
# Libraries, headers and packages are the target's: they are searched only
# below the root paths. Those are the cross compiler's own tree, any the
# caller names in CMAKE_FIND_ROOT_PATH, and the trees the caller names in
# CMAKE_PREFIX_PATH, such as an unpacked Quorvel zip: a tree named there is
# a tree for the target.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${triple} ${CMAKE_PREFIX_PATH})
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
find_program(QUORVEL_WINE NAMES wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVEL_WINE})
