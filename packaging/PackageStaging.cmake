# Run by CPack on the staged package tree, after the install and before the archive:
# strips the programs as Debian's dh_strip does (debug data and the compiler's notes
# out) and adds the lintian overrides, which belong to the package only.
find_program(KELVORY_STRIP strip REQUIRED)
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr")
foreach(program kelvory kelvory-batch)
  set(file "${root}/lib/kelvory/${program}")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "the package has no ${file}")
  endif()
  execute_process(
    COMMAND ${KELVORY_STRIP} --remove-section=.comment --remove-section=.note "${file}"
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
file(MAKE_DIRECTORY "${root}/share/lintian/overrides")
file(COPY_FILE "${CMAKE_CURRENT_LIST_DIR}/lintian-overrides" "${root}/share/lintian/overrides/kelvory")

# The package depends on gdal-bin, so the tool beside the programs must be gdal-bin's,
# whatever gdaladdo the build machine found first.
file(READ_SYMLINK "${root}/lib/kelvory/gdal/gdaladdo" tool_link)
if(NOT tool_link STREQUAL "../../../bin/gdaladdo")
  message(FATAL_ERROR "gdal/gdaladdo in the package points at ${tool_link}, not at /usr/bin/gdaladdo: "
                      "configure with -DKELVORY_GDALADDO=/usr/bin/gdaladdo")
endif()
