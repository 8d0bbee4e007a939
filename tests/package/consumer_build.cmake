# Builds consumer/consumer.c and consumer/consumer.cpp against the installed
# tree in PREFIX, the way a user's project would, into an emptied BINARY.
#
#   MODE=cmake      configure and build the consumer project (find_package)
#                   with PREFIX in CMAKE_PREFIX_PATH, linking TARGET
#                   (default Quorvel::quorvel)
#   MODE=pkgconfig  call the compilers with the flags PC_NAME.pc gives
#                   (default quorvel; PC_STATIC=ON: pkg-config --static);
#                   RELOCATABLE=ON: the .pc file finds the prefix from its
#                   own place
#   MODE=direct     Windows: the compilers given PREFIX's include folder
#                   and MinGW import library, as the README shows
#
# Other definitions: SOURCE VERSION SANITIZE C_COMPILER CXX_COMPILER LIBDIR
# BINDIR EXECUTABLE_SUFFIX WIN32; for cmake also GENERATOR MAKE_PROGRAM
# TOOLCHAIN BUILD_TYPE; for pkgconfig also PKG_CONFIG.
cmake_minimum_required(VERSION 3.21)
foreach(var MODE PREFIX BINARY SOURCE VERSION LIBDIR BINDIR)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "consumer_build.cmake: ${var} not given")
  endif()
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/../support/run.cmake)

file(REMOVE_RECURSE "${BINARY}")
file(MAKE_DIRECTORY "${BINARY}")

if(MODE STREQUAL "cmake")
  set(args -S "${SOURCE}" -B "${BINARY}" -G "${GENERATOR}"
    "-DCMAKE_PREFIX_PATH=${PREFIX}"
    # Only the tree under test: not a package some earlier build registered.
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
    "-DQUORVEL_EXPECTED_PREFIX=${PREFIX}"
    "-DQUORVEL_EXPECTED_VERSION=${VERSION}"
    "-DQUORVEL_CONSUMER_SANITIZE=${SANITIZE}"
    "-DQUORVEL_CONSUMER_TARGET=${TARGET}")
  # A cross build uses the project's own toolchain file as it is: the
  # prefix path alone must lead it to the tree.
  append_build_options(args)
  run("${CMAKE_COMMAND}" ${args})
  run("${CMAKE_COMMAND}" --build "${BINARY}")
  return()
endif()

set(flags -Wall -Wextra -Werror -pedantic-errors)
set(link_flags "")
if(SANITIZE)
  list(APPEND flags -fsanitize=${SANITIZE})
endif()
if(WIN32)
  list(APPEND link_flags -static -static-libgcc -static-libstdc++)
  file(COPY "${PREFIX}/${BINDIR}/quorvel.dll" DESTINATION "${BINARY}")
endif()

# Both programs, compiled and linked with the given flags and libraries.
function(build_programs cflags libs)
  run("${C_COMPILER}" -std=c99 ${flags} ${cflags} "${SOURCE}/consumer.c"
    -o "${BINARY}/consumer_c${EXECUTABLE_SUFFIX}" ${libs} ${link_flags})
  run("${CXX_COMPILER}" -std=c++11 ${flags} ${cflags} "${SOURCE}/consumer.cpp"
    -o "${BINARY}/consumer_cxx${EXECUTABLE_SUFFIX}" ${libs} ${link_flags})
endfunction()

if(MODE STREQUAL "direct")
  build_programs("-I${PREFIX}/include" "${PREFIX}/${LIBDIR}/libquorvel.dll.a")
  return()
endif()
if(NOT MODE STREQUAL "pkgconfig")
  message(FATAL_ERROR "consumer_build.cmake: unknown MODE ${MODE}")
endif()
if(NOT PC_NAME)
  set(PC_NAME quorvel)
endif()
set(pc_options "")
if(PC_STATIC)
  set(pc_options --static)
endif()

# Only the installed tree's .pc files, whatever the machine has.
set(ENV{PKG_CONFIG_LIBDIR} "${PREFIX}/${LIBDIR}/pkgconfig")
unset(ENV{PKG_CONFIG_PATH})
unset(ENV{PKG_CONFIG_SYSROOT_DIR})

function(pkg_config out)
  execute_process(COMMAND "${PKG_CONFIG}" ${pc_options} ${ARGN} ${PC_NAME}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "pkg-config ${pc_options} ${ARGN} ${PC_NAME} failed: ${error}")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

pkg_config(modversion --modversion)
if(NOT modversion STREQUAL VERSION)
  message(FATAL_ERROR "${PC_NAME}.pc gives version '${modversion}', the build is ${VERSION}")
endif()
# The .pc file locates the tree from where it lies, so the moved prefix
# must still be the one it names.
pkg_config(libdir --variable=libdir)
get_filename_component(libdir "${libdir}" REALPATH)
get_filename_component(expected_libdir "${PREFIX}/${LIBDIR}" REALPATH)
if(NOT libdir STREQUAL expected_libdir)
  message(FATAL_ERROR "${PC_NAME}.pc gives libdir ${libdir}, expected ${expected_libdir}")
endif()
pkg_config(cflags --cflags)
pkg_config(libs --libs)
if(NOT RELOCATABLE)
  # Plain paths, as users expect to read them: nothing to resolve. A
  # relocatable file gives them relative to its own folder.
  foreach(flag_text IN ITEMS "${cflags}" "${libs}")
    if(flag_text MATCHES "/\\.\\.?(/| |$)")
      message(FATAL_ERROR "${PC_NAME}.pc gives paths that are not normalised: ${flag_text}")
    endif()
  endforeach()
endif()
separate_arguments(cflags UNIX_COMMAND "${cflags}")
separate_arguments(libs UNIX_COMMAND "${libs}")
if(NOT WIN32)
  # A prefix outside the loader's search path: the usual run path.
  list(APPEND link_flags "-Wl,-rpath,${libdir}")
endif()
build_programs("${cflags}" "${libs}")
