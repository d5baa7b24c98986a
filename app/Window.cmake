# The main window, the application object and the program.
target_sources(kelvory_widgets PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/BuildSettingsMenu.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuildSettingsMenu.h
  ${CMAKE_CURRENT_LIST_DIR}/BuildProgress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuildProgress.h
  ${CMAKE_CURRENT_LIST_DIR}/BuildSummaryLine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuildSummaryLine.h
  ${CMAKE_CURRENT_LIST_DIR}/BuildSummaryText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuildSummaryText.h
  ${CMAKE_CURRENT_LIST_DIR}/BusyCursor.h
  ${CMAKE_CURRENT_LIST_DIR}/Conv.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Conv.h
  ${CMAKE_CURRENT_LIST_DIR}/DocumentOpener.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DocumentOpener.h
  ${CMAKE_CURRENT_LIST_DIR}/ConvBigJobs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ErrorReport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ErrorReport.h
  ${CMAKE_CURRENT_LIST_DIR}/FolderDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FolderDialog.h
  ${CMAKE_CURRENT_LIST_DIR}/ImageLabel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ImageLabel.h
  ${CMAKE_CURRENT_LIST_DIR}/KelvoryApplication.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KelvoryApplication.h
  ${CMAKE_CURRENT_LIST_DIR}/LayoutFont.h
  ${CMAKE_CURRENT_LIST_DIR}/MenuBarKeys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuBarKeys.h
  ${CMAKE_CURRENT_LIST_DIR}/MenuShortcutRoom.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuShortcutRoom.h
  ${CMAKE_CURRENT_LIST_DIR}/MessageBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MessageBox.h
  ${CMAKE_CURRENT_LIST_DIR}/ReasonText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReasonText.h
  ${CMAKE_CURRENT_LIST_DIR}/RowSearch.h
  ${CMAKE_CURRENT_LIST_DIR}/RussianPlural.h
  ${CMAKE_CURRENT_LIST_DIR}/ScreenFit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScreenFit.h
  ${CMAKE_CURRENT_LIST_DIR}/StatusPanels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StatusPanels.h
  ${CMAKE_CURRENT_LIST_DIR}/StopSignal.h
  ${CMAKE_CURRENT_LIST_DIR}/SystemCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SystemCommand.h
  ${CMAKE_CURRENT_LIST_DIR}/WindowBuild.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WindowBuild.h
)
# How the system's requests to end the program arrive differs per system.
if(WIN32)
  target_sources(kelvory_widgets PRIVATE ${CMAKE_CURRENT_LIST_DIR}/StopSignal.win32.cpp)
else()
  target_sources(kelvory_widgets PRIVATE ${CMAKE_CURRENT_LIST_DIR}/StopSignal.posix.cpp)
endif()
target_link_libraries(kelvory_widgets PUBLIC kelvory_filelist kelvory_pyramids kelvory_platform Qt6::Widgets)

# A window program: on Windows no console opens beside it.
add_executable(kelvory WIN32 ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(kelvory PRIVATE kelvory_widgets)
kelvory_warnings(kelvory)
if(WIN32)
  include(${PROJECT_SOURCE_DIR}/cmake/WindowsResources.cmake)
  kelvory_windows_resources(kelvory "Kelvory: генератор пирамид для TIFF" ICON ${KELVORY_PICTURES_DIR}/kelvory.ico)
endif()
