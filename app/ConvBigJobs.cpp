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
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>

#include "app/BuildProgress.h"
#include "app/BusyCursor.h"
#include "app/FileListView.h"
#include "app/FolderDialog.h"
#include "app/LayoutFont.h"
#include "app/ReasonText.h"
#include "filelist/FileList.h"
#include "filelist/FolderWalk.h"
#include "filelist/PathText.h"

namespace kelvory {
namespace {

QFont ProgressFont() { return LayoutFont(QStringLiteral("DejaVu Sans"), 10); }

// Says that paths (dropped, or a folder chosen) hold no TIFF file, worded for what
// they are.
QString NoTiffMessage(const QStringList& paths) {
  int folders = 0;
  for (const QString& path : paths) folders += QFileInfo(path).isDir() ? 1 : 0;
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
  return QString::fromUtf8(text) + "\n\n" + paths.join(u'\n');
}

// "путь" after a count, in the form Russian gives it there.
const char* PathsWord(std::size_t count) {
  if (count % 100 >= 11 && count % 100 <= 14) return "путей";
  if (count % 10 == 1) return "путь";
  if (count % 10 >= 2 && count % 10 <= 4) return "пути";
  return "путей";
}

// Names what a folder walk could not read: the first few with the system's reason, then
// how many more, so that a tree of locked folders does not make the box outgrow the screen.
QString UnreadableMessage(const std::vector<UnreadablePath>& unreadable, bool added) {
  constexpr std::size_t kNamed = 5;
  QString text = QString::fromUtf8(added ? "Найденные файлы TIFF добавлены, но прочитать удалось не всё:"
                                         : "Файлов TIFF не найдено, и прочитать удалось не всё:") +
                 "\n";
  for (std::size_t i = 0; i < unreadable.size() && i < kNamed; ++i) {
    const UnreadablePath& part = unreadable[i];
    text += "\n" + PathQString(WindowReason(MakeReason(ReasonCode::CannotRead, {part.path}, part.error)));
  }
  if (unreadable.size() > kNamed) {
    const std::size_t more = unreadable.size() - kNamed;
    text += "\n" + QString::fromUtf8("и ещё %1 %2").arg(more).arg(QString::fromUtf8(PathsWord(more)));
  }
  return text;
}

// X11's keysym for Break, which Ctrl+Pause gives there and Qt leaves without a key
// code of its own.
constexpr quint32 X11BreakKeysym = 0xff6b;

}  // namespace

void TFConv::CreateListMenu() {
  ListMenu = new QMenu(this);
  AddFolder1 = ListMenu->addAction(QString::fromUtf8("Добавить папку..."));
  CheckFailed1 = ListMenu->addAction(QString::fromUtf8("Отметить неудачные"));
  ShowReason1 = ListMenu->addAction(QString::fromUtf8("Подробности..."));
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
  BuildProgressLabel->setToolTip(QString::fromUtf8("Остановить построение: Ctrl+. или Ctrl+Break"));
  BuildProgressLabel->hide();
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
}

void TFConv::UpdateBuildProgress() {
  if (!FBuilding || !FEstimate) return;
  std::string text = BuildProgressText(*FEstimate, static_cast<double>(FBuildClock.elapsed()) / 1000.0);
  if (FStopAsked) text += " · останавливается";
  BuildProgressLabel->setText(QString::fromStdString(text));
  BuildBar->setValue(static_cast<int>(FEstimate->Fraction() * 1000));
}

void TFConv::RowProgress(int row, int percent) {
  FFiles->SetProgress(FBuildRows.at(static_cast<std::size_t>(row)), percent);
  FEstimate->RowProgress(row, percent);
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
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Kelvory"),
                    UnreadableMessage(found.unreadable, foundAny), QMessageBox::Ok, this);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
  } else if (!foundAny) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Kelvory"), NoTiffMessage(paths), QMessageBox::Ok, this);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
  }
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
  QMessageBox box(status == StatusDone ? QMessageBox::Information : QMessageBox::Warning,
                  QStringLiteral("Kelvory"),
                  PathQString(FFiles->Caption(row)) + "\n\n" + PathQString(outcome),
                  QMessageBox::Ok, this);
  // The reason can be selected and copied, for a report or a search.
  box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  box.exec();
}

}  // namespace kelvory
