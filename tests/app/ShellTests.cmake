# Tests of the pictures, the About box and the help document.
foreach(test kelvory_about_test kelvory_pictures_test)
  add_executable(${test} GuiTestMain.cpp)
  target_link_libraries(${test} PRIVATE kelvory_widgets Qt6::Test GTest::gtest)
  kelvory_warnings(${test})
  gtest_discover_tests(${test}
    PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 60
    DISCOVERY_TIMEOUT 60)
endforeach()
target_sources(kelvory_about_test PRIVATE AboutBoxTest.cpp)
target_sources(kelvory_pictures_test PRIVATE PicturesAndHelpTest.cpp)
target_compile_definitions(kelvory_pictures_test PRIVATE
  KELVORY_HELP_PDF="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/kelvory.pdf")
