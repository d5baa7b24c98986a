# Tests of the list view on the offscreen platform.
add_executable(kelvory_list_widgets_tests FileListViewTest.cpp GuiTestMain.cpp)
target_link_libraries(kelvory_list_widgets_tests PRIVATE kelvory_widgets Qt6::Test GTest::gtest)
kelvory_warnings(kelvory_list_widgets_tests)
gtest_discover_tests(kelvory_list_widgets_tests
  PROPERTIES TIMEOUT 60 ENVIRONMENT QT_QPA_PLATFORM=offscreen)
