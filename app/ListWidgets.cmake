# The list view and the list's file dialogs: sources are added to kelvory_widgets here.
target_sources(kelvory_widgets PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FileListView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileListView.h
  ${CMAKE_CURRENT_LIST_DIR}/PathElision.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PathElision.h
  ${CMAKE_CURRENT_LIST_DIR}/QtListDialogs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtListDialogs.h
  ${CMAKE_CURRENT_LIST_DIR}/StatusIcons.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StatusIcons.h
  ${CMAKE_CURRENT_LIST_DIR}/WrapToWidth.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WrapToWidth.h
)
target_link_libraries(kelvory_widgets PUBLIC kelvory_filelist Qt6::Widgets)
