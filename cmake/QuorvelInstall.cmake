# Install rules, in three components a packager can install apart
# (cmake --install <build> --component <name>):
#
#   runtime      the shared library: Linux lib/libquorvel.so.<version> and its
#                SONAME link, Windows bin/quorvel.dll; the licence
#   development  include/quorvel/quorvel.h, version.h; the link-time name
#                lib/libquorvel.so, or lib/libquorvel.a from a static build;
#                Windows lib/libquorvel.dll.a (MinGW), lib/quorvel.lib (MSVC),
#                share/quorvel/quorvel.def; the CMake package, the pkg-config
#                file; docs/*.md and NEWS in share/doc/quorvel
#   tool         bin/quorvel[.exe] and its samples (tools/CMakeLists.txt);
#                on Linux its manual page and bash completion
#
# The licence is share/doc/quorvel/LICENSE on Linux; a Windows build puts
# LICENSE.txt and README.txt (for Windows callers) at the top of the tree,
# the top of its zip.
#
# A shared and a static build install side by side into one prefix. Each
# writes its own pkg-config file (quorvel.pc, quorvel-static.pc) and its own
# CMake target file (QuorvelShared.cmake: Quorvel::quorvel,
# QuorvelStatic.cmake: Quorvel::quorvel_static); what both write (the
# header, QuorvelConfig.cmake, which includes the target files it finds) is
# the same from either.
#
# The CMake package is written from templates rather than by install(EXPORT):
# on Windows an exported target would name the linker's import library, which
# binds only undecorated names and is never installed.
include(CMakePackageConfigHelpers)

set(QUORVEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quorvel)
set(QUORVEL_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES ${PROJECT_SOURCE_DIR}/include/quorvel/quorvel.h ${QUORVEL_GENERATED_INCLUDE_DIR}/quorvel/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quorvel COMPONENT development)

file(GLOB quorvel_docs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${quorvel_docs} ${PROJECT_SOURCE_DIR}/NEWS DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT development)
if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT runtime)
  math(EXPR QUORVEL_WINDOWS_BITS "${CMAKE_SIZEOF_VOID_P} * 8")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/README-windows.txt.in ${PROJECT_BINARY_DIR}/package/README.txt @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/package/README.txt DESTINATION . COMPONENT development)
else()
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)
endif()

if(NOT BUILD_SHARED_LIBS)
  install(TARGETS quorvel ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
  set(QUORVEL_FLAVOUR Static)
  set(QUORVEL_TARGET Quorvel::quorvel_static)
  set(QUORVEL_LIBRARY_DIR ${CMAKE_INSTALL_LIBDIR})
  set(QUORVEL_IMPLIB_NAME "")
  set(QUORVEL_MSVC_IMPLIB_NAME "")
  set(QUORVEL_SONAME "")
  set(QUORVEL_STATIC_PACKAGE ON)
elseif(WIN32)
  # An explicit RUNTIME destination alone installs the DLL only: the linker's
  # import library stays in the build tree.
  install(TARGETS quorvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
  install(FILES ${QUORVEL_IMPLIB} ${QUORVEL_MSVC_IMPLIB} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
  install(FILES ${QUORVEL_LINK_DEF} DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvel COMPONENT development)
  set(QUORVEL_LIBRARY_DIR ${CMAKE_INSTALL_BINDIR})
  get_filename_component(QUORVEL_IMPLIB_NAME ${QUORVEL_IMPLIB} NAME)
  get_filename_component(QUORVEL_MSVC_IMPLIB_NAME ${QUORVEL_MSVC_IMPLIB} NAME)
  set(QUORVEL_SONAME "")
else()
  install(TARGETS quorvel LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT runtime NAMELINK_COMPONENT development)
  set(QUORVEL_LIBRARY_DIR ${CMAKE_INSTALL_LIBDIR})
  set(QUORVEL_IMPLIB_NAME "")
  set(QUORVEL_MSVC_IMPLIB_NAME "")
  set(QUORVEL_SONAME "$<TARGET_SONAME_FILE_NAME:quorvel>")
endif()
if(BUILD_SHARED_LIBS)
  set(QUORVEL_FLAVOUR Shared)
  set(QUORVEL_TARGET Quorvel::quorvel)
  set(QUORVEL_STATIC_PACKAGE OFF)
endif()
set(QUORVEL_LIBRARY_NAME "$<TARGET_FILE_NAME:quorvel>")
if(TARGET quorvel_tool)
  # No run path: an installed tool uses the library the system's loader
  # finds, as every installed program does.
  install(TARGETS quorvel_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
endif()

# QuorvelConfig.cmake: paths relative to where it lies, so the tree can be
# moved. The target file is configured twice: first for the install paths,
# then for the library's file names, which only generator expressions know.
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/QuorvelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/QuorvelConfig.cmake
  INSTALL_DESTINATION ${QUORVEL_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/QuorvelTarget.cmake.in
  ${PROJECT_BINARY_DIR}/package/Quorvel${QUORVEL_FLAVOUR}.cmake.gen
  INSTALL_DESTINATION ${QUORVEL_CMAKE_DIR}
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR CMAKE_INSTALL_LIBDIR QUORVEL_LIBRARY_DIR)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/package/Quorvel${QUORVEL_FLAVOUR}.cmake
  INPUT ${PROJECT_BINARY_DIR}/package/Quorvel${QUORVEL_FLAVOUR}.cmake.gen)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/QuorvelConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/QuorvelConfig.cmake
              ${PROJECT_BINARY_DIR}/package/QuorvelConfigVersion.cmake
              ${PROJECT_BINARY_DIR}/package/Quorvel${QUORVEL_FLAVOUR}.cmake
  DESTINATION ${QUORVEL_CMAKE_DIR} COMPONENT development)

# pkg-config: quorvel.pc for the shared library, quorvel-static.pc for the
# static one. What linking the static library needs besides it (the C++
# runtime, on Windows advapi32 and user32) is in Libs.private, which
# `pkg-config --static` adds.
set(QUORVEL_PC_NAME "Quorvel")
set(QUORVEL_PC_DEFINES "")
set(QUORVEL_PC_LIBS_PRIVATE "-lstdc++")
if(WIN32)
  string(APPEND QUORVEL_PC_LIBS_PRIVATE " -ladvapi32 -luser32")
endif()
if(NOT BUILD_SHARED_LIBS)
  set(QUORVEL_PC_FILE quorvel-static.pc)
  set(QUORVEL_PC_NAME "Quorvel (static)")
  set(QUORVEL_PC_DEFINES " -DQUORVEL_STATIC")
  # The archive by its path: beside a shared build, -lquorvel would name
  # libquorvel.so (or libquorvel.dll.a).
  set(QUORVEL_PC_LIBS "\${libdir}/$<TARGET_FILE_NAME:quorvel>")
elseif(WIN32)
  set(QUORVEL_PC_FILE quorvel.pc)
  # The import library by name: -lquorvel would be passed over by a link
  # with -static, and could bind quorvel.dll itself from another directory,
  # which carries only undecorated names. The DLL carries its own runtime.
  set(QUORVEL_PC_LIBS "\${libdir}/${QUORVEL_IMPLIB_NAME}")
  set(QUORVEL_PC_LIBS_PRIVATE "")
else()
  set(QUORVEL_PC_FILE quorvel.pc)
  set(QUORVEL_PC_LIBS "-L\${libdir} -lquorvel")
endif()
if(QUORVEL_PC_LIBS_PRIVATE)
  set(QUORVEL_PC_LIBS_PRIVATE "\nLibs.private: ${QUORVEL_PC_LIBS_PRIVATE}")
endif()
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(QUORVEL_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(QUORVEL_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
if(WIN32 AND NOT IS_ABSOLUTE "${QUORVEL_PKGCONFIG_DIR}")
  # A Windows tree is unpacked anywhere: the prefix is found from the .pc
  # file's own place (pkg-config --define-prefix gives plain paths).
  file(RELATIVE_PATH to_prefix "/prefix/${QUORVEL_PKGCONFIG_DIR}" "/prefix")
  string(REGEX REPLACE "/$" "" to_prefix "${to_prefix}")
  set(QUORVEL_PC_PREFIX "\${pcfiledir}/${to_prefix}")
else()
  # Linux: plain absolute paths, as users expect them from --cflags and
  # --libs. The prefix is the one installed to, which `cmake --install
  # --prefix` may choose, so it is written in at install time.
  set(QUORVEL_PC_PREFIX "@QUORVEL_PC_INSTALLED_PREFIX@")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/quorvel.pc.in ${PROJECT_BINARY_DIR}/package/quorvel.pc.gen @ONLY)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/package/quorvel.pc.in INPUT ${PROJECT_BINARY_DIR}/package/quorvel.pc.gen)
install(CODE "
  get_filename_component(QUORVEL_PC_INSTALLED_PREFIX \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
  string(REGEX REPLACE \"/$\" \"\" QUORVEL_PC_INSTALLED_PREFIX \"\${QUORVEL_PC_INSTALLED_PREFIX}\")
  configure_file(\"${PROJECT_BINARY_DIR}/package/quorvel.pc.in\" \"${PROJECT_BINARY_DIR}/package/${QUORVEL_PC_FILE}\" @ONLY)"
  COMPONENT development)
install(FILES ${PROJECT_BINARY_DIR}/package/${QUORVEL_PC_FILE} DESTINATION ${QUORVEL_PKGCONFIG_DIR}
  COMPONENT development)
