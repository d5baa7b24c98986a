#pragma once
// The main window's controls as a test drives them, found by the object names the
// window gives them. A name the window does not have fails the test at once.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include <stdexcept>
#include <string>

#include "app/BuildSettingsMenu.h"
#include "app/BuildSummaryLine.h"
#include "app/Conv.h"
#include "app/FileListView.h"
#include "app/WindowBuild.h"

namespace kelvory::test {

class WindowControls {
  // First: the lookups below run in the order of declaration.
  const TFConv& window_;

  template <typename T>
  T* Named(const char* name) const {
    T* found = window_.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) throw std::logic_error(std::string("the window has no ") + name);
    return found;
  }

 public:
  explicit WindowControls(const TFConv& window) : window_(window) {}

  QPushButton* Button_Add = Named<QPushButton>("Button_Add");
  QPushButton* Button_Build = Named<QPushButton>("Button_Build");
  QPushButton* Button_Delete = Named<QPushButton>("Button_Delete");
  QPushButton* Button_Load = Named<QPushButton>("Button_Load");
  QPushButton* Button_Clear = Named<QPushButton>("Button_Clear");
  QPushButton* Button_Save = Named<QPushButton>("Button_Save");
  QPushButton* Button_SelectFolder = Named<QPushButton>("Button_SelectFolder");
  QGroupBox* GroupBox1 = Named<QGroupBox>("GroupBox1");
  FileListView* ListView_Files = Named<FileListView>("ListView_Files");
  QStatusBar* StatusBar = Named<QStatusBar>("StatusBar");
  QLabel* Image1 = Named<QLabel>("Image1");
  QWidget* ClientArea = Named<QWidget>("ClientArea");
  QMenuBar* MainMenu1 = Named<QMenuBar>("MainMenu1");
  QMenu* N1 = Named<QMenu>("N1");
  QAction* Help1 = Named<QAction>("Help1");
  QAction* About1 = Named<QAction>("About1");
  QMenu* SystemMenu = Named<QMenu>("SystemMenu");
  BuildSettingsMenu* SettingsMenu = Named<BuildSettingsMenu>("SettingsMenu");
  QMenu* ListMenu = Named<QMenu>("ListMenu");
  QAction* AddFolder1 = Named<QAction>("AddFolder1");
  QAction* CheckFailed1 = Named<QAction>("CheckFailed1");
  QAction* ShowReason1 = Named<QAction>("ShowReason1");
  QAction* NextUnsuccessful1 = Named<QAction>("NextUnsuccessful1");
  QAction* Stop1 = Named<QAction>("Stop1");
  QProgressBar* BuildBar = Named<QProgressBar>("BuildBar");
  QLabel* BuildProgressLabel = Named<QLabel>("BuildProgressLabel");
  BuildSummaryLine* BuildSummary1 = Named<BuildSummaryLine>("BuildSummary1");
  WindowBuild* Build = Named<WindowBuild>("WindowBuild");
};

inline WindowControls Controls(const TFConv& window) { return WindowControls(window); }

}  // namespace kelvory::test
