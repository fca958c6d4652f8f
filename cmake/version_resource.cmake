# A VERSIONINFO resource for a Windows program: file and product version from
# project(VERSION), product name, description and file name.
enable_language(RC)

function(lumet_version_resource target description file_name)
  set(LUMET_FILE_DESCRIPTION "${description}")
  set(LUMET_ORIGINAL_NAME "${file_name}")
  set(rc ${CMAKE_BINARY_DIR}/generated/${target}_version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
