# cmake -DSOURCE=<source tree> -DBINARY=<scratch dir> -DSHARED_BUILD=<shared build tree>
#       -DGENERATOR=... [-DMAKE_PROGRAM=...] -DC_COMPILER=... -DCXX_COMPILER=...
#       [-DSANITIZE=<the shared build's sanitizers>] [-DBUILD_TYPE=<the shared build's type>]
#       -DPKG_CONFIG=... -DREADELF=... -DVERSION=... -DLIBDIR=... [-DWERROR=ON] -P static.cmake
# -DBUILD_SHARED_LIBS=OFF end to end. The source tree is configured, built
# and installed as a static library, and the consumer programs are built
# against it alone through find_package (Quorvel::quorvel stands for it) and
# pkg-config (quorvel-static). Then SHARED_BUILD and the static build are
# installed into one prefix, the static one last, which must leave every
# file of the first as it was, and each route gets a shared and a static
# user: the shared ones must load libquorvel.so, the static ones must not.
# Every program runs.
cmake_minimum_required(VERSION 3.21)
include(${CMAKE_CURRENT_LIST_DIR}/../support/run.cmake)

set(build "${BINARY}/build")
set(alone "${BINARY}/static-prefix")
set(both "${BINARY}/both-prefix")
file(REMOVE_RECURSE "${BINARY}")
set(shared_build_type "${BUILD_TYPE}")
set(args -S "${SOURCE}" -B "${build}" -G "${GENERATOR}" -DBUILD_SHARED_LIBS=OFF -DQUORVEL_TESTS=OFF)
set(BUILD_TYPE Release)
unset(TOOLCHAIN)
append_build_options(args)
run("${CMAKE_COMMAND}" ${args})
run("${CMAKE_COMMAND}" --build "${build}")
run("${CMAKE_COMMAND}" --install "${build}" --prefix "${alone}")

file(GLOB shared "${alone}/${LIBDIR}/*.so*")
if(shared OR NOT EXISTS "${alone}/${LIBDIR}/libquorvel.a")
  message(FATAL_ERROR "a static install holds '${shared}' and no libquorvel.a")
endif()
# The installed tool carries the library; it says so.
execute_process(COMMAND "${alone}/bin/quorvel" --version OUTPUT_VARIABLE version RESULT_VARIABLE rc)
if(rc OR NOT version MATCHES "library +${VERSION}\nlibrary file +built in\n")
  message(FATAL_ERROR "quorvel --version from the static install: status ${rc}\n${version}")
endif()

run("${CMAKE_COMMAND}" --install "${SHARED_BUILD}" --prefix "${both}")
# What the static install writes over the shared one's library files must
# be the same bytes (the tool is each build's own).
file(GLOB_RECURSE shared_files LIST_DIRECTORIES false RELATIVE "${both}" "${both}/*")
list(FILTER shared_files INCLUDE REGEX "^(include|lib|share/doc)/")
foreach(file IN LISTS shared_files)
  file(SHA256 "${both}/${file}" before_${file})
endforeach()
run("${CMAKE_COMMAND}" --install "${build}" --prefix "${both}")
foreach(file IN LISTS shared_files)
  file(SHA256 "${both}/${file}" after)
  if(NOT after STREQUAL before_${file})
    message(FATAL_ERROR "the static install changed the shared install's ${file}")
  endif()
endforeach()

# name|prefix|mode|linkage|target or .pc: each consumer build.
set(consumers
  "alone-cmake|${alone}|cmake|static|Quorvel::quorvel"
  "alone-pkgconfig|${alone}|pkgconfig|static|quorvel-static"
  "cmake-shared|${both}|cmake|shared|Quorvel::quorvel"
  "cmake-static|${both}|cmake|static|Quorvel::quorvel_static"
  "pkgconfig-shared|${both}|pkgconfig|shared|quorvel"
  "pkgconfig-static|${both}|pkgconfig|static|quorvel-static")
set(common -DSOURCE=${CMAKE_CURRENT_LIST_DIR}/consumer -DVERSION=${VERSION} -DC_COMPILER=${C_COMPILER}
  -DCXX_COMPILER=${CXX_COMPILER} -DLIBDIR=${LIBDIR} -DBINDIR=bin -DGENERATOR=${GENERATOR}
  -DMAKE_PROGRAM=${MAKE_PROGRAM} -DPKG_CONFIG=${PKG_CONFIG})
foreach(consumer IN LISTS consumers)
  string(REPLACE "|" ";" fields "${consumer}")
  list(GET fields 0 name)
  list(GET fields 1 prefix)
  list(GET fields 2 mode)
  list(GET fields 3 linkage)
  list(GET fields 4 library)
  # The shared library is the shared build's, sanitizers and all.
  if(linkage STREQUAL "shared")
    set(options -DSANITIZE=${SANITIZE} -DBUILD_TYPE=${shared_build_type})
  else()
    set(options -DSANITIZE= -DBUILD_TYPE=Release -DPC_STATIC=ON)
  endif()
  run("${CMAKE_COMMAND}" ${common} ${options} -DPREFIX=${prefix} -DMODE=${mode} -DBINARY=${BINARY}/${name}
    -DTARGET=${library} -DPC_NAME=${library} -P ${CMAKE_CURRENT_LIST_DIR}/consumer_build.cmake)
  foreach(lang c cxx)
    set(program ${BINARY}/${name}/consumer_${lang})
    execute_process(COMMAND "${READELF}" --dynamic "${program}" RESULT_VARIABLE rc OUTPUT_VARIABLE dynamic)
    set(needs_shared static)
    if(dynamic MATCHES "[(]NEEDED[)][^\n]*libquorvel[.]so")
      set(needs_shared shared)
    endif()
    if(rc OR NOT needs_shared STREQUAL linkage)
      message(FATAL_ERROR "${name}/consumer_${lang} should be a ${linkage} user of the library, "
                          "and links it ${needs_shared}:\n${dynamic}")
    endif()
    run("${CMAKE_COMMAND}" -DPROGRAM=${program} -DLOG=${BINARY}/${name}_${lang}
      "-DSTDOUT_MATCHES=all answers right" -P ${CMAKE_CURRENT_LIST_DIR}/run.cmake)
  endforeach()
endforeach()
