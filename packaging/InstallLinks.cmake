# Run by `cmake --install` after the files are in place: the links in bin/ to the
# programs, the program folder's gdal/gdaladdo and its kelvory.pdf, and QGIS's link to
# the plugin. A link whose target
# lies inside the install prefix is relative, so the installed tree may be moved or
# packaged as a whole; one leaving the prefix (the system's gdaladdo under /usr/local,
# say) is absolute.
function(kelvory_install_link link target)
  set(link_path "${CMAKE_INSTALL_PREFIX}/${link}")
  cmake_path(GET link_path PARENT_PATH link_folder)
  cmake_path(IS_PREFIX CMAKE_INSTALL_PREFIX "${target}" NORMALIZE target_inside)
  if(target_inside)
    file(RELATIVE_PATH target "${link_folder}" "${target}")
  endif()
  file(MAKE_DIRECTORY "$ENV{DESTDIR}${link_folder}")
  message(STATUS "Installing: $ENV{DESTDIR}${link_path} -> ${target}")
  file(CREATE_LINK "${target}" "$ENV{DESTDIR}${link_path}" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "$ENV{DESTDIR}${link_path}")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

foreach(program kelvory kelvory-batch)
  kelvory_install_link("${KELVORY_BIN_DIR}/${program}"
    "${CMAKE_INSTALL_PREFIX}/${KELVORY_PROGRAM_DIR}/${program}")
endforeach()
kelvory_install_link("${KELVORY_PROGRAM_DIR}/gdal/gdaladdo" "${KELVORY_GDALADDO}")
kelvory_install_link("${KELVORY_PROGRAM_DIR}/kelvory.pdf"
  "${CMAKE_INSTALL_PREFIX}/${KELVORY_DATA_DIR}/kelvory.pdf")
kelvory_install_link("${KELVORY_QGIS_PLUGINS_DIR}/kelvory"
  "${CMAKE_INSTALL_PREFIX}/${KELVORY_PROGRAM_DIR}/qgis/kelvory")
