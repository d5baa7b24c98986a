// Builds with small fake tools in a program folder of the test's own: why a row failed,
// and SIGTERM/SIGHUP stopping the program safely.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <optional>

#include "app/Conv.h"
#include "app/StopSignal.h"
#include "filelist/FileList.h"
#include "tests/app/WindowBuildFixture.h"
#include "tests/app/WindowControls.h"
#include "tests/app/WindowTestSupport.h"

namespace kelvory {
namespace {

using test::Controls;

class ConvStopTest : public test::WindowBuildFixture {
 protected:
  static QByteArray Bytes(const std::string& path) {
    QFile file(QFile::decodeName(path.c_str()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QStringList WorkingCopiesLeft() const {
    return QDir(folder.filePath("tmp")).entryList({"kelvory*"}, QDir::Files | QDir::Hidden);
  }
};

TEST_F(ConvStopTest, FailedRowTellsWhyInItsToolTip) {
  UseFakeTool("echo \"ERROR 1: $1: TIFFReadEncodedTile() failed\" >&2; exit 1");
  const std::string source = MakeTiff("full.tif");
  dialogs.addAnswers.push_back(std::vector<std::string>{source});
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);

  ASSERT_EQ(window.Files().Model().Status(0), StatusFailed);
  // The tool named its working copy; the user reads their own file's path.
  const QString path = QFile::decodeName(source.c_str());
  EXPECT_EQ(window.Files().Model().index(0).data(Qt::ToolTipRole).toString(),
            path + "\nERROR 1: " + path + ": TIFFReadEncodedTile() failed");

  // The next build forgets the old reason as soon as the row is under way again.
  UseFakeTool("exit 0");
  window.Files().SetChecked(0, true);
  window.Files().SetSelectedCount(1);
  QString duringNextBuild;
  QTimer::singleShot(0, [&] { duringNextBuild = window.Files().Model().index(0).data(Qt::ToolTipRole).toString(); });
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);
  EXPECT_EQ(duringNextBuild, path);
}

TEST_F(ConvStopTest, SignalDuringABuildStopsTheToolAndLeavesNoCopy) {
  const QString started = folder.filePath("started");
  UseFakeTool("touch '" + QFile::encodeName(started) + "'; exec sleep 30");
  const std::string first = MakeTiff("first.tif");
  const std::string second = MakeTiff("second.tif");
  const QByteArray firstBefore = Bytes(first);
  const QByteArray secondBefore = Bytes(second);
  dialogs.addAnswers.push_back(std::vector<std::string>{first, second});
  StopSignal stopSignal;
  environment.stopSignal = &stopSignal;
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);

  // Once the tool runs on its working copy, the system asks the program to end.
  int triesLeft = 3000;
  QStringList copiesWhileRunning;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!QFile::exists(started) && --triesLeft > 0) return;
    poll.stop();
    copiesWhileRunning = WorkingCopiesLeft();
    std::raise(SIGTERM);
  });
  poll.start();
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);

  EXPECT_FALSE(copiesWhileRunning.isEmpty());
  EXPECT_TRUE(stopSignal.Requested());
  EXPECT_TRUE(WorkingCopiesLeft().isEmpty()) << WorkingCopiesLeft().join(' ').toStdString();
  EXPECT_EQ(Bytes(first), firstBefore);
  EXPECT_EQ(Bytes(second), secondBefore);
  EXPECT_EQ(window.Files().Model().Status(0), StatusFailed);
  EXPECT_TRUE(window.Files().Model().Stopped(0));
  EXPECT_EQ(window.Files().Model().Status(1), StatusNone);  // never started
  EXPECT_FALSE(window.isVisible());
}

TEST_F(ConvStopTest, SignalOutsideABuildClosesTheWindowAtOnce) {
  for (const int signal : {SIGTERM, SIGHUP}) {
    StopSignal stopSignal;
    environment.stopSignal = &stopSignal;
    TFConv window(environment);
    window.show();
    std::raise(signal);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 5000)) << signal;
  }
  // Each signal's handling is given back when the watcher goes.
  struct sigaction now {};
  ::sigaction(SIGTERM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

TEST_F(ConvStopTest, HangUpIgnoredAtTheStartStaysIgnored) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction before {};
  ASSERT_EQ(::sigaction(SIGHUP, &ignore, &before), 0);
  {
    StopSignal stopSignal;
    environment.stopSignal = &stopSignal;
    TFConv window(environment);
    window.show();
    std::raise(SIGHUP);
    QCoreApplication::processEvents();
    EXPECT_FALSE(stopSignal.Requested());
    EXPECT_TRUE(window.isVisible());
  }
  struct sigaction now {};
  ::sigaction(SIGHUP, &before, &now);
  EXPECT_EQ(now.sa_handler, SIG_IGN);
}

}  // namespace
}  // namespace kelvory
