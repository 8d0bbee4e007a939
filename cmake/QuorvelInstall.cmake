# Install rules: the header, the libraries, the tool, package configuration.
#
#   include/quorvel/quorvel.h, version.h
#   static (-DBUILD_SHARED_LIBS=OFF): lib/libquorvel.a in place of the below
#   Linux:   lib/libquorvel.so.<version>, its SONAME link and the link-time name
#   Windows: bin/quorvel.dll, lib/libquorvel.dll.a (dlltool's, for MinGW),
#            lib/quorvel.lib (for MSVC), share/quorvel/quorvel.def
#   bin/quorvel[.exe] (with -DQUORVEL_TOOL=ON, the default of a top-level build)
#   lib/cmake/Quorvel/QuorvelConfig.cmake, QuorvelConfigVersion.cmake
#   lib/pkgconfig/quorvel.pc
#
# The package configuration is written from a template rather than by
# install(EXPORT): on Windows the exported target would name the linker's
# import library, which binds only undecorated names and is never installed.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QUORVEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quorvel)
set(QUORVEL_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES ${PROJECT_SOURCE_DIR}/include/quorvel/quorvel.h ${QUORVEL_GENERATED_INCLUDE_DIR}/quorvel/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quorvel)

if(NOT BUILD_SHARED_LIBS)
  # -DBUILD_SHARED_LIBS=OFF: lib/libquorvel.a, served by the same package
  # files, which then tell callers to compile with QUORVEL_STATIC.
  install(TARGETS quorvel ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  set(QUORVEL_LIBRARY_DIR ${CMAKE_INSTALL_LIBDIR})
  set(QUORVEL_IMPLIB_NAME "")
  set(QUORVEL_MSVC_IMPLIB_NAME "")
  set(QUORVEL_SONAME "")
  set(QUORVEL_STATIC_PACKAGE ON)
elseif(WIN32)
  # An explicit RUNTIME destination alone installs the DLL only: the linker's
  # import library stays in the build tree.
  install(TARGETS quorvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${QUORVEL_IMPLIB} ${QUORVEL_MSVC_IMPLIB} DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES ${QUORVEL_LINK_DEF} DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvel)
  set(QUORVEL_LIBRARY_DIR ${CMAKE_INSTALL_BINDIR})
  get_filename_component(QUORVEL_IMPLIB_NAME ${QUORVEL_IMPLIB} NAME)
  get_filename_component(QUORVEL_MSVC_IMPLIB_NAME ${QUORVEL_MSVC_IMPLIB} NAME)
  set(QUORVEL_SONAME "")
else()
  set(QUORVEL_LIBRARY_DIR ${CMAKE_INSTALL_LIBDIR})
  set(QUORVEL_IMPLIB_NAME "")
  set(QUORVEL_MSVC_IMPLIB_NAME "")
  set(QUORVEL_SONAME "$<TARGET_SONAME_FILE_NAME:quorvel>")
  install(TARGETS quorvel LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  if(TARGET quorvel_tool)
    # The installed tool finds the library it came with, wherever the tree is.
    set_target_properties(quorvel_tool PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  endif()
endif()
set(QUORVEL_LIBRARY_NAME "$<TARGET_FILE_NAME:quorvel>")
if(TARGET quorvel_tool)
  install(TARGETS quorvel_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The template is configured twice: first for the install paths, made
# relative to the prefix so the tree can be moved, then for the library's
# file names, which only generator expressions know.
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/QuorvelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/QuorvelConfig.cmake.gen
  INSTALL_DESTINATION ${QUORVEL_CMAKE_DIR}
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR CMAKE_INSTALL_LIBDIR QUORVEL_LIBRARY_DIR)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/package/QuorvelConfig.cmake
  INPUT ${PROJECT_BINARY_DIR}/package/QuorvelConfig.cmake.gen)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/QuorvelConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/QuorvelConfig.cmake
              ${PROJECT_BINARY_DIR}/package/QuorvelConfigVersion.cmake
  DESTINATION ${QUORVEL_CMAKE_DIR})

# pkg-config: plain absolute paths, as users expect them from --cflags and
# --libs. The prefix is the one installed to, which `cmake --install
# --prefix` may choose, so it is written in at install time.
set(QUORVEL_PC_PREFIX "@QUORVEL_PC_INSTALLED_PREFIX@")
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(QUORVEL_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  set(QUORVEL_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(QUORVEL_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(QUORVEL_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
set(QUORVEL_PC_DEFINES "")
if(NOT BUILD_SHARED_LIBS)
  set(QUORVEL_PC_DEFINES " -DQUORVEL_STATIC")
  # The library's C++ runtime, for callers that link with a C compiler.
  set(QUORVEL_PC_LIBS "-L\${libdir} -lquorvel -lstdc++")
  if(WIN32)
    string(APPEND QUORVEL_PC_LIBS " -ladvapi32 -luser32")
  endif()
elseif(WIN32)
  # The import library by name: -lquorvel would be passed over by a link
  # with -static, and could bind quorvel.dll itself from another directory,
  # which carries only undecorated names.
  set(QUORVEL_PC_LIBS "\${libdir}/${QUORVEL_IMPLIB_NAME}")
else()
  set(QUORVEL_PC_LIBS "-L\${libdir} -lquorvel")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/quorvel.pc.in ${PROJECT_BINARY_DIR}/package/quorvel.pc.in @ONLY)
install(CODE "
  get_filename_component(QUORVEL_PC_INSTALLED_PREFIX \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
  string(REGEX REPLACE \"/$\" \"\" QUORVEL_PC_INSTALLED_PREFIX \"\${QUORVEL_PC_INSTALLED_PREFIX}\")
  configure_file(\"${PROJECT_BINARY_DIR}/package/quorvel.pc.in\" \"${PROJECT_BINARY_DIR}/package/quorvel.pc\" @ONLY)")
install(FILES ${PROJECT_BINARY_DIR}/package/quorvel.pc DESTINATION ${QUORVEL_PKGCONFIG_DIR})
