#----------------------------------------------------------------
# Generated CMake target import file for configuration "Release".
#----------------------------------------------------------------

# Commands may need to know the format version.
set(CMAKE_IMPORT_FILE_VERSION 1)

# Import target "kqopt::kqopt" for configuration "Release"
set_property(TARGET kqopt::kqopt APPEND PROPERTY IMPORTED_CONFIGURATIONS RELEASE)
set_target_properties(kqopt::kqopt PROPERTIES
  IMPORTED_LOCATION_RELEASE "${_IMPORT_PREFIX}/lib/libkqopt.so.1.0.0"
  IMPORTED_SONAME_RELEASE "libkqopt.so.1"
  )

list(APPEND _cmake_import_check_targets kqopt::kqopt )
list(APPEND _cmake_import_check_files_for_kqopt::kqopt "${_IMPORT_PREFIX}/lib/libkqopt.so.1.0.0" )

# Commands beyond this point should not need to know the version.
set(CMAKE_IMPORT_FILE_VERSION)
