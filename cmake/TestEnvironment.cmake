# Qt wants a private runtime folder and warns on every start of a program without one,
# which reads like a failure in the test output. ctest reads the file below before it
# runs anything, so every test started by ctest, in any folder, gets a folder of its own
# unless the caller already has one.
set(KELVORY_TEST_RUNTIME_DIR ${PROJECT_BINARY_DIR}/test-runtime)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/TestEnvironment.cmake @ONLY CONTENT [=[
if("$ENV{XDG_RUNTIME_DIR}" STREQUAL "")
  file(MAKE_DIRECTORY "@KELVORY_TEST_RUNTIME_DIR@")
  file(CHMOD "@KELVORY_TEST_RUNTIME_DIR@" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  set(ENV{XDG_RUNTIME_DIR} "@KELVORY_TEST_RUNTIME_DIR@")
endif()
# The programs speak the language the locale names; the tests expect a locale that
# names none (the window's Russian, the batch command's English) wherever they run.
# A test that wants a language sets it for itself.
set(ENV{LC_ALL} "")
set(ENV{LC_MESSAGES} "")
set(ENV{LANG} "C.UTF-8")
]=])
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES
  ${PROJECT_BINARY_DIR}/TestEnvironment.cmake)
