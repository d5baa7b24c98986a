// Builds with the real gdaladdo, run from a program folder of the test's own.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/About.h"
#include "app/BuildSettingsMenu.h"
#include "app/Conv.h"
#include "app/FileListView.h"
#include "filelist/FileList.h"
#include "tests/app/WindowControls.h"
#include "tests/app/WindowTestSupport.h"

namespace kelvory {
namespace {

using test::Controls;

class ConvBuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QDir(folder.path()).mkpath("bin/gdal"));
    ASSERT_TRUE(QFile::link(KELVORY_TEST_GDALADDO, folder.filePath("bin/gdal/gdaladdo")));
    environment.listDialogs = &dialogs;
    environment.openUrl = [](const QUrl&) {};
    environment.programFolder = QFile::encodeName(folder.filePath("bin/")).toStdString();
    environment.slotCount = 2;
  }

  std::string MakeTiff(const QString& name) {
    const QString path = folder.filePath(name);
    QProcess create;
    create.start(KELVORY_TEST_GDAL_CREATE,
                 {"-of", "GTiff", "-outsize", "400", "400", "-bands", "1", path});
    EXPECT_TRUE(create.waitForFinished(30000));
    EXPECT_EQ(create.exitCode(), 0);
    return QFile::encodeName(path).toStdString();
  }

  QTemporaryDir folder;
  test::AnsweringListDialogs dialogs;
  ConvEnvironment environment;
};

// The Build button pressed from the keyboard is locked during the build: the focus goes
// to the list, which stays usable, and is there when the build is over.
TEST_F(ConvBuildTest, FocusGoesToTheListWhenTheBuildLocksTheButton) {
  dialogs.addAnswers.push_back(std::vector<std::string>{MakeTiff("first.tif")});
  TFConv window(environment);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 2000));
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  Controls(window).Button_Build->setFocus();
  QWidget* focusedWhileBuilding = nullptr;
  QTimer::singleShot(0, [&] { focusedWhileBuilding = QApplication::focusWidget(); });
  QTest::keyClick(Controls(window).Button_Build, Qt::Key_Space);
  EXPECT_EQ(window.Files().Model().Status(0), StatusDone);
  EXPECT_EQ(focusedWhileBuilding, Controls(window).ListView_Files);
  EXPECT_EQ(QApplication::focusWidget(), Controls(window).ListView_Files);
}

// JPEG levels cannot be written for 16-bit samples: that file gets levels compressed
// as its image is, and its row says why; an 8-bit file gets JPEG levels.
TEST_F(ConvBuildTest, JpegLevelsGoOnlyToFilesTheySuit) {
  const auto make = [&](const QString& name, const char* type) {
    QProcess create;
    create.start(KELVORY_TEST_GDAL_CREATE, {"-of", "GTiff", "-ot", type, "-outsize", "400", "400", "-bands", "1",
                                            "-burn", "100", folder.filePath(name)});
    EXPECT_TRUE(create.waitForFinished(30000));
    return QFile::encodeName(folder.filePath(name)).toStdString();
  };
  environment.settingsFile = folder.filePath("settings.ini");
  dialogs.addAnswers.push_back(std::vector<std::string>{make("wide.tif", "UInt16"), make("byte.tif", "Byte")});
  TFConv window(environment);
  for (QAction* choice : Controls(window).SettingsMenu->CompressionMenu->actions()) {
    if (choice->data().toString() == "JPEG") choice->trigger();
  }
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);

  EXPECT_EQ(window.Files().Model().Status(0), StatusDone);
  EXPECT_NE(window.Files().Model().Reason(0).find("JPEG"), std::string::npos) << window.Files().Model().Reason(0);
  EXPECT_EQ(window.Files().Model().Status(1), StatusDone);
  EXPECT_EQ(window.Files().Model().Reason(1), "");
}

TEST_F(ConvBuildTest, BuildSettlesCheckedRowsAndRestoresTheWindow) {
  const std::string first = MakeTiff("first.tif");
  const std::string second = MakeTiff("second.tif");
  const qint64 sizeBefore = QFileInfo(QString::fromStdString(first)).size();
  dialogs.addAnswers.push_back(std::vector<std::string>{first, second});
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  ASSERT_EQ(window.Files().Model().rowCount(), 2);
  EXPECT_EQ(window.PanelText(1), QString::fromUtf8("Файлов в списке: 2"));
  EXPECT_EQ(window.PanelText(2), QString::fromUtf8("Выбрано: 2"));
  window.Files().SetChecked(1, false);
  window.Files().SetSelectedCount(1);

  bool seenBuilding = false;
  QTimer::singleShot(0, [&] {
    seenBuilding = window.Building() && !Controls(window).Button_Build->isEnabled() &&
                   Controls(window).Button_Build->text() == QString::fromUtf8("Подождите...") &&
                   !Controls(window).GroupBox1->isEnabled() && Controls(window).ListView_Files->isEnabled();
  });
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);

  EXPECT_TRUE(seenBuilding);
  EXPECT_EQ(window.Files().Model().Status(0), StatusDone);
  EXPECT_FALSE(window.Files().Model().Checked(0));
  EXPECT_EQ(window.Files().Model().Status(1), StatusNone);
  EXPECT_EQ(window.PanelText(1), QString::fromUtf8("Файлов в списке: 2"));
  EXPECT_EQ(window.PanelText(2), QString::fromUtf8("Выбрано: 0"));
  EXPECT_FALSE(window.Building());
  EXPECT_TRUE(Controls(window).Button_Build->isEnabled());
  EXPECT_EQ(Controls(window).Button_Build->text(), QString::fromUtf8("Построить"));
  EXPECT_TRUE(Controls(window).GroupBox1->isEnabled());
  EXPECT_EQ(window.windowTitle(), QString::fromUtf8("Генератор пирамид для TIFF"));
  // Updated in place: the overviews now live in the source file.
  EXPECT_GT(QFileInfo(QString::fromStdString(first)).size(), sizeBefore);

  // Built again, it needs nothing: the same green check, and its tool tip says so.
  const QString path = QFile::decodeName(first.c_str());
  EXPECT_EQ(window.Files().Model().index(0).data(Qt::ToolTipRole).toString(), path);
  window.Files().SetChecked(0, true);
  window.Files().SetSelectedCount(1);
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);
  EXPECT_EQ(window.Files().Model().Status(0), StatusDone);
  EXPECT_EQ(window.Files().Model().index(0).data(Qt::ToolTipRole).toString(),
            path + QString::fromUtf8("\nПирамиды уже есть."));
}

TEST_F(ConvBuildTest, MissingToolIsOneMessageAndChangesNoRow) {
  environment.findTool = [](const std::string&) { return std::string(); };
  dialogs.addAnswers.push_back(std::vector<std::string>{MakeTiff("a.tif"), MakeTiff("b.tif")});
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  window.Files().SetChecked(1, false);
  window.Files().SetSelectedCount(1);

  QString message;
  QString where;
  bool buildingUnderIt = false;
  test::AnswerNextModal([&](QWidget* modal) {
    message = static_cast<QMessageBox*>(modal)->text();
    where = static_cast<QMessageBox*>(modal)->informativeText();
    buildingUnderIt = window.Building() && !Controls(window).Button_Build->isEnabled();
  });
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);

  // Named as the system names the file (gdaladdo.exe on Windows), with where it was looked for.
  EXPECT_EQ(message, QString::fromUtf8("gdaladdo не найден"));
  EXPECT_EQ(where, QString::fromUtf8("Искали: ") + QString::fromStdString(environment.programFolder) +
                       QString::fromUtf8("gdal/gdaladdo и в папках из переменной PATH."));
  EXPECT_TRUE(buildingUnderIt);
  for (int row = 0; row < 2; ++row) EXPECT_EQ(window.Files().Model().Status(row), StatusNone) << row;
  EXPECT_TRUE(window.Files().Model().Checked(0));
  EXPECT_EQ(window.Files().SelectedCount(), 1);
  EXPECT_FALSE(window.Building());
  EXPECT_TRUE(Controls(window).Button_Build->isEnabled());
  EXPECT_EQ(Controls(window).Button_Build->text(), QString::fromUtf8("Построить"));
  EXPECT_TRUE(Controls(window).GroupBox1->isEnabled());
}

TEST_F(ConvBuildTest, ClosingDuringABuildEndsTheWindowAfterTheBuild) {
  dialogs.addAnswers.push_back(std::vector<std::string>{MakeTiff("a.tif"), MakeTiff("b.tif"),
                                                        MakeTiff("c.tif")});
  environment.slotCount = 1;
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);

  bool stayedOpen = false;
  QString notice;
  QString hint;
  QTimer::singleShot(0, [&] {
    window.close();
    stayedOpen = window.isVisible() && window.Building();
    notice = Controls(window).BuildProgressLabel->isVisible() ? Controls(window).BuildProgressLabel->text() : QString();
    hint = Controls(window).BuildProgressLabel->toolTip();
  });
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);

  EXPECT_TRUE(stayedOpen);
  // The window says why it stays, and how to stop the build now.
  EXPECT_EQ(notice, QString::fromUtf8("Окно закроется после построения · остановить: Ctrl+."));
  EXPECT_GE(Controls(window).BuildProgressLabel->contentsRect().width(),
            Controls(window).BuildProgressLabel->fontMetrics().horizontalAdvance(notice));
  EXPECT_TRUE(hint.contains(QString::fromUtf8("«Остановить построение» в меню списка"))) << hint.toStdString();
  for (int row = 0; row < 3; ++row) EXPECT_EQ(window.Files().Model().Status(row), StatusDone) << row;
  EXPECT_FALSE(window.isVisible());
}

// Child processes of this one that have ended but were never collected.
int ZombieChildren() {
  int zombies = 0;
  const std::string self = std::to_string(QCoreApplication::applicationPid());
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string state, parent;
    fields >> state >> parent;
    if (state == "Z" && parent == self) ++zombies;
  }
  return zombies;
}

// The build is stepped from whatever event loop runs, so a modal box opened during
// it (the About box, a row's reasons, a message) neither holds it nor leaves its
// ended tools uncollected.
TEST_F(ConvBuildTest, ABuildGoesOnToItsEndUnderAnyModalBox) {
  TAboutBox about(nullptr, [](const QUrl&) {});
  environment.openUrl = nullptr;
  environment.documentOpener = folder.filePath("no-such-opener");
  environment.slotCount = 1;
  const std::vector<std::string> files{MakeTiff("a.tif"), MakeTiff("b.tif"), MakeTiff("c.tif")};
  const struct {
    const char* box;
    std::function<void(TFConv&)> open;
  } cases[] = {
      {"About", [](TFConv& window) { Controls(window).About1->trigger(); }},
      {"reasons",
       [](TFConv& window) {
         FileListView* list = Controls(window).ListView_Files;
         list->setCurrentIndex(list->model()->index(3, 0));
         QTest::keyClick(list, Qt::Key_Return);
       }},
      {"message", [](TFConv& window) { Controls(window).Help1->trigger(); }},
  };
  for (const auto& c : cases) {
    TFConv window(environment);
    window.SetAboutBox(&about);
    window.show();
    window.Files().AddFiles(files);
    window.Files().AddFiles({"/settled/earlier.tif"});
    window.Files().SetStatus(3, StatusNotFound);
    window.Files().SetChecked(3, false);
    window.Files().SetSelectedCount(3);

    bool buildingWhenOpened = false;
    bool boxOpenAtTheEnd = false;
    int zombiesAtTheEnd = -1;
    QTimer watch;
    int triesLeft = 2000;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      QWidget* box = QApplication::activeModalWidget();
      if (box == nullptr || (window.Building() && --triesLeft > 0)) return;
      watch.stop();
      boxOpenAtTheEnd = !window.Building() && box->isVisible();
      zombiesAtTheEnd = ZombieChildren();
      box->close();
    });
    QTimer::singleShot(0, [&] {
      buildingWhenOpened = window.Building();
      watch.start(5);
      c.open(window);
    });
    QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);

    EXPECT_TRUE(buildingWhenOpened) << c.box;
    EXPECT_TRUE(boxOpenAtTheEnd) << c.box;
    EXPECT_EQ(zombiesAtTheEnd, 0) << c.box;
    for (int row = 0; row < 3; ++row) EXPECT_EQ(window.Files().Model().Status(row), StatusDone) << c.box << row;
  }
}

// The window starts with the classic reading; the widened one is a setting of the
// Параметры menu that the next start of the program still has.
TEST_F(ConvBuildTest, WidenedReadingIsASettingKeptBetweenRunsThatLetsAFloatDemBuild) {
  environment.settingsFile = folder.filePath("settings.ini");
  QProcess create;
  const QString dem = folder.filePath("dem.tif");
  create.start(KELVORY_TEST_GDAL_CREATE, {"-of", "GTiff", "-outsize", "400", "400", "-ot", "Float32", dem});
  ASSERT_TRUE(create.waitForFinished(30000));
  const std::string path = QFile::encodeName(dem).toStdString();
  {
    TFConv window(environment);
    EXPECT_EQ(Controls(window).SettingsMenu->Options().Reading, ReadingMode::Classic);
    EXPECT_EQ(Controls(window).SettingsMenu->Options().Method, Resampling::Nearest);
    dialogs.addAnswers.push_back(std::vector<std::string>{path});
    QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
    QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);
    EXPECT_EQ(window.Files().Model().Status(0), StatusFailed);
    EXPECT_NE(window.Files().Model().Reason(0).find("Параметры"), std::string::npos) << window.Files().Model().Reason(0);
    Controls(window).SettingsMenu->WidenedReading->trigger();
    for (QAction* method : Controls(window).SettingsMenu->ResamplingMenu->actions()) {
      if (method->data() == "average") method->trigger();
    }
  }
  TFConv window(environment);
  EXPECT_EQ(Controls(window).SettingsMenu->Options().Reading, ReadingMode::Widened);
  EXPECT_EQ(Controls(window).SettingsMenu->Options().Method, Resampling::Average);
  dialogs.addAnswers.push_back(std::vector<std::string>{path});
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);
  EXPECT_EQ(window.Files().Model().Status(0), StatusDone) << window.Files().Model().Reason(0);
}

// A COG is kept as it is, its reason naming the setting that rewrites it as a COG with
// its levels; the setting stays for the next start.
TEST_F(ConvBuildTest, CogIsKeptUntilTheSettingRewritesItAsACog) {
  environment.settingsFile = folder.filePath("settings.ini");
  const QString cog = folder.filePath("cog.tif");
  QProcess make;
  make.start("/bin/sh", {"-ec", QString("%1 -of GTiff -outsize 600 600 -bands 1 -burn 7 %2.tmp && gdal_translate -q "
                                        "-of COG -co OVERVIEWS=NONE %2.tmp %2")
                                    .arg(KELVORY_TEST_GDAL_CREATE, cog)});
  ASSERT_TRUE(make.waitForFinished(30000));
  const std::vector<std::string> paths{QFile::encodeName(cog).toStdString()};
  {
    TFConv window(environment);
    dialogs.addAnswers.push_back(paths);
    QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
    QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);
    EXPECT_NE(window.Files().Model().Reason(0).find("«Пересоздавать COG с уровнями»"), std::string::npos)
        << window.Files().Model().Reason(0);
    Controls(window).SettingsMenu->RewriteCogs->trigger();
  }
  TFConv window(environment);
  dialogs.addAnswers.push_back(paths);
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);
  EXPECT_EQ(window.Files().Model().Status(0), StatusDone) << window.Files().Model().Reason(0);
  QProcess info;
  info.start("gdalinfo", {cog});
  ASSERT_TRUE(info.waitForFinished(30000));
  const QString text = info.readAllStandardOutput();
  EXPECT_TRUE(text.contains("LAYOUT=COG") && text.contains("Overviews: 300x300, 150x150, 75x75")) << text.toStdString();
}

// Off by default (the levels compressed as the image is); a chosen compression is kept
// between runs and reaches every level the tool writes.
TEST_F(ConvBuildTest, OverviewCompressionIsASettingKeptBetweenRunsThatReachesTheLevels) {
  environment.settingsFile = folder.filePath("settings.ini");
  const auto choose = [](QMenu* menu, const char* gdalName) {
    for (QAction* choice : menu->actions()) {
      if (choice->data() == gdalName) choice->trigger();
    }
  };
  {
    TFConv window(environment);
    EXPECT_TRUE(Controls(window).SettingsMenu->Options().Config.empty());
    for (QMenu* menu : {Controls(window).SettingsMenu->ResamplingMenu, Controls(window).SettingsMenu->CompressionMenu}) {
      for (QAction* choice : menu->actions()) {
        // GDAL's name once: in brackets unless the caption says it already.
        const QString name = choice->data().toString();
        if (!name.isEmpty()) {
          EXPECT_EQ(choice->text().count(name, Qt::CaseInsensitive), 1) << choice->text().toStdString();
        }
        EXPECT_NE(choice->toolTip(), choice->text()) << choice->text().toStdString();  // a hint of its own
      }
    }
    choose(Controls(window).SettingsMenu->CompressionMenu, "DEFLATE");
  }
  const struct {
    const char* gdalName;
    const char* scheme;  // as tiffinfo names it
  } cases[] = {{nullptr, "AdobeDeflate"}, {"JPEG", "JPEG"}};
  for (const auto& c : cases) {
    TFConv window(environment);
    if (c.gdalName != nullptr) choose(Controls(window).SettingsMenu->CompressionMenu, c.gdalName);
    const std::string path = MakeTiff(QString::fromLatin1(c.scheme) + ".tif");
    dialogs.addAnswers.push_back(std::vector<std::string>{path});
    QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
    QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);
    ASSERT_EQ(window.Files().Model().Status(0), StatusDone) << window.Files().Model().Reason(0);

    QProcess info;
    info.start(KELVORY_TEST_TIFFINFO, {QString::fromStdString(path)});
    ASSERT_TRUE(info.waitForFinished(30000));
    QStringList schemes;
    for (const QString& line : QString::fromUtf8(info.readAllStandardOutput()).split('\n')) {
      if (line.contains("Compression Scheme:")) schemes.push_back(line.section(':', 1).trimmed());
    }
    ASSERT_GE(schemes.size(), 2) << c.scheme;
    EXPECT_EQ(schemes.takeFirst(), "None");  // the image itself is left as it was
    for (const QString& level : schemes) EXPECT_EQ(level, c.scheme);
  }
}

}  // namespace
}  // namespace kelvory
