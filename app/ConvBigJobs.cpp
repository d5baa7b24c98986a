#include "app/Conv.h"

// The window's commands for big jobs: the list's own menu (folders, retrying failed
// rows, a row's outcome, stopping a build), the progress of a running build, and
// adding dropped files and folders.
#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>

#include "app/BuildProgress.h"
#include "app/BuildSummaryLine.h"
#include "app/BusyCursor.h"
#include "app/FileListView.h"
#include "app/FolderDialog.h"
#include "app/LayoutFont.h"
#include "app/MenuShortcutRoom.h"
#include "app/MessageBox.h"
#include "app/ReasonText.h"
#include "app/RowSearch.h"
#include "filelist/FileList.h"
#include "filelist/FolderWalk.h"
#include "filelist/PathText.h"

namespace kelvory {
namespace {

QFont ProgressFont() { return LayoutFont(QStringLiteral("DejaVu Sans"), 10); }

// How many names a message lists before it counts the rest.
constexpr int kNamesShown = 8;

// Says that paths (dropped, or a folder chosen) hold no TIFF file, worded for what
// they are.
MessageText NoTiffMessage(const QStringList& paths) {
  int folders = 0;
  int foldersNotNamed = 0;
  for (qsizetype i = 0; i < paths.size(); ++i) {
    const int folder = QFileInfo(paths[i]).isDir() ? 1 : 0;
    folders += folder;
    if (i >= kNamesShown) foldersNotNamed += folder;
  }
  const char* text = nullptr;
  if (paths.size() == 1) {
    text = folders == 1 ? "В этой папке и её вложенных папках нет файлов TIFF (.tif, .tiff):"
                        : "Это не файл TIFF (.tif, .tiff):";
  } else if (folders == 0) {
    text = "Ни один из этих файлов не TIFF (.tif, .tiff):";
  } else if (folders == paths.size()) {
    text = "В этих папках и их вложенных папках нет файлов TIFF (.tif, .tiff):";
  } else {
    text = "Среди этих файлов и в этих папках нет файлов TIFF (.tif, .tiff):";
  }
  const qsizetype notNamed = std::max<qsizetype>(paths.size() - kNamesShown, 0);
  const NounForms& rest = foldersNotNamed == 0 ? kFileNoun : foldersNotNamed == notNamed ? kFolderNoun : kPathNoun;
  return NamesMessage(QString::fromUtf8(text), paths, kNamesShown, rest);
}

// Names what a folder walk could not read, each with the system's reason: the first
// few, then how many more.
MessageText UnreadableMessage(const std::vector<UnreadablePath>& unreadable, bool added) {
  QStringList reasons;
  for (const UnreadablePath& part : unreadable)
    reasons.push_back(PathQString(WindowReason(MakeReason(ReasonCode::CannotRead, {part.path}, part.error))));
  return NamesMessage(QString::fromUtf8(added ? "Найденные файлы TIFF добавлены, но прочитать удалось не всё:"
                                              : "Файлов TIFF не найдено, и прочитать удалось не всё:"),
                      reasons, 5, kPathNoun);
}

const std::string kStopHint = "Остановить построение: Ctrl+. или Ctrl+Break";

// X11's keysym for Break, which Ctrl+Pause gives there and Qt leaves without a key
// code of its own.
constexpr quint32 X11BreakKeysym = 0xff6b;

}  // namespace

void TFConv::CreateListMenu() {
  ListMenu = new QMenu(this);
  GiveShortcutsRoom(*ListMenu);
  AddFolder1 = ListMenu->addAction(QString::fromUtf8("Добавить папку..."));
  CheckFailed1 = ListMenu->addAction(QString::fromUtf8("Отметить неудачные"));
  ShowReason1 = ListMenu->addAction(QString::fromUtf8("Подробности..."));
  NextUnsuccessful1 = ListMenu->addAction(QString::fromUtf8("Следующий неудачный"));
  NextUnsuccessful1->setShortcut(QKeySequence(Qt::Key_F8));
  NextUnsuccessful1->setShortcutContext(Qt::WindowShortcut);
  NextUnsuccessful1->setToolTip(QString::fromUtf8("Следующий файл с ошибкой, не найденный или остановленный"));
  addAction(NextUnsuccessful1);
  ListMenu->addSeparator();
  Stop1 = ListMenu->addAction(QString::fromUtf8("Остановить построение"));
  // Escape closes the window; stopping takes the keys that interrupt a program.
  Stop1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Period), QKeySequence(Qt::CTRL | Qt::Key_Pause)});
  Stop1->setShortcutContext(Qt::WindowShortcut);
  addAction(Stop1);
  connect(AddFolder1, &QAction::triggered, this, &TFConv::AddFolderClick);
  connect(CheckFailed1, &QAction::triggered, this, &TFConv::CheckFailedClick);
  connect(ShowReason1, &QAction::triggered, this, [this] {
    if (ListView_Files->currentIndex().isValid()) ShowRowOutcome(ListView_Files->currentIndex().row());
  });
  connect(Stop1, &QAction::triggered, this, &TFConv::StopBuildClick);
  connect(NextUnsuccessful1, &QAction::triggered, this, &TFConv::NextUnsuccessfulClick);
  connect(ListMenu, &QMenu::aboutToShow, this, &TFConv::UpdateListActions);
  ListView_Files->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ListView_Files, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const QModelIndex index = ListView_Files->indexAt(pos);
    if (index.isValid()) ListView_Files->setCurrentIndex(index);
    UpdateListActions();
    ListMenu->popup(ListView_Files->viewport()->mapToGlobal(pos));
  });
  UpdateListActions();
}

bool TFConv::StopKeyDown(QKeyEvent* event) {
  const bool control = event->modifiers() & Qt::ControlModifier;
  const bool breakKey = event->key() == Qt::Key_Pause ||
                        (event->key() == 0 && event->nativeVirtualKey() == X11BreakKeysym);
  if (!control || !breakKey || !Stop1->isEnabled()) return false;
  Stop1->trigger();
  return true;
}

void TFConv::CreateBuildProgress() {
  // The bar between the Build button and the status bar, room no other control uses;
  // the line at the foot of the list's place, which the list leaves it while a build
  // runs.
  BuildBar = new QProgressBar(FClient);
  BuildBar->setGeometry(10, 531, 371, 6);
  BuildBar->setRange(0, 1000);
  BuildBar->setTextVisible(false);
  BuildBar->hide();
  BuildProgressLabel = new QLabel(FClient);
  BuildProgressLabel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  BuildProgressLabel->setFont(ProgressFont());
  BuildProgressLabel->setAlignment(Qt::AlignCenter);
  BuildProgressLabel->hide();
  BuildSummary1 = new BuildSummaryLine(FClient);
  BuildSummary1->setFont(ProgressFont());
  connect(BuildSummary1, &BuildSummaryLine::Dismissed, this, &TFConv::HideBuildSummary);
  // Rows added or taken away: the counts no longer tell of this list.
  const QAbstractItemModel* rows = ListView_Files->model();
  connect(rows, &QAbstractItemModel::rowsInserted, this, &TFConv::HideBuildSummary);
  connect(rows, &QAbstractItemModel::rowsRemoved, this, &TFConv::HideBuildSummary);
  connect(rows, &QAbstractItemModel::modelReset, this, &TFConv::HideBuildSummary);
  FProgressTimer = new QTimer(this);
  FProgressTimer->setInterval(1000);
  connect(FProgressTimer, &QTimer::timeout, this, &TFConv::UpdateBuildProgress);
}

void TFConv::UpdateListActions() {
  const QModelIndex current = ListView_Files->currentIndex();
  AddFolder1->setEnabled(!FBuilding);
  CheckFailed1->setEnabled(!FBuilding);
  ShowReason1->setEnabled(current.isValid() && !RowOutcomeText(FFiles->Status(current.row()), FFiles->Stopped(current.row()),
                                                               FFiles->Reason(current.row()))
                                                    .empty());
  Stop1->setEnabled(FBuilding && !FStopAsked);
  NextUnsuccessful1->setEnabled(NextUnsuccessfulRow(*FFiles, -1) >= 0);
}

void TFConv::NextUnsuccessfulClick() {
  const int row = NextUnsuccessfulRow(*FFiles, ListView_Files->currentIndex().isValid() ? ListView_Files->currentIndex().row() : -1);
  if (row < 0) return;
  const QModelIndex index = ListView_Files->model()->index(row, 0);
  ListView_Files->setCurrentIndex(index);
  ListView_Files->scrollTo(index);
  ListView_Files->setFocus();
}

void TFConv::UpdateBuildProgress() {
  if (!FBuilding || !FEstimate) return;
  std::string text = BuildProgressText(*FEstimate, static_cast<double>(FBuildClock.elapsed()) / 1000.0);
  if (FStopAsked) text += " · останавливается";
  // A close waits for the build: the line says so in the counts' place (the bar still
  // shows how far it is), until the window closes.
  if (FCloseRequested) text = ClosingNoticeText(StopRequested());
  BuildProgressLabel->setText(QString::fromStdString(text));
  BuildProgressLabel->setToolTip(QString::fromStdString(FCloseRequested ? ClosingNoticeHint() : kStopHint));
  BuildBar->setValue(static_cast<int>(FEstimate->Fraction() * 1000));
}

void TFConv::RowProgress(int row, int percent) {
  FFiles->SetProgress(FBuildRows.at(static_cast<std::size_t>(row)), percent);
  FEstimate->RowProgress(row, percent, static_cast<double>(FBuildClock.elapsed()) / 1000.0);
  UpdateBuildProgress();
}

void TFConv::StopBuildClick() {
  if (!FBuilding) return;
  FStopAsked = true;
  UpdateListActions();
  UpdateBuildProgress();
}

void TFConv::AddFolderClick() {
  if (FBuilding) return;
  const std::optional<QString> folder = FEnvironment.folderDialog->ChooseFolder(
      this, QString::fromUtf8("Выберите папку с файлами TIFF"));
  if (folder) AddPaths({*folder});
}

void TFConv::AddPaths(const QStringList& paths) {
  // Like Add, not while a build runs.
  if (FBuilding || paths.isEmpty()) return;
  std::vector<std::string> given;
  for (const QString& path : paths) given.push_back(PathBytes(path));
  FolderFiles found;
  {
    const BusyCursor busy;
    found = TiffFilesFor(given);
    FFiles->AddFound(found.files);
  }
  // The paths are in the list now, and a message may stay open a while.
  const bool foundAny = !found.files.empty();
  found.files = {};
  if (!found.unreadable.empty()) {
    ShowMessageBox(this, QMessageBox::Warning, UnreadableMessage(found.unreadable, foundAny));
  } else if (!foundAny) {
    ShowNothingToAdd(paths);
  }
}

void TFConv::ShowNothingToAdd(const QStringList& paths) {
  ShowMessageBox(this, QMessageBox::Information, NoTiffMessage(paths));
}

void TFConv::CheckFailedClick() {
  // Check marks of a running build's rows stay as they are.
  if (FBuilding) return;
  FFiles->CheckUnsuccessful();
}

void TFConv::ShowRowOutcome(int row) {
  if (row < 0 || row >= FFiles->RowCount()) return;
  const std::string outcome = RowOutcomeText(FFiles->Status(row), FFiles->Stopped(row), FFiles->Reason(row));
  if (outcome.empty()) return;
  const StatusImage status = FFiles->Status(row);
  // The reason can be selected and copied, for a report or a search.
  ShowMessageBox(this, status == StatusDone ? QMessageBox::Information : QMessageBox::Warning,
                 PathQString(FFiles->Caption(row)) + "\n\n" + PathQString(outcome));
}

}  // namespace kelvory
