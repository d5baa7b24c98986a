# Pictures, the About box, the help document and the desktop entry.
find_package(JPEG REQUIRED)

# Build-time generators: they run on the offscreen platform, so no display is needed.
# They run during the build, so a cross-build takes them from a native build of this
# project (scripts/windows-build.sh uses out/app/tools).
if(CMAKE_CROSSCOMPILING)
  set(KELVORY_HOST_TOOLS "" CACHE PATH
      "Folder with kelvory-pictures and kelvory-helppdf built for the build machine")
  foreach(tool kelvory-pictures kelvory-helppdf)
    if(NOT EXISTS "${KELVORY_HOST_TOOLS}/${tool}")
      message(FATAL_ERROR "A cross-build needs ${tool} built for this machine: "
                          "set KELVORY_HOST_TOOLS to the folder that holds it")
    endif()
  endforeach()
  set(KELVORY_PICTURES_TOOL ${KELVORY_HOST_TOOLS}/kelvory-pictures)
  set(KELVORY_HELPPDF_TOOL ${KELVORY_HOST_TOOLS}/kelvory-helppdf)
else()
  add_executable(kelvory-pictures
    tools/PictureGenerator.cpp
    tools/Drawings.cpp tools/Drawings.h
    tools/JpegEncoder.cpp tools/JpegEncoder.h)
  add_executable(kelvory-helppdf tools/HelpPdfGenerator.cpp)
  foreach(tool kelvory-pictures kelvory-helppdf)
    target_include_directories(${tool} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_features(${tool} PRIVATE cxx_std_20)
    set_target_properties(${tool} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/tools)
    kelvory_warnings(${tool})
  endforeach()
  target_link_libraries(kelvory-pictures PRIVATE Qt6::Gui JPEG::JPEG)
  target_link_libraries(kelvory-helppdf PRIVATE Qt6::Gui)
  set(KELVORY_PICTURES_TOOL $<TARGET_FILE:kelvory-pictures>)
  set(KELVORY_HELPPDF_TOOL $<TARGET_FILE:kelvory-helppdf>)
endif()

set(KELVORY_PICTURES_DIR ${CMAKE_CURRENT_BINARY_DIR}/pictures)
set(KELVORY_PICTURES
  ${KELVORY_PICTURES_DIR}/banner.jpg
  ${KELVORY_PICTURES_DIR}/banner_en.jpg
  ${KELVORY_PICTURES_DIR}/logo.jpg
  ${KELVORY_PICTURES_DIR}/kelvory.png)
add_custom_command(
  OUTPUT ${KELVORY_PICTURES} ${KELVORY_PICTURES_DIR}/kelvory.ico
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${KELVORY_PICTURES_TOOL} ${KELVORY_PICTURES_DIR}
  DEPENDS ${KELVORY_PICTURES_TOOL}
  COMMENT "Drawing the program's pictures"
  VERBATIM)
# The pictures for programs outside this folder (kelvory-batch.exe's icon).
add_custom_target(kelvory_pictures_files DEPENDS ${KELVORY_PICTURES} ${KELVORY_PICTURES_DIR}/kelvory.ico)

set(KELVORY_HELP_PDF ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/kelvory.pdf)
add_custom_command(
  OUTPUT ${KELVORY_HELP_PDF}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          ${KELVORY_HELPPDF_TOOL} ${PROJECT_SOURCE_DIR}/docs/user-guide.md ${KELVORY_HELP_PDF}
  DEPENDS ${KELVORY_HELPPDF_TOOL} ${PROJECT_SOURCE_DIR}/docs/user-guide.md
  COMMENT "Making the help document kelvory.pdf"
  VERBATIM)
add_custom_target(kelvory_help ALL DEPENDS ${KELVORY_HELP_PDF})

target_sources(kelvory_widgets PRIVATE
  About.cpp About.h
  JpegDecoder.cpp JpegDecoder.h
  Pictures.cpp Pictures.h
  Shell.cpp Shell.h)
qt_add_resources(kelvory_widgets kelvory_pictures
  PREFIX /kelvory/pictures
  BASE ${KELVORY_PICTURES_DIR}
  FILES ${KELVORY_PICTURES})
target_link_libraries(kelvory_widgets PUBLIC Qt6::Widgets kelvory_platform PRIVATE JPEG::JPEG)
# The help document lies beside the program wherever the widgets are used.
add_dependencies(kelvory_widgets kelvory_help)


# Shows the real main window with a few rows, for scripts/screenshot.sh.
add_executable(kelvory-screenshot tools/ScreenshotHelper.cpp)
target_link_libraries(kelvory-screenshot PRIVATE kelvory_widgets)
set_target_properties(kelvory-screenshot PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/tools
  EXCLUDE_FROM_ALL ON)
kelvory_warnings(kelvory-screenshot)
