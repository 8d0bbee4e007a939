# The one version, project(Quorvel VERSION ...), reaches the code from here:
# the header quorvel/version.h that quorvel.h includes, and on Windows the
# DLL's version resource.
set(QUORVEL_GENERATED_INCLUDE_DIR ${PROJECT_BINARY_DIR}/include)
configure_file(${CMAKE_CURRENT_LIST_DIR}/quorvel_version.h.in
  ${QUORVEL_GENERATED_INCLUDE_DIR}/quorvel/version.h @ONLY)

target_include_directories(quorvel_objects PUBLIC ${QUORVEL_GENERATED_INCLUDE_DIR})
target_include_directories(quorvel PUBLIC $<BUILD_INTERFACE:${QUORVEL_GENERATED_INCLUDE_DIR}>)
get_target_property(quorvel_import_aliased quorvel_import ALIASED_TARGET)
if(NOT quorvel_import_aliased)
  target_include_directories(quorvel_import INTERFACE ${QUORVEL_GENERATED_INCLUDE_DIR})
endif()

get_target_property(quorvel_kind quorvel TYPE)
if(WIN32 AND quorvel_kind STREQUAL "SHARED_LIBRARY")
  enable_language(RC)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/quorvel.rc.in ${PROJECT_BINARY_DIR}/quorvel.rc @ONLY)
  target_sources(quorvel PRIVATE ${PROJECT_BINARY_DIR}/quorvel.rc)
endif()
