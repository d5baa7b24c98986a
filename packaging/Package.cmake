# The Debian package: `cpack -G DEB` in the build folder writes kelvory_<version>_<arch>.deb
# from the same install rules as `cmake --install`.
set(CPACK_PACKAGE_NAME kelvory)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kelvory")
set(CPACK_PACKAGE_CONTACT "${KELVORY_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "build overview pyramids in TIFF files with gdaladdo")
set(CPACK_PACKAGE_DESCRIPTION
  "Kelvory adds overview pyramids (levels of reduced resolution) to TIFF\n"
  "raster files, so that map programs show large rasters quickly at small\n"
  "scales. It keeps a checklist of files in a window and runs GDAL's gdaladdo\n"
  "on every checked file, one process per processor. The command\n"
  "kelvory-batch runs the same build for scripts and terminals.")
string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# Install into a staging root under the real prefix, so that links out of the program
# folder to /usr/bin/gdaladdo come out relative, as they would on the target system.
set(CPACK_SET_DESTDIR ON)
# Strips the programs as Debian's own tools do and adds the lintian notes.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/PackageStaging.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps; the programs also run gdaladdo, the window
# opens the user guide through xdg-open, and Qt's own dialogs speak Russian with Qt's
# translations.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gdal-bin, xdg-utils, qt6-translations-l10n")
# The QGIS plugin beside the programs wants QGIS, which most users of the programs need not have.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qgis, python3-qgis")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
