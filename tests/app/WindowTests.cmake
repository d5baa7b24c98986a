# Tests of the main window and the application shell on the offscreen platform.
find_program(KELVORY_TEST_GDAL_CREATE gdal_create REQUIRED)
find_program(KELVORY_TEST_GDALADDO_TOOL gdaladdo REQUIRED)
find_program(KELVORY_TEST_TIFFINFO tiffinfo REQUIRED)

add_executable(kelvory_window_tests
  ${CMAKE_CURRENT_LIST_DIR}/GuiTestMain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WindowBuildFixture.h
  ${CMAKE_CURRENT_LIST_DIR}/WindowControls.h
  ${CMAKE_CURRENT_LIST_DIR}/WindowTestSupport.h
  ${CMAKE_CURRENT_LIST_DIR}/WindowErrorReportTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConvTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConvBuildTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConvStopTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConvBigJobsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuildTextsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScreenFitTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WindowLanguageTest.cpp
)
target_link_libraries(kelvory_window_tests PRIVATE kelvory_widgets Qt6::Test GTest::gtest)
target_compile_definitions(kelvory_window_tests PRIVATE
  KELVORY_TEST_GDAL_CREATE="${KELVORY_TEST_GDAL_CREATE}"
  KELVORY_TEST_GDALADDO="${KELVORY_TEST_GDALADDO_TOOL}"
  KELVORY_TEST_TIFFINFO="${KELVORY_TEST_TIFFINFO}")
kelvory_warnings(kelvory_window_tests)
gtest_discover_tests(kelvory_window_tests
  TEST_PREFIX "window."
  PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 120
  DISCOVERY_TIMEOUT 60)
