// The window with big jobs: folders and drops, progress, the stop command, reasons to
// read, and the small fixes of the list commands.
#include <sys/fsuid.h>

#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QCryptographicHash>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "app/BuildSummaryLine.h"
#include "app/Conv.h"
#include "app/FileListView.h"
#include "filelist/FileList.h"
#include "tests/app/WindowBuildFixture.h"
#include "tests/app/WindowControls.h"
#include "tests/app/WindowTestSupport.h"

namespace kelvory {
namespace {

using test::Controls;

class ConvBigJobsTest : public test::WindowBuildFixture {
 protected:
  void SetUp() override {
    WindowBuildFixture::SetUp();
    environment.folderDialog = &folderDialog;
  }

  void UseRealTool() { ASSERT_TRUE(QFile::link(KELVORY_TEST_GDALADDO, folder.filePath("bin/gdal/gdaladdo"))); }

  static QByteArray Digest(const std::string& path) {
    QFile file(QFile::decodeName(path.c_str()));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
  }

  // The build's own files: working copies in the temporary folder, and the levels and
  // journal a big file's build makes beside it.
  QStringList WorkingCopiesLeft() const {
    QStringList left = QDir(folder.filePath("tmp")).entryList(QDir::Files | QDir::Hidden);
    left += QDir(folder.path()).entryList({"*.ovr", ".*kelvory*"}, QDir::Files | QDir::Hidden);
    return left;
  }

  std::vector<std::string> Captions(TFConv& window) const {
    std::vector<std::string> captions;
    for (int row = 0; row < window.Files().Model().rowCount(); ++row) captions.emplace_back(window.Files().Model().Caption(row));
    return captions;
  }

  // Drags what urls name onto the list and drops it; tells whether the list took it.
  static bool Drop(TFConv& window, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    QWidget* viewport = Controls(window).ListView_Files->viewport();
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QCoreApplication::processEvents();  // the window takes the paths once the drop is over
    return drop.isAccepted();
  }

  // Runs action once check() holds, polled while the build pumps events; gives up
  // after about ten seconds.
  static std::unique_ptr<QTimer> WhenTrue(std::function<bool()> check, std::function<void()> action) {
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(5);
    auto tries = std::make_shared<int>(2000);
    QTimer* raw = timer.get();
    QObject::connect(raw, &QTimer::timeout, [=] {
      if (!check() && --*tries > 0) return;
      raw->stop();
      action();
    });
    timer->start();
    return timer;
  }

  test::AnsweringFolderDialog folderDialog;

};

TEST_F(ConvBigJobsTest, DroppedFilesAndFoldersAreAddedAsAddAddsThem) {
  const std::string root = QFile::encodeName(folder.filePath("maps")).toStdString();
  std::filesystem::create_directories(root + "/north/deep");
  std::filesystem::create_directories(root + "/south");
  for (const char* name : {"north/deep/c.TIF", "north/b.tiff", "south/a.Tif", "readme.txt", "south/a.tif.aux.xml"})
    std::ofstream(root + "/" + name) << "x";
  std::filesystem::create_directory_symlink(root, root + "/south/up");  // a loop
  const std::string single = MakeTiff("single.tif");
  const std::string text = QFile::encodeName(folder.filePath("notes.txt")).toStdString();
  std::ofstream(text) << "x";

  TFConv window(environment);
  window.show();
  int counterUpdates = 0;
  QObject::connect(&window.Files(), &FileList::CountersChanged, [&] { ++counterUpdates; });
  const auto url = [](const std::string& path) { return QUrl::fromLocalFile(QFile::decodeName(path.c_str())); };

  ASSERT_TRUE(Drop(window, {url(single), url(root), url(text)}));
  const std::vector<std::string> expected{single, root + "/north/b.tiff", root + "/north/deep/c.TIF",
                                          root + "/south/a.Tif"};
  EXPECT_EQ(Captions(window), expected);
  EXPECT_EQ(window.PanelText(1), QString::fromUtf8("Файлов в списке: 4"));
  EXPECT_EQ(window.PanelText(2), QString::fromUtf8("Выбрано: 4"));
  EXPECT_EQ(counterUpdates, 1);

  // Listed paths make no new rows; an unchecked one gets its check mark back.
  window.Files().SetChecked(2, false);
  window.Files().SetSelectedCount(3);
  ASSERT_TRUE(Drop(window, {url(root + "/north")}));
  EXPECT_EQ(Captions(window), expected);
  EXPECT_TRUE(window.Files().Model().Checked(2));
  EXPECT_EQ(window.PanelText(2), QString::fromUtf8("Выбрано: 4"));
  EXPECT_EQ(counterUpdates, 2);

  // Not while a build runs, and nothing but local files.
  UseFakeTool("sleep 0.2; exit 1");
  bool droppedWhileBuilding = true;
  QTimer::singleShot(0, [&] { droppedWhileBuilding = Drop(window, {url(single)}); });
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);
  EXPECT_FALSE(droppedWhileBuilding);
  EXPECT_FALSE(Drop(window, {QUrl("https://example.org/a.tif")}));
}

// Loading a list, adding a folder and clearing may take a moment with a million rows:
// the wait cursor shows while they work, never over the list file's dialog, and the
// usual cursor comes back after each.
TEST_F(ConvBigJobsTest, LongListCommandsShowTheWaitCursorWhileTheyWork) {
  const std::string listFile = QFile::encodeName(folder.filePath("list.txt")).toStdString();
  std::ofstream(listFile) << "/maps/a.tif\r\n/maps/b.tif\r\n";
  const std::string maps = QFile::encodeName(folder.filePath("maps")).toStdString();
  std::filesystem::create_directories(maps);
  std::ofstream(maps + "/c.tif") << "x";
  TFConv window(environment);
  const auto cursorNow = [] { return QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : -1; };
  std::vector<int> whileChanging;
  QObject::connect(&window.Files(), &FileList::CountersChanged, [&] { whileChanging.push_back(cursorNow()); });
  int whileChoosing = 0;
  dialogs.onChoose = [&] { whileChoosing = cursorNow(); };
  dialogs.loadAnswers.push_back(listFile);

  QTest::mouseClick(Controls(window).Button_Load, Qt::LeftButton);
  EXPECT_EQ(window.Files().Model().rowCount(), 2);
  folderDialog.answers.push_back(QFile::decodeName(maps.c_str()));
  Controls(window).AddFolder1->trigger();
  QTest::mouseClick(Controls(window).Button_Clear, Qt::LeftButton);
  EXPECT_EQ(whileChoosing, -1);
  // The load empties the list and fills it, the folder adds to it, the clear empties it.
  EXPECT_EQ(whileChanging, std::vector<int>(4, Qt::WaitCursor));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ConvBigJobsTest, AddFolderCommandAddsItsTiffFilesAndSaysWhenThereAreNone) {
  const std::string first = MakeTiff("a.tif");
  ASSERT_TRUE(QDir(folder.path()).mkpath("empty"));
  TFConv window(environment);
  window.show();

  folderDialog.answers.push_back(folder.path());
  folderDialog.answers.push_back(folder.filePath("empty"));
  Controls(window).AddFolder1->trigger();
  EXPECT_EQ(Captions(window), std::vector<std::string>{first});
  EXPECT_EQ(folderDialog.lastPrompt, QString::fromUtf8("Выберите папку с файлами TIFF"));

  QString message;
  test::AnswerNextModal([&](QWidget* modal) { message = static_cast<QMessageBox*>(modal)->text(); });
  Controls(window).AddFolder1->trigger();
  EXPECT_TRUE(message.contains(folder.filePath("empty"))) << message.toStdString();
  Controls(window).AddFolder1->trigger();  // cancelled
  EXPECT_EQ(window.Files().Model().rowCount(), 1);
}

// A folder's parts the walk cannot read are named in a message, after its TIFF files
// are added. Root may read any folder: the walk then runs with the file access of
// nobody (the window's thread only), as it does for a user without rights there.
TEST_F(ConvBigJobsTest, AddedFolderWithAnUnreadableSubfolderAddsTheRestAndNamesIt) {
  ASSERT_TRUE(QDir(folder.path()).mkpath("maps/locked"));
  const std::string open = MakeTiff("maps/a.tif");
  MakeTiff("maps/locked/b.tif");
  const QString locked = folder.filePath("maps/locked");
  ASSERT_TRUE(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                       QFile::ReadOther | QFile::ExeOther));
  ASSERT_TRUE(QFile::setPermissions(locked, {}));
  TFConv window(environment);
  window.show();

  QString message;
  test::AnswerNextModal([&](QWidget* modal) { message = static_cast<QMessageBox*>(modal)->text(); });
  folderDialog.answers.push_back(folder.filePath("maps"));
  constexpr uid_t Nobody = 65534;
  constexpr gid_t NoGroup = 65534;
  const gid_t group = ::setfsgid(NoGroup);
  const uid_t user = ::setfsuid(Nobody);
  Controls(window).AddFolder1->trigger();
  ::setfsuid(user);
  ::setfsgid(group);
  QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

  EXPECT_EQ(Captions(window), std::vector<std::string>{open});
  EXPECT_TRUE(message.startsWith(QString::fromUtf8("Найденные файлы TIFF добавлены, но прочитать удалось не всё:\n\n"
                                                   "Не удалось прочитать ") + locked + ": "))
      << message.toStdString();
}

// When nothing to add is found, the message says what was looked at.
TEST_F(ConvBigJobsTest, NothingToAddIsWordedForAFileAFolderOrSeveral) {
  ASSERT_TRUE(QDir(folder.path()).mkpath("empty"));
  const QString empty = folder.filePath("empty");
  const QString notes = folder.filePath("notes.txt");
  const QString list = folder.filePath("list1.txt");
  for (const QString& path : {notes, list}) std::ofstream(QFile::encodeName(path).constData()) << "x";
  const struct {
    QStringList paths;
    const char* start;
  } cases[] = {
      {{list}, "Это не файл TIFF (.tif, .tiff):"},
      {{empty}, "В этой папке и её вложенных папках нет файлов TIFF (.tif, .tiff):"},
      {{notes, list}, "Ни один из этих файлов не TIFF (.tif, .tiff):"},
      {{empty, notes}, "Среди этих файлов и в этих папках нет файлов TIFF (.tif, .tiff):"},
  };
  TFConv window(environment);
  window.show();
  for (const auto& c : cases) {
    QString message;
    test::AnswerNextModal([&](QWidget* modal) { message = static_cast<QMessageBox*>(modal)->text(); });
    QList<QUrl> urls;
    for (const QString& path : c.paths) urls.push_back(QUrl::fromLocalFile(path));
    ASSERT_TRUE(Drop(window, urls));
    EXPECT_EQ(message, QString::fromUtf8(c.start) + "\n\n" + c.paths.join('\n'));
  }
  EXPECT_EQ(window.Files().Model().rowCount(), 0);
}

// A name typed in Add's dialog is taken as a dropped one is: other files are left out,
// and a choice of no TIFF file is told with the drop's words.
TEST_F(ConvBigJobsTest, AddRefusesANonTiffNameAsADropDoes) {
  const QString notes = folder.filePath("notes.txt");
  std::ofstream(QFile::encodeName(notes).constData()) << "x";
  const std::string tiff = QFile::encodeName(folder.filePath("a.TIF")).toStdString();
  const std::string notesPath = QFile::encodeName(notes).toStdString();
  const QString refusal = QString::fromUtf8("Это не файл TIFF (.tif, .tiff):\n\n") + notes;
  TFConv window(environment);
  window.show();
  QString message;
  const auto record = [&](QWidget* modal) { message = static_cast<QMessageBox*>(modal)->text(); };
  dialogs.addAnswers.push_back(std::vector<std::string>{notesPath});
  test::AnswerNextModal(record);
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  EXPECT_EQ(message, refusal);
  EXPECT_EQ(window.Files().Model().rowCount(), 0);

  message.clear();
  dialogs.addAnswers.push_back(std::vector<std::string>{notesPath, tiff});
  test::AnswerNextModal(record);
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  EXPECT_EQ(message, "");
  EXPECT_EQ(Captions(window), std::vector<std::string>{tiff});
  // The answer still waiting takes this box, so none is left for a later test.
  dialogs.addAnswers.push_back(std::vector<std::string>{notesPath});
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  EXPECT_EQ(message, refusal);
}

// Eighty names would make a box taller than the screen: the first few are named, the
// rest counted, and the whole list is in the details.
TEST_F(ConvBigJobsTest, ManyPathsWithNothingToAddAreCountedAndAllInTheDetails) {
  QList<QUrl> urls;
  QStringList paths;
  for (int i = 0; i < 80; ++i) {
    paths.push_back(folder.filePath(QStringLiteral("notes%1.txt").arg(i)));
    std::ofstream(QFile::encodeName(paths.back()).constData()) << "x";
    urls.push_back(QUrl::fromLocalFile(paths.back()));
  }
  TFConv window(environment);
  window.show();
  QString message;
  QString details;
  test::AnswerNextModal([&](QWidget* modal) {
    message = static_cast<QMessageBox*>(modal)->text();
    details = static_cast<QMessageBox*>(modal)->detailedText();
  });
  ASSERT_TRUE(Drop(window, urls));
  EXPECT_EQ(message, QString::fromUtf8("Ни один из этих файлов не TIFF (.tif, .tiff):\n\n") +
                         paths.first(8).join('\n') + QString::fromUtf8("\nи ещё 72 файла"));
  EXPECT_EQ(details, QString::fromUtf8("Ни один из этих файлов не TIFF (.tif, .tiff):\n\n") + paths.join('\n'));
}

TEST_F(ConvBigJobsTest, RunningRowShowsToolProgressAndTheBuildItsOverallProgress) {
  const QByteArray go = QFile::encodeName(folder.filePath("go"));
  UseFakeTool("printf '0...10...'\n"
              "i=0; while [ ! -e '" + go + "' ] && [ $i -lt 2000 ]; do sleep 0.01; i=$((i+1)); done\n"
              "printf '20...30...40...50...60...70...80...90...100 - done.\\n'\n"
              "exec " KELVORY_TEST_GDALADDO " -q \"$@\"");
  dialogs.addAnswers.push_back(std::vector<std::string>{MakeTiff("a.tif")});
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);

  QString overall;
  bool barShown = false;
  auto poll = WhenTrue([&] { return window.Files().Model().Progress(0) == 17; },
                       [&] {
                         overall = Controls(window).BuildProgressLabel->isVisible() ? Controls(window).BuildProgressLabel->text() : "";
                         barShown = Controls(window).BuildBar->isVisible();
                         QFile(folder.filePath("go")).open(QIODevice::WriteOnly);
                       });
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);

  EXPECT_TRUE(overall.startsWith(QString::fromUtf8("Готово 0 из 1 · "))) << overall.toStdString();
  EXPECT_TRUE(barShown);
  EXPECT_EQ(window.Files().Model().Status(0), StatusDone);
  EXPECT_EQ(window.Files().Model().Progress(0), -1);
  EXPECT_FALSE(Controls(window).BuildProgressLabel->isVisible());
  EXPECT_FALSE(Controls(window).BuildBar->isVisible());
}

// The estimate weighs each file by its size and its tool's percentage: half of a big
// file is most of the work. The line has room of its own under the rows.
TEST_F(ConvBigJobsTest, EstimateWeighsFilesBySizeAndTheToolsPercentage) {
  const QByteArray go = QFile::encodeName(folder.filePath("go"));
  UseFakeTool("printf '0...10...20...30...40...'\n"
              "i=0; while [ ! -e '" + go + "' ] && [ $i -lt 2000 ]; do sleep 0.01; i=$((i+1)); done\n"
              "exec " KELVORY_TEST_GDALADDO " -q \"$@\"");
  const std::string big = MakeTiff("big.tif", 1200);
  const std::string small = MakeTiff("small.tif");
  std::vector<std::string> rows;  // enough rows to scroll
  for (int i = 0; i < 40; ++i) rows.push_back("/not/there" + std::to_string(i) + ".tif");
  rows.push_back(big);
  rows.push_back(small);
  dialogs.addAnswers.push_back(rows);
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  for (int row = 0; row < 40; ++row) window.Files().SetChecked(row, false);
  window.Files().SetSelectedCount(2);
  FileListView* view = Controls(window).ListView_Files;
  view->scrollToBottom();
  const QRect listPlace = view->geometry();

  const double bigBytes = static_cast<double>(QFileInfo(QFile::decodeName(big.c_str())).size());
  const double smallBytes = static_cast<double>(QFileInfo(QFile::decodeName(small.c_str())).size());
  const double expected = 0.47 * bigBytes / (bigBytes + smallBytes);
  int bar = -1;
  bool lastRowClear = false;
  QString line;
  auto poll = WhenTrue([&] { return window.Files().Model().Progress(40) == 47 && Controls(window).BuildProgressLabel->text().contains("≈"); },
                       [&] {
                         bar = Controls(window).BuildBar->value();
                         line = Controls(window).BuildProgressLabel->text();
                         const QRect last = view->visualRect(window.Files().Model().index(41));
                         lastRowClear = view->viewport()->rect().contains(last) &&
                                        !Controls(window).BuildProgressLabel->geometry().intersects(view->geometry());
                         QFile(folder.filePath("go")).open(QIODevice::WriteOnly);
                       });
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);

  EXPECT_NEAR(bar, expected * 1000, 1.5);
  EXPECT_TRUE(lastRowClear);
  // The time left follows the part done: elapsed × (1 − part) / part, to the second.
  const QRegularExpressionMatch times =
      QRegularExpression(QString::fromUtf8("^Готово 0 из 2 · 00:(\\d\\d) · осталось ≈ (\\d\\d):(\\d\\d)$")).match(line);
  ASSERT_TRUE(times.hasMatch()) << line.toStdString();
  const double elapsed = times.captured(1).toDouble();
  const double left = times.captured(2).toDouble() * 60 + times.captured(3).toDouble();
  const double pace = (1 - expected) / expected;
  EXPECT_GE(left, std::floor((elapsed - 0.5) * pace)) << line.toStdString();
  EXPECT_LE(left, std::ceil((elapsed + 0.5) * pace)) << line.toStdString();
  EXPECT_EQ(window.Files().Model().Status(40), StatusDone);
  // The summary keeps the line's place until it is clicked away.
  EXPECT_FALSE(Controls(window).BuildSummary1->geometry().intersects(view->geometry()));
  QTest::mouseClick(Controls(window).BuildSummary1, Qt::LeftButton);
  EXPECT_EQ(view->geometry(), listPlace);
}

// Once the build is over the window says how it went, and F8 goes from one row it did
// not get done to the next, round past the end.
TEST_F(ConvBigJobsTest, SummaryTellsHowTheBuildWentAndF8FindsWhatFailed) {
  UseFakeTool("exit 1");
  dialogs.addAnswers.push_back(std::vector<std::string>{MakeTiff("a.tif"), "/not/there.tif", MakeTiff("c.tif")});
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);

  EXPECT_TRUE(Controls(window).BuildSummary1->isVisible());
  EXPECT_EQ(Controls(window).BuildSummary1->Summary(), QString::fromUtf8("Итог: 2 файла с ошибкой · 1 не найден"));
  std::vector<int> visited;
  Controls(window).ListView_Files->setCurrentIndex({});
  for (int i = 0; i < 4; ++i) {
    Controls(window).NextUnsuccessful1->trigger();
    visited.push_back(Controls(window).ListView_Files->currentIndex().row());
  }
  EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 0}));

  // Rows taken away: the counts no longer tell of the list.
  QTest::mouseClick(Controls(window).Button_Clear, Qt::LeftButton);
  EXPECT_FALSE(Controls(window).BuildSummary1->isVisible());
}

// The stop command works like the end signal, but the window stays and is idle again.
TEST_F(ConvBigJobsTest, StopFromTheKeyboardEndsTheRealToolAndKeepsTheWindow) {
  UseRealTool();
  const std::string big = MakeTiff("big.tif", 7000, 3);
  const std::string small = MakeTiff("small.tif");
  const QByteArray bigBefore = Digest(big);
  const QByteArray smallBefore = Digest(small);
  dialogs.addAnswers.push_back(std::vector<std::string>{big, small});
  TFConv window(environment);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 2000));
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  EXPECT_FALSE(Controls(window).Stop1->isEnabled());

  // Once gdaladdo itself reports progress, the user presses Ctrl+. on the list.
  bool enabledWhileRunning = false;
  int percentSeen = -1;
  QStringList copiesWhileRunning;
  auto poll = WhenTrue([&] { return window.Files().Model().Progress(0) >= 0; },
                       [&] {
                         percentSeen = window.Files().Model().Progress(0);
                         enabledWhileRunning = Controls(window).Stop1->isEnabled();
                         copiesWhileRunning = WorkingCopiesLeft();
                         QTest::keyClick(Controls(window).ListView_Files, Qt::Key_Period, Qt::ControlModifier);
                       });
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);

  EXPECT_GE(percentSeen, 0);  // gdaladdo's own progress was read
  EXPECT_TRUE(enabledWhileRunning);
  EXPECT_FALSE(copiesWhileRunning.isEmpty());
  EXPECT_TRUE(WorkingCopiesLeft().isEmpty()) << WorkingCopiesLeft().join(' ').toStdString();
  EXPECT_EQ(Digest(big), bigBefore);
  EXPECT_EQ(Digest(small), smallBefore);
  EXPECT_EQ(window.Files().Model().Status(0), StatusFailed);
  EXPECT_TRUE(window.Files().Model().Stopped(0));
  EXPECT_EQ(window.Files().Model().Status(1), StatusNone);  // never started, still checked
  EXPECT_TRUE(window.Files().Model().Checked(1));
  EXPECT_EQ(window.PanelText(2), QString::fromUtf8("Выбрано: 1"));
  // Idle again, the window open.
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.Building());
  EXPECT_TRUE(Controls(window).Button_Build->isEnabled());
  EXPECT_EQ(Controls(window).Button_Build->text(), QString::fromUtf8("Построить"));
  EXPECT_TRUE(Controls(window).GroupBox1->isEnabled());
  EXPECT_FALSE(Controls(window).Stop1->isEnabled());
  EXPECT_FALSE(Controls(window).Build->StopRequested());
}

// The mouse's way (the list's menu) and Ctrl+Break as X11 delivers it (a key Qt does
// not name, with the Break keysym).
TEST_F(ConvBigJobsTest, StopFromTheListsMenuOrWithCtrlBreak) {
  const QByteArray started = QFile::encodeName(folder.filePath("started"));
  UseFakeTool("touch '" + started + "'; exec sleep 30");
  dialogs.addAnswers.push_back(std::vector<std::string>{MakeTiff("a.tif")});
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);

  for (const bool fromMenu : {true, false}) {
    QFile::remove(folder.filePath("started"));
    window.Files().SetChecked(0, true);
    window.Files().SetSelectedCount(1);
    bool menuShown = false;
    auto poll = WhenTrue([&] { return QFile::exists(folder.filePath("started")); },
                         [&] {
                           QWidget* viewport = Controls(window).ListView_Files->viewport();
                           if (fromMenu) {
                             const QPoint at(30, 5);
                             QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
                             QApplication::sendEvent(viewport, &event);
                             menuShown = Controls(window).ListMenu->isVisible() &&
                                         Controls(window).ListMenu->actions().contains(Controls(window).Stop1);
                             Controls(window).Stop1->trigger();
                             Controls(window).ListMenu->hide();
                           } else {
                             QKeyEvent breakKey(QEvent::KeyPress, 0, Qt::ControlModifier, 0, 0xff6b, 0);
                             QApplication::sendEvent(Controls(window).ListView_Files, &breakKey);
                           }
                         });
    QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);

    EXPECT_EQ(menuShown, fromMenu);
    EXPECT_EQ(window.Files().Model().Status(0), StatusFailed) << fromMenu;
    EXPECT_TRUE(window.Files().Model().Stopped(0)) << fromMenu;
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(Controls(window).Button_Build->isEnabled());
    EXPECT_TRUE(WorkingCopiesLeft().isEmpty());
  }
}

TEST_F(ConvBigJobsTest, ReasonsOpenOnEnterOrDoubleClickAndFailedRowsCanBeCheckedAgain) {
  UseFakeTool("echo \"ERROR 1: $1: No space left on device\" >&2; exit 1");
  const std::string failing = MakeTiff("failing.tif");
  const std::string readOnly = MakeTiff("read-only.tif");
  ASSERT_TRUE(QFile::setPermissions(QFile::decodeName(readOnly.c_str()), QFile::ReadOwner));
  const std::string missing = QFile::encodeName(folder.filePath("missing.tif")).toStdString();
  dialogs.addAnswers.push_back(std::vector<std::string>{failing, readOnly, missing});
  TFConv window(environment);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 2000));
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);
  ASSERT_EQ(window.PanelText(2), QString::fromUtf8("Выбрано: 0"));

  FileListView* view = Controls(window).ListView_Files;
  const auto shown = [&](std::function<void()> ask) {
    QString text;
    bool selectable = false;
    test::AnswerNextModal([&](QWidget* modal) {
      text = static_cast<QMessageBox*>(modal)->text();
      for (QLabel* label : modal->findChildren<QLabel*>()) {
        if (label->text() == text) selectable = label->textInteractionFlags() & Qt::TextSelectableByMouse;
      }
    });
    ask();
    EXPECT_TRUE(selectable) << text.toStdString();
    return text;
  };
  const auto captionOf = [&](int row) { return view->visualRect(window.Files().Model().index(row)).center(); };

  // The tool's own words as they are, after a double click on the caption.
  const QString tool = shown([&] { QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, captionOf(0)); });
  EXPECT_TRUE(tool.contains("ERROR 1: " + QFile::decodeName(failing.c_str()) + ": No space left on device"))
      << tool.toStdString();
  // The program's own reason in Russian, on Enter.
  view->setFocus();
  view->setCurrentIndex(window.Files().Model().index(1));
  const QString own = shown([&] { QTest::keyClick(view, Qt::Key_Return); });
  EXPECT_TRUE(own.contains(QString::fromUtf8("доступен только для чтения"))) << own.toStdString();
  view->setCurrentIndex(window.Files().Model().index(2));
  EXPECT_TRUE(shown([&] { QTest::keyClick(view, Qt::Key_Enter); }).contains(QString::fromUtf8("Файл не найден.")));
  EXPECT_TRUE(window.isVisible());

  Controls(window).CheckFailed1->trigger();
  for (int row = 0; row < 3; ++row) EXPECT_TRUE(window.Files().Model().Checked(row)) << row;
  EXPECT_EQ(window.PanelText(2), QString::fromUtf8("Выбрано: 3"));
}

TEST_F(ConvBigJobsTest, DeleteLeavesNoRowSelectedSoASecondDeleteDoesNothing) {
  dialogs.addAnswers.push_back(std::vector<std::string>{"/d/a.tif", "/d/b.tif", "/d/c.tif"});
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  Controls(window).ListView_Files->setCurrentIndex(window.Files().Model().index(1));
  ASSERT_EQ(Controls(window).ListView_Files->SelectedRow(), 1);

  QTest::mouseClick(Controls(window).Button_Delete, Qt::LeftButton);
  EXPECT_EQ(Captions(window), (std::vector<std::string>{"/d/a.tif", "/d/c.tif"}));
  EXPECT_EQ(Controls(window).ListView_Files->SelectedRow(), -1);
  QTest::mouseClick(Controls(window).Button_Delete, Qt::LeftButton);
  EXPECT_EQ(window.Files().Model().rowCount(), 2);
  EXPECT_EQ(window.PanelText(1), QString::fromUtf8("Файлов в списке: 2"));
}

TEST_F(ConvBigJobsTest, LongPathsKeepTheirFileNameInView) {
  const std::string path = "/data/" + std::string(300, 'x') + "/sheet_N-37-004.tif";
  dialogs.addAnswers.push_back(std::vector<std::string>{path});
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  EXPECT_EQ(Controls(window).ListView_Files->textElideMode(), Qt::ElideMiddle);
}

// The opener is watched, not waited for: the window works on while it runs, and a
// failure, however late, names the file. The banner opens the same help.
TEST_F(ConvBigJobsTest, HelpThatNoProgramOpensIsToldWithoutHoldingTheWindow) {
  const QByteArray go = QFile::encodeName(folder.filePath("go"));
  const QString opener = folder.filePath("opener");
  WriteScript(opener, "while [ ! -e '" + go + "' ]; do sleep 0.01; done\n"
                     "echo \"xdg-open: no method available for opening '$1'\" >&2; exit 3");
  environment.openUrl = nullptr;
  environment.programPath = QFile::encodeName(folder.filePath("bin/kelvory")).toStdString();
  QFile(folder.filePath("bin/kelvory.pdf")).open(QIODevice::WriteOnly);
  const struct {
    QString program;
    std::function<void(TFConv&)> ask;
  } cases[] = {
      {opener, [](TFConv& window) { Controls(window).Help1->trigger(); }},
      {folder.filePath("no-such-opener"), [](TFConv& window) { QTest::mouseClick(Controls(window).Image1, Qt::LeftButton); }},
  };
  for (const auto& c : cases) {
    environment.documentOpener = c.program;
    TFConv window(environment);
    window.show();
    QString message;
    test::AnswerNextModal([&](QWidget* modal) { message = static_cast<QMessageBox*>(modal)->text(); }, 1000);
    c.ask(window);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // the handler did not wait
    QFile(folder.filePath("go")).open(QIODevice::WriteOnly);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !message.isEmpty(); }, 10000)) << c.program.toStdString();
    EXPECT_TRUE(message.contains(folder.filePath("bin/kelvory.pdf"))) << message.toStdString();
    QFile::remove(folder.filePath("go"));
  }
}

// A help file that is not there is told as missing, with where it was looked for; no
// viewer is started to fail on it.
TEST_F(ConvBigJobsTest, MissingHelpIsToldAsMissingWhereItWasLookedFor) {
  const QString started = folder.filePath("opener-started");
  const QString opener = folder.filePath("opener");
  WriteScript(opener, "touch '" + QFile::encodeName(started) + "'");
  environment.openUrl = nullptr;
  environment.documentOpener = opener;
  environment.programPath = QFile::encodeName(folder.filePath("bin/kelvory")).toStdString();
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(folder.path()));
  const struct {
    std::function<void(TFConv&)> ask;
    QString lookedFor;
  } cases[] = {
      {[](TFConv& window) { Controls(window).Help1->trigger(); }, folder.filePath("bin/kelvory.pdf")},
      {[](TFConv& window) { Controls(window).SystemMenu->actions()[1]->trigger(); }, folder.filePath("help.pdf")},
  };
  for (const auto& c : cases) {
    TFConv window(environment);
    window.show();
    QString message;
    test::AnswerNextModal([&](QWidget* modal) { message = static_cast<QMessageBox*>(modal)->text(); }, 1000);
    c.ask(window);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !message.isEmpty(); }, 10000));
    EXPECT_EQ(message, QString::fromUtf8("Файл справки не найден:\n\n") + c.lookedFor);
  }
  QDir::setCurrent(previous);
  EXPECT_FALSE(QFile::exists(started));
}

// The stop command's "Ctrl+." keeps clear of the menu's right edge: the room of a few
// letters lies between its last dark pixel and the edge.
TEST_F(ConvBigJobsTest, ListMenuShortcutsKeepClearOfTheMenusEdge) {
  TFConv window(environment);
  window.show();
  Controls(window).ListMenu->popup(window.mapToGlobal(QPoint(20, 20)));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Controls(window).ListMenu, 5000));
  const QImage image = Controls(window).ListMenu->grab().toImage();
  const QRect row = Controls(window).ListMenu->actionGeometry(Controls(window).Stop1);
  int inkEnd = row.left();
  // The frame's lines at the menu's edges are no text.
  for (int y = row.top() + 3; y <= row.bottom() - 3; ++y) {
    for (int x = row.left(); x <= row.right() - 3; ++x) {
      if (qGray(image.pixel(x, y)) < 220) inkEnd = std::max(inkEnd, x);
    }
  }
  Controls(window).ListMenu->hide();
  EXPECT_GE(Controls(window).ListMenu->width() - 1 - inkEnd, 3 * Controls(window).ListMenu->fontMetrics().averageCharWidth());
}

}  // namespace
}  // namespace kelvory
