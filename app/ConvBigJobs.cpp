#include "app/Conv.h"

// The window's commands for big jobs: the list's own menu (folders, retrying failed
// rows, a row's outcome, stopping a build), and adding dropped files and folders.
#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>

#include "app/BusyCursor.h"
#include "app/FileListView.h"
#include "app/FolderDialog.h"
#include "app/MenuShortcutRoom.h"
#include "app/MessageBox.h"
#include "app/ReasonText.h"
#include "app/RowSearch.h"
#include "app/WindowBuild.h"
#include "app/WindowText.h"
#include "filelist/FileList.h"
#include "filelist/FolderWalk.h"
#include "filelist/PathText.h"

namespace kelvory {
namespace {

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
    text = folders == 1
               ? QT_TRANSLATE_NOOP("Kelvory", "В этой папке и её вложенных папках нет файлов TIFF (.tif, .tiff):")
               : QT_TRANSLATE_NOOP("Kelvory", "Это не файл TIFF (.tif, .tiff):");
  } else if (folders == 0) {
    text = QT_TRANSLATE_NOOP("Kelvory", "Ни один из этих файлов не TIFF (.tif, .tiff):");
  } else if (folders == paths.size()) {
    text = QT_TRANSLATE_NOOP("Kelvory", "В этих папках и их вложенных папках нет файлов TIFF (.tif, .tiff):");
  } else {
    text = QT_TRANSLATE_NOOP("Kelvory", "Среди этих файлов и в этих папках нет файлов TIFF (.tif, .tiff):");
  }
  const qsizetype notNamed = std::max<qsizetype>(paths.size() - kNamesShown, 0);
  const NounForms& rest = foldersNotNamed == 0 ? kFileNoun : foldersNotNamed == notNamed ? kFolderNoun : kPathNoun;
  return NamesMessage(Tr(text), paths, kNamesShown, rest);
}

// Names what a folder walk could not read, each with the system's reason: the first
// few, then how many more.
MessageText UnreadableMessage(const std::vector<UnreadablePath>& unreadable, bool added) {
  QStringList reasons;
  for (const UnreadablePath& part : unreadable)
    reasons.push_back(PathQString(WindowReason(MakeReason(ReasonCode::CannotRead, {part.path}, part.error))));
  return NamesMessage(
      added ? QCoreApplication::translate("Kelvory", "Найденные файлы TIFF добавлены, но прочитать удалось не всё:")
            : QCoreApplication::translate("Kelvory", "Файлов TIFF не найдено, и прочитать удалось не всё:"),
      reasons, 5, kPathNoun);
}

// X11's keysym for Break, which Ctrl+Pause gives there and Qt leaves without a key
// code of its own.
constexpr quint32 X11BreakKeysym = 0xff6b;

}  // namespace

void TFConv::CreateListMenu() {
  ListMenu = new QMenu(this);
  ListMenu->setObjectName(QStringLiteral("ListMenu"));
  GiveShortcutsRoom(*ListMenu);
  const auto add = [this](const char* name, const char* caption) {
    QAction* action = ListMenu->addAction(Tr(caption));
    action->setObjectName(QString::fromLatin1(name));
    return action;
  };
  AddFolder1 = add("AddFolder1", QT_TRANSLATE_NOOP("Kelvory", "Добавить папку..."));
  CheckFailed1 = add("CheckFailed1", QT_TRANSLATE_NOOP("Kelvory", "Отметить неудачные"));
  ShowReason1 = add("ShowReason1", QT_TRANSLATE_NOOP("Kelvory", "Подробности..."));
  NextUnsuccessful1 = add("NextUnsuccessful1", QT_TRANSLATE_NOOP("Kelvory", "Следующий неудачный"));
  NextUnsuccessful1->setShortcut(QKeySequence(Qt::Key_F8));
  NextUnsuccessful1->setShortcutContext(Qt::WindowShortcut);
  NextUnsuccessful1->setToolTip(
      QCoreApplication::translate("Kelvory", "Следующий файл с ошибкой, не найденный или остановленный"));
  addAction(NextUnsuccessful1);
  ListMenu->addSeparator();
  Stop1 = add("Stop1", QT_TRANSLATE_NOOP("Kelvory", "Остановить построение"));
  // Escape closes the window; stopping takes the keys that interrupt a program.
  Stop1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Period), QKeySequence(Qt::CTRL | Qt::Key_Pause)});
  Stop1->setShortcutContext(Qt::WindowShortcut);
  addAction(Stop1);
  ConnectListMenu();
  UpdateListActions();
}

void TFConv::ConnectListMenu() {
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
}

bool TFConv::StopKeyDown(QKeyEvent* event) {
  const bool control = event->modifiers() & Qt::ControlModifier;
  const bool breakKey = event->key() == Qt::Key_Pause ||
                        (event->key() == 0 && event->nativeVirtualKey() == X11BreakKeysym);
  if (!control || !breakKey || !Stop1->isEnabled()) return false;
  Stop1->trigger();
  return true;
}

void TFConv::UpdateListActions() {
  const QModelIndex current = ListView_Files->currentIndex();
  AddFolder1->setEnabled(!Building());
  CheckFailed1->setEnabled(!Building());
  ShowReason1->setEnabled(current.isValid() && !RowOutcomeText(FFiles->Model().Status(current.row()), FFiles->Model().Stopped(current.row()),
                                                               FFiles->Model().Reason(current.row()))
                                                    .empty());
  Stop1->setEnabled(Building() && !FBuild->StopAsked());
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

void TFConv::StopBuildClick() {
  if (!Building()) return;
  FBuild->AskStop();
  UpdateListActions();
}

void TFConv::AddFolderClick() {
  if (Building()) return;
  const std::optional<QString> folder = FEnvironment.folderDialog->ChooseFolder(
      this, QCoreApplication::translate("Kelvory", "Выберите папку с файлами TIFF"));
  if (folder) AddPaths({*folder});
}

void TFConv::AddPaths(const QStringList& paths) {
  // Like Add, not while a build runs.
  if (Building() || paths.isEmpty()) return;
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
  if (Building()) return;
  FFiles->CheckUnsuccessful();
}

void TFConv::ShowRowOutcome(int row) {
  if (row < 0 || row >= FFiles->Model().rowCount()) return;
  const std::string outcome = RowOutcomeText(FFiles->Model().Status(row), FFiles->Model().Stopped(row), FFiles->Model().Reason(row));
  if (outcome.empty()) return;
  const StatusImage status = FFiles->Model().Status(row);
  // The reason can be selected and copied, for a report or a search.
  ShowMessageBox(this, status == StatusDone ? QMessageBox::Information : QMessageBox::Warning,
                 PathQString(FFiles->Model().Caption(row)) + "\n\n" + PathQString(outcome));
}

}  // namespace kelvory
