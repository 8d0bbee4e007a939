# cmake -DSOURCE=<source tree> -DBINARY=<scratch dir> -DGENERATOR=... [-DMAKE_PROGRAM=...]
#       -DC_COMPILER=... -DCXX_COMPILER=... -DPKG_CONFIG=... -DVERSION=... -DLIBDIR=...
#       [-DWERROR=ON] -P static.cmake
# -DBUILD_SHARED_LIBS=OFF end to end: the source tree is configured, built
# and installed as a static library, then the consumer programs are built
# against it through find_package and through pkg-config, and run.
cmake_minimum_required(VERSION 3.21)
include(${CMAKE_CURRENT_LIST_DIR}/../support/run.cmake)

set(build "${BINARY}/build")
set(prefix "${BINARY}/prefix")
file(REMOVE_RECURSE "${BINARY}")
set(args -S "${SOURCE}" -B "${build}" -G "${GENERATOR}" -DBUILD_SHARED_LIBS=OFF -DQUORVEL_TESTS=OFF)
set(BUILD_TYPE Release)
unset(TOOLCHAIN)
append_build_options(args)
run("${CMAKE_COMMAND}" ${args})
run("${CMAKE_COMMAND}" --build "${build}")
run("${CMAKE_COMMAND}" --install "${build}" --prefix "${prefix}")

file(GLOB shared "${prefix}/${LIBDIR}/*.so*")
if(shared OR NOT EXISTS "${prefix}/${LIBDIR}/libquorvel.a")
  message(FATAL_ERROR "a static install holds '${shared}' and no libquorvel.a")
endif()
# The installed tool carries the library; it says so.
execute_process(COMMAND "${prefix}/bin/quorvel" --version OUTPUT_VARIABLE version RESULT_VARIABLE rc)
if(rc OR NOT version MATCHES "library +${VERSION}\nlibrary file +built in\n")
  message(FATAL_ERROR "quorvel --version from the static install: status ${rc}\n${version}")
endif()

set(common -DPREFIX=${prefix} -DSOURCE=${CMAKE_CURRENT_LIST_DIR}/consumer -DVERSION=${VERSION} -DSANITIZE=
  -DC_COMPILER=${C_COMPILER} -DCXX_COMPILER=${CXX_COMPILER} -DLIBDIR=${LIBDIR} -DBINDIR=bin)
run("${CMAKE_COMMAND}" ${common} -DMODE=cmake -DBINARY=${BINARY}/cmake-consumer -DGENERATOR=${GENERATOR}
  -DMAKE_PROGRAM=${MAKE_PROGRAM} -DBUILD_TYPE=Release -P ${CMAKE_CURRENT_LIST_DIR}/consumer_build.cmake)
run("${CMAKE_COMMAND}" ${common} -DMODE=pkgconfig -DBINARY=${BINARY}/pkgconfig-consumer -DPKG_CONFIG=${PKG_CONFIG}
  -P ${CMAKE_CURRENT_LIST_DIR}/consumer_build.cmake)
foreach(via cmake pkgconfig)
  foreach(lang c cxx)
    run("${CMAKE_COMMAND}" -DPROGRAM=${BINARY}/${via}-consumer/consumer_${lang} -DLOG=${BINARY}/${via}_${lang}
      "-DSTDOUT_MATCHES=all answers right" -P ${CMAKE_CURRENT_LIST_DIR}/run.cmake)
  endforeach()
endforeach()
