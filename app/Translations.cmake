# The window's English texts: app/i18n/kelvory_en.ts, made into a .qm by Qt's lrelease
# at build time and embedded as a resource, so no package or zip carries an extra file.
# The Russian source texts need no translation file.
# lrelease runs on the build machine: in a cross-build Qt looks a Qt*Tools package up in
# the host's Qt too (QT_HOST_PATH and Qt6HostInfo_DIR, which scripts/windows-build.sh
# names), where Debian's qt6-l10n-tools and qt6-tools-dev put it.
find_package(Qt6 REQUIRED COMPONENTS LinguistTools)

set(KELVORY_TS_FILES ${CMAKE_CURRENT_LIST_DIR}/i18n/kelvory_en.ts)
qt_add_lrelease(kelvory_widgets TS_FILES ${KELVORY_TS_FILES} QM_FILES_OUTPUT_VARIABLE KELVORY_QM_FILES)
qt_add_resources(kelvory_widgets kelvory_translations
  PREFIX /kelvory/i18n
  BASE ${CMAKE_CURRENT_BINARY_DIR}
  FILES ${KELVORY_QM_FILES})
target_sources(kelvory_widgets PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Translations.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Translations.h
  ${CMAKE_CURRENT_LIST_DIR}/WindowText.h)

# Takes new and changed texts from the sources into the translation file, to be
# translated there; a test fails while any is left untranslated.
add_custom_target(update_translations
  COMMAND Qt6::lupdate -silent -no-obsolete -locations none -source-language ru_RU -target-language en_US
          ${PROJECT_SOURCE_DIR}/app ${PROJECT_SOURCE_DIR}/filelist -ts ${KELVORY_TS_FILES}
  VERBATIM)
