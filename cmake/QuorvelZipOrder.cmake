# Run by CPack once it has made the zip (CPACK_POST_BUILD_SCRIPTS): entries in
# name order, one time stamp (SOURCE_DATE_EPOCH when set), plain permissions.
foreach(zip IN LISTS CPACK_PACKAGE_FILES)
  set(timestamp "")
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(timestamp --timestamp "$ENV{SOURCE_DATE_EPOCH}")
  endif()
  execute_process(COMMAND "${CPACK_QUORVEL_STRIP_NONDETERMINISM}" --type zip ${timestamp} "${zip}"
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "strip-nondeterminism ${zip} failed: ${result}")
  endif()
endforeach()
