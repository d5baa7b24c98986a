# Fails when a text the window shows has no English translation: lupdate reads the
# sources into a copy of the translation file, and every entry must then be finished
# and not empty. Run as: cmake -DLUPDATE=... -DSOURCE_DIR=... -DWORK_DIR=... -P this file.
set(ts ${WORK_DIR}/kelvory_en.ts)
file(COPY_FILE ${SOURCE_DIR}/app/i18n/kelvory_en.ts ${ts})
execute_process(
  COMMAND ${LUPDATE} -silent -no-obsolete -locations none ${SOURCE_DIR}/app ${SOURCE_DIR}/filelist -ts ${ts}
  RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lupdate failed: ${errors}")
endif()
file(READ ${ts} text)
string(REGEX MATCHALL "<source>[^<]*</source>[ \n\r\t]*<translation type=\"unfinished\"[^>]*>[^<]*</translation>|<source>[^<]*</source>[ \n\r\t]*<translation type=\"unfinished\"/>" unfinished "${text}")
string(REGEX MATCHALL "<source>[^<]*</source>[ \n\r\t]*(<translation></translation>|<translation/>)" empty "${text}")
if(unfinished OR empty)
  string(REPLACE ";" "\n" list "${unfinished};${empty}")
  message(FATAL_ERROR "Texts without an English translation in app/i18n/kelvory_en.ts "
                      "(cmake --build out --target update_translations adds them):\n${list}")
endif()
message(STATUS "Every text has its English translation")
