// Fills the real window's list as the user does, then clears it, and prints how long
// each step took, the first paint of the list after it included:
//   kelvory-bench-window-add FOLDER     adds the folder's TIFF files, as "Добавить папку..." does
//   kelvory-bench-window-add LISTFILE   loads the list file, as "Загрузить из файла" does
// (QT_QPA_PLATFORM=offscreen needs no display). Nothing else is held meanwhile, so the
// process's peak memory (/usr/bin/time -v) is the window's own.
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <cstdio>
#include <optional>

#include "app/Conv.h"
#include "app/FolderDialog.h"
#include "filelist/ListDialogs.h"

namespace {

// Answers "Загрузить из файла" with the list file given.
class GivenListFile final : public kelvory::ListDialogs {
 public:
  explicit GivenListFile(std::string path) : path_(std::move(path)) {}
  std::optional<std::vector<std::string>> ChooseFilesToAdd() override { return std::nullopt; }
  std::optional<std::string> ChooseListToLoad() override { return path_; }
  std::optional<std::string> ChooseListToSave() override { return std::nullopt; }

 private:
  std::string path_;
};

// Answers "Добавить папку..." with the folder given.
class GivenFolder final : public kelvory::FolderDialog {
 public:
  explicit GivenFolder(QString path) : path_(std::move(path)) {}
  std::optional<QString> ChooseFolder(QWidget* /*owner*/, const QString& /*prompt*/) override { return path_; }

 private:
  QString path_;
};

template <typename T>
T& Named(const QWidget& window, const char* name) {
  return *window.findChild<T*>(QString::fromLatin1(name));
}

double Milliseconds(QElapsedTimer& clock) {
  const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  clock.restart();
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelvory-bench-window-add FOLDER|LISTFILE\n");
    return 2;
  }
  const QString given = QFile::decodeName(argv[1]);
  const bool folder = QFileInfo(given).isDir();
  GivenListFile dialogs(argv[1]);
  GivenFolder folderDialog(given);
  kelvory::ConvEnvironment environment;
  environment.listDialogs = &dialogs;
  environment.folderDialog = &folderDialog;
  kelvory::TFConv window(environment);
  window.show();
  QApplication::processEvents();

  QElapsedTimer clock;
  clock.start();
  if (folder) {
    Named<QAction>(window, "AddFolder1").trigger();
  } else {
    Named<QPushButton>(window, "Button_Load").click();
  }
  const double fill = Milliseconds(clock);
  QWidget* rows = Named<QAbstractScrollArea>(window, "ListView_Files").viewport();
  rows->grab();
  const double paint = Milliseconds(clock);
  const QString counted = window.PanelText(1);
  Named<QPushButton>(window, "Button_Clear").click();
  const double clear = Milliseconds(clock);
  rows->grab();
  const double clearPaint = Milliseconds(clock);
  std::printf("%s: %s %.1f ms, first paint %.1f ms; clear %.1f ms, paint %.1f ms\n",
              counted.toUtf8().constData(), folder ? "walk and add" : "load", fill, paint, clear, clearPaint);
  return 0;
}
