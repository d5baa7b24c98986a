#pragma once
// The main window: the file list with its command buttons, the Build button, the
// destination folder, the banner, the "?" menu, the window-menu commands and the
// status bar. It runs builds and shows their rows' events.
#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Shell.h"
#include "pyramids/BuildEvents.h"
#include "pyramids/BuildOptions.h"
#include "pyramids/BuildSummary.h"
#include "pyramids/WorkEstimate.h"

class QDialog;
class QEventLoop;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;

namespace kelvory {

class BuildRun;
class BuildSettingsMenu;
class BuildSummaryLine;
class DocumentOpener;
class StatusPanels;
class FileList;
class FileListView;
class FolderDialog;
class ListDialogs;
class StopSignal;

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

class TFConv final : public QWidget, public BuildEvents {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 524;
  static constexpr int kClientHeight = 558;

  explicit TFConv(ConvEnvironment environment = {}, QWidget* parent = nullptr);
  ~TFConv() override;

  void SetAboutBox(QDialog* aboutBox);

  // Controls, named as the window's designer named them.
  QPushButton* Button_Add;
  QPushButton* Button_Build;
  QPushButton* Button_Delete;
  QPushButton* Button_Load;
  QPushButton* Button_Clear;
  QGroupBox* GroupBox1;
  QPushButton* Button_Save;
  FileListView* ListView_Files;
  QPushButton* Button_SelectFolder;
  QStatusBar* StatusBar;
  QLabel* Image1;
  QMenuBar* MainMenu1;
  QMenu* N1;
  QAction* Help1;
  QAction* About1;
  // The window-menu entries, offered as the context menu of the window's free area.
  QMenu* SystemMenu;
  // How builds read files and resample, at the left of the menu bar.
  BuildSettingsMenu* SettingsMenu;
  // The list's own context menu: commands for big jobs, beside the buttons.
  QMenu* ListMenu;
  QAction* AddFolder1;
  QAction* CheckFailed1;
  QAction* ShowReason1;
  // F8: the next row the last build did not get done.
  QAction* NextUnsuccessful1;
  // Stops a running build as the end signal does, but the window stays.
  QAction* Stop1;
  // The whole build's progress; shown only while a build runs.
  QProgressBar* BuildBar;
  QLabel* BuildProgressLabel;
  // How the last build went, in the progress line's place until clicked away or the
  // list changes.
  BuildSummaryLine* BuildSummary1;

  FileList& Files() { return *FFiles; }
  QWidget* ClientArea() const { return FClient; }
  QString PanelText(int panel) const;
  bool Building() const { return FBuilding; }

  const std::string& DestFolder() const { return FDestFolder; }
  bool HasDestFolder() const { return FHasDestFolder; }
  // How the next build reads files and resamples, as the settings menu says.
  BuildOptions Options() const;

  // BuildEvents: the running build's rows, by their place in its request.
  void RowStarted(int row) override;
  void RowProgress(int row, int percent) override;
  void RowSettled(const RowReport& report) override;
  bool StopRequested() override;
  bool SkipRow(int row) override;

 public slots:
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
  // Opens a document with the desktop's program; says so when that fails.
  void OpenDocument(const QUrl& url);
  // Adds the TIFF files of the paths (files and folders) as Add does.
  void AddPaths(const QStringList& paths);
  // The program was asked to end (SIGTERM, SIGHUP): a running build stops first.
  void StopSignalled();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // The window around a build: controls locked and captioned, progress shown; and
  // back to idle.
  void EnterBuilding();
  void LeaveBuilding(const BuildSummary& summary = {});
  // The list back to its whole place, the summary line gone.
  void HideBuildSummary();
  // One step of the running build, from the window's event loop.
  void StepBuild();
  void ShowMessage(const QString& text);
  // The tool is neither beside the program nor on the PATH.
  void ShowToolMissing();
  std::string ProgramFolder() const;
  int SlotCount() const;

  void FormCreate();
  void CreateControls();
  void CreateMenus();
  void CreateStatusBar();
  void SetTabOrder();
  void CreateListMenu();
  void CreateBuildProgress();
  void UpdateBuildProgress();
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

  ConvEnvironment FEnvironment;
  std::unique_ptr<FileList> FFiles;
  std::unique_ptr<ListDialogs> FOwnListDialogs;
  std::unique_ptr<FolderDialog> FOwnFolderDialog;
  DocumentOpener* FDocumentOpener;
  QPointer<QDialog> FAboutBox;
  QWidget* FClient;
  std::unique_ptr<StatusPanels> FPanels;

  std::string FDestFolder;
  bool FHasDestFolder = false;
  bool FBuilding = false;
  bool FCloseRequested = false;
  bool FStopAsked = false;
  QTimer* FProgressTimer = nullptr;
  // The running build, the list rows of its rows, what steps it, and the loop the
  // Build button's handler waits in until it is over.
  std::unique_ptr<BuildRun> FBuild;
  std::vector<int> FBuildRows;
  QTimer* FBuildTimer = nullptr;
  QEventLoop* FBuildLoop = nullptr;
  bool FStepping = false;
  QElapsedTimer FBuildClock;
  // How much of the running build's work is done, weighed by the files' sizes.
  std::optional<WorkEstimate> FEstimate;
};

}  // namespace kelvory
