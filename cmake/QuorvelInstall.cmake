# Install rules: the header, the libraries, the tool, package configuration.
#
#   include/quorvel/quorvel.h
#   Linux:   lib/libquorvel.so.<version>, its SONAME link and the link-time name
#   Windows: bin/quorvel.dll, lib/libquorvel.dll.a (dlltool's), lib/quorvel.def
#   bin/quorvel[.exe]
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

install(FILES ${PROJECT_SOURCE_DIR}/include/quorvel/quorvel.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quorvel)

if(WIN32)
  # An explicit RUNTIME destination alone installs the DLL only: the linker's
  # import library stays in the build tree.
  install(TARGETS quorvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${QUORVEL_IMPLIB} ${QUORVEL_DEF} DESTINATION ${CMAKE_INSTALL_LIBDIR})
  set(QUORVEL_LIBRARY_DIR ${CMAKE_INSTALL_BINDIR})
  get_filename_component(QUORVEL_IMPLIB_NAME ${QUORVEL_IMPLIB} NAME)
  set(QUORVEL_SONAME "")
else()
  set(QUORVEL_LIBRARY_DIR ${CMAKE_INSTALL_LIBDIR})
  set(QUORVEL_IMPLIB_NAME "")
  set(QUORVEL_SONAME "$<TARGET_SONAME_FILE_NAME:quorvel>")
  install(TARGETS quorvel LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  # The installed tool finds the library it came with, wherever the tree is.
  set_target_properties(quorvel_tool PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
endif()
set(QUORVEL_LIBRARY_NAME "$<TARGET_FILE_NAME:quorvel>")
install(TARGETS quorvel_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The template is configured twice: first for the install paths, made
# relative to the prefix so the tree can be moved, then for the library's
# file names, which only generator expressions know.
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/QuorvelConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/QuorvelConfig.cmake.gen
  INSTALL_DESTINATION ${QUORVEL_CMAKE_DIR}
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR CMAKE_INSTALL_LIBDIR QUORVEL_LIBRARY_DIR)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/package/QuorvelConfig.cmake
  INPUT ${CMAKE_BINARY_DIR}/package/QuorvelConfig.cmake.gen)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/QuorvelConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/QuorvelConfig.cmake
              ${CMAKE_BINARY_DIR}/package/QuorvelConfigVersion.cmake
  DESTINATION ${QUORVEL_CMAKE_DIR})

# pkg-config: paths relative to the .pc file's own directory, so that an
# installed tree works wherever it was put.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(QUORVEL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH pc_to_prefix "/root/${QUORVEL_PKGCONFIG_DIR}" "/root")
  string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
  set(QUORVEL_PC_PREFIX "\${pcfiledir}/${pc_to_prefix}")
endif()
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
if(WIN32)
  # The import library by name: -lquorvel would be passed over by a link
  # with -static, and could bind quorvel.dll itself from another directory,
  # which carries only undecorated names.
  set(QUORVEL_PC_LIBS "\${libdir}/${QUORVEL_IMPLIB_NAME}")
else()
  set(QUORVEL_PC_LIBS "-L\${libdir} -lquorvel")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/quorvel.pc.in ${CMAKE_BINARY_DIR}/package/quorvel.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/quorvel.pc DESTINATION ${QUORVEL_PKGCONFIG_DIR})
