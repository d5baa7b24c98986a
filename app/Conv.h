#pragma once
// The main window: the file list with its command buttons, the Build button, the
// destination folder, the banner, the "?" menu, the window-menu commands and the
// status bar. It starts builds; WindowBuild runs them and shows their progress.
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Shell.h"
#include "pyramids/BuildRequest.h"
#include "pyramids/BuildSummary.h"

class QDialog;
class QGroupBox;
class QMenu;
class QMenuBar;
class QPushButton;
class QStatusBar;

namespace kelvory {

class BuildSettingsMenu;
class DocumentOpener;
class StatusPanels;
class FileList;
class FileListView;
class FolderDialog;
class ListDialogs;
class StopSignal;
class WindowBuild;

// What the window asks of the world outside; every empty entry takes the real one.
struct ConvEnvironment {
  ListDialogs* listDialogs = nullptr;
  FolderDialog* folderDialog = nullptr;
  // Takes every document the window opens, always with success; for tests. None: the
  // document opener.
  UrlOpener openUrl;
  // The program that opens a document given its URL (the help, the project's page);
  // when it cannot start or ends with a failure the window says so, naming the file.
  // Empty: the desktop's (xdg-open, or the shell on Windows).
  QString documentOpener;
  // Shows the About box modally; by default the box given to SetAboutBox.
  std::function<void()> showAbout;
  // The program's executable (names the help document) and its folder with a trailing
  // '/' (holds gdal/gdaladdo).
  std::string programPath;
  std::string programFolder;
  // Finds the tool for a build from the program's folder; by default beside the
  // program, else on the PATH. Empty: there is none.
  std::function<std::string(const std::string&)> findTool;
  int slotCount = 0;
  // SIGTERM/SIGHUP: stops a running build and closes the window; none: not watched.
  StopSignal* stopSignal = nullptr;
  // Where the build settings are kept; empty: the user's Kelvory settings.
  QString settingsFile;
};

class TFConv final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 524;
  static constexpr int kClientHeight = 558;

  explicit TFConv(ConvEnvironment environment = {}, QWidget* parent = nullptr);
  ~TFConv() override;

  void SetAboutBox(QDialog* aboutBox);
  // Opens a document with the desktop's program; says so when that fails.
  void OpenDocument(const QUrl& url);

  FileList& Files() { return *FFiles; }
  QString PanelText(int panel) const;
  bool Building() const;
  // Where builds put their results; empty: beside the sources.
  const std::string& DestFolder() const { return FDestFolder; }
  // Adds the TIFF files of the paths (files and folders) as a drop does: the files the
  // program is started with, and dropped ones.
  void AddPaths(const QStringList& paths);

  // Every control's object name is the name the window's designer gave it
  // (Button_Build, ListView_Files, Stop1, ...); the client area is "ClientArea" and
  // the running build "WindowBuild". Tests find them by these names.

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private slots:
  void Button_AddClick();
  void Button_BuildClick();
  void Button_DeleteClick();
  void Button_LoadClick();
  void Button_ClearClick();
  void Button_SaveClick();
  void Button_SelectFolderClick();
  void Image1Click();
  void About1Click();
  void Help1Click();
  void UpdateCounters();
  void AddFolderClick();
  void CheckFailedClick();
  // Asks the running build to stop; nothing outside a build.
  void StopBuildClick();
  // Makes the next row the last build did not get done the current one.
  void NextUnsuccessfulClick();
  // Shows what the last build did with the row, in words that can be copied.
  void ShowRowOutcome(int row);
  // The program was asked to end (SIGTERM, SIGHUP): a running build stops first.
  void StopSignalled();

 private:
  // The window around a build: controls locked and captioned, progress shown; and
  // back to idle.
  void EnterBuilding(std::vector<int> rows, const std::vector<std::string>& sources);
  void LeaveBuilding(const BuildSummary& summary = {});
  BuildRequest MakeRequest(std::vector<std::string> sources, std::string tool) const;
  void ShowMessage(const QString& text);
  // The tool is neither beside the program nor on the PATH.
  void ShowToolMissing();
  std::string ProgramFolder() const;
  int SlotCount() const;

  void SetUpWindow();
  void CreateControls();
  void CreateButtons();
  void CreateList();
  void CreateBanner();
  void CreateMenus();
  void CreateSystemMenu();
  void CreateStatusBar();
  void SetTabOrder();
  void CreateListMenu();
  void ConnectListMenu();
  void UpdateListActions();
  void ShowOpenFailure(const QUrl& url);
  void ShowDocumentMissing(const QUrl& url);
  // Says that paths hold no TIFF file to add, worded for what they are.
  void ShowNothingToAdd(const QStringList& paths);
  // Sees every event the application delivers; handles the window-menu commands and
  // never consumes anything.
  void AppMessage(QEvent* event);
  // Key preview: true when the key was taken.
  bool FormKeyDown(QKeyEvent* event);
  // Ctrl+Break during a build stops it, also where the key has no name of its own.
  bool StopKeyDown(QKeyEvent* event);
  ListDialogs& Dialogs();

  // Controls, named as the window's designer named them.
  QPushButton* Button_Add = nullptr;
  QPushButton* Button_Build = nullptr;
  QPushButton* Button_Delete = nullptr;
  QPushButton* Button_Load = nullptr;
  QPushButton* Button_Clear = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QPushButton* Button_Save = nullptr;
  FileListView* ListView_Files = nullptr;
  QPushButton* Button_SelectFolder = nullptr;
  QStatusBar* StatusBar = nullptr;
  QMenuBar* MainMenu1 = nullptr;
  QAction* Help1 = nullptr;
  QAction* About1 = nullptr;
  // The window-menu entries, offered as the context menu of the window's free area.
  QMenu* SystemMenu = nullptr;
  // How builds read files and resample, at the left of the menu bar.
  BuildSettingsMenu* SettingsMenu = nullptr;
  // The list's own context menu: commands for big jobs, beside the buttons.
  QMenu* ListMenu = nullptr;
  QAction* AddFolder1 = nullptr;
  QAction* CheckFailed1 = nullptr;
  QAction* ShowReason1 = nullptr;
  // F8: the next row the last build did not get done.
  QAction* NextUnsuccessful1 = nullptr;
  // Stops a running build as the end signal does, but the window stays.
  QAction* Stop1 = nullptr;

  ConvEnvironment FEnvironment;
  std::unique_ptr<FileList> FFiles;
  std::unique_ptr<ListDialogs> FOwnListDialogs;
  std::unique_ptr<FolderDialog> FOwnFolderDialog;
  DocumentOpener* FDocumentOpener;
  QPointer<QDialog> FAboutBox;
  QWidget* FClient;
  std::unique_ptr<StatusPanels> FPanels;
  // The build's progress and its row events; a child of the window.
  WindowBuild* FBuild = nullptr;

  std::string FDestFolder;
};

}  // namespace kelvory
