// The window on Windows, with the stand-in as gdal\gdaladdo.exe in a program folder of
// the test's own: paths with spaces and Cyrillic letters as Windows writes them, a
// tool's failure in the row, and the stop ending the tool.
#include <windows.h>

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <sstream>

#include "WindowsTestSupport.h"
#include "app/Conv.h"
#include "app/FileListView.h"
#include "filelist/FileList.h"
#include "tests/app/WindowControls.h"
#include "tests/app/WindowTestSupport.h"

namespace kelvory::wintest {
namespace {

using test::Controls;

// A variable of the environment, empty when it is not set.
std::wstring Environment(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value != nullptr ? value : L"";
}

class WindowWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path programFolder = scratch.Path() / "Kelvory";
    fs::create_directories(programFolder / "gdal");
    fs::copy_file(FromUtf8(StandInTool()), programFolder / "gdal" / "gdaladdo.exe");
    fs::create_directories(temp);
    // Working copies go to the test's own temporary folder.
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TMP", temp.wstring().c_str()));
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TEMP", temp.wstring().c_str()));
    environment.listDialogs = &dialogs;
    environment.openUrl = [](const QUrl&) {};
    environment.programFolder = Utf8(programFolder) + "\\";
    environment.slotCount = 2;
    fs::create_directories(scratch.Path() / FromUtf8("Карты 2024"));
    WriteText(source, image);
  }
  void TearDown() override {
    // The scratch folder's removal asks after every file in it, the tool's output files
    // too: they must be gone first (see LeftBehind).
    static_cast<void>(LeftBehind());
    ::SetEnvironmentVariableW(L"KELVORY_STAND_IN_PIDFILE", nullptr);
    ::SetEnvironmentVariableW(L"TMP", oldTmp.c_str());
    ::SetEnvironmentVariableW(L"TEMP", oldTemp.c_str());
    ::SetEnvironmentVariableW(L"PATH", oldPath.c_str());
  }

  // What is left in the temporary folder and beside the source, but the source. The
  // tool's output files go with their last handle, and Wine closes an ended tool's
  // handles a moment after its end is seen: a few seconds are allowed for that.
  std::string LeftBehind() const {
    std::string found = WorkingCopies();
    for (int triesLeft = 250; !found.empty() && triesLeft > 0; --triesLeft) {
      QTest::qWait(20);
      found = WorkingCopies();
    }
    return found;
  }
  // Listed by name only: under Wine, asking for the attributes of a file whose delete
  // is pending can hang.
  std::string WorkingCopies() const {
    std::string found;
    for (const fs::path& folder : {temp, scratch.Path() / FromUtf8("Карты 2024")}) {
      WIN32_FIND_DATAW entry;
      const HANDLE search = ::FindFirstFileW((folder / "*").wstring().c_str(), &entry);
      if (search == INVALID_HANDLE_VALUE) continue;
      do {
        const fs::path path = folder / entry.cFileName;
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L".." && Utf8(path) != source) found += Utf8(path) + ' ';
      } while (::FindNextFileW(search, &entry));
      ::FindClose(search);
    }
    return found;
  }

  const std::wstring oldTmp = Environment(L"TMP"), oldTemp = Environment(L"TEMP"), oldPath = Environment(L"PATH");
  ScratchFolder scratch;
  const fs::path temp = scratch.Path() / "temp";
  const std::string source = scratch.File("Карты 2024\\снимок 1.tif");
  const std::string image = GreyTiff();
  test::AnsweringListDialogs dialogs;
  ConvEnvironment environment;
};

TEST_F(WindowWin32Test, AFailingToolFailsTheRowWithItsErrorAndTheFileStaysAsItWas) {
  dialogs.addAnswers.push_back(std::vector<std::string>{source});
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  ASSERT_EQ(window.Files().Model().rowCount(), 1);
  EXPECT_EQ(window.Files().Model().index(0).data(Qt::DisplayRole).toString(),
            QString::fromStdWString(FromUtf8(source).wstring()));

  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);
  EXPECT_EQ(window.Files().Model().Status(0), StatusFailed);
  EXPECT_NE(window.Files().Model().Reason(0).find("ERROR 1: the stand-in makes no overviews"), std::string::npos)
      << window.Files().Model().Reason(0);
  EXPECT_EQ(ReadText(source), image);
  EXPECT_EQ(LeftBehind(), "");
}

TEST_F(WindowWin32Test, WithNoToolBesideTheProgramTheOneOnThePathRuns) {
  const fs::path gdalBin = scratch.Path() / "OSGeo4W" / "bin";
  fs::create_directories(gdalBin);
  fs::rename(scratch.Path() / "Kelvory" / "gdal" / "gdaladdo.exe", gdalBin / "gdaladdo.exe");
  ASSERT_TRUE(::SetEnvironmentVariableW(L"PATH", (gdalBin.wstring() + L";" + oldPath).c_str()));
  dialogs.addAnswers.push_back(std::vector<std::string>{source});
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);
  bool toolMissingShown = false;  // a box would hold the build up: it is closed
  test::AnswerNextModal([&](QWidget*) { toolMissingShown = true; });
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);

  EXPECT_FALSE(toolMissingShown);

  EXPECT_EQ(window.Files().Model().Status(0), StatusFailed);  // the stand-in ran and failed
  EXPECT_NE(window.Files().Model().Reason(0).find("the stand-in makes no overviews"), std::string::npos)
      << window.Files().Model().Reason(0);
  EXPECT_EQ(ReadText(source), image);
}

TEST_F(WindowWin32Test, StopFromTheKeyboardEndsTheToolAndKeepsTheWindow) {
  const std::string pidFile = scratch.File("tool.pid");
  ASSERT_TRUE(::SetEnvironmentVariableW(L"KELVORY_STAND_IN_PIDFILE", FromUtf8(pidFile).wstring().c_str()));
  dialogs.addAnswers.push_back(std::vector<std::string>{source});
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);

  // Once the tool runs, the user presses Ctrl+. on the list.
  DWORD toolId = 0;
  int triesLeft = 6000;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    std::istringstream(ReadText(pidFile)) >> toolId;
    if (toolId == 0 && --triesLeft > 0) return;
    poll.stop();
    QTest::keyClick(Controls(window).ListView_Files, Qt::Key_Period, Qt::ControlModifier);
  });
  poll.start();
  QTest::mouseClick(Controls(window).Button_Build, Qt::LeftButton);

  ASSERT_NE(toolId, 0u) << "the tool did not start";
  const HANDLE tool = ::OpenProcess(SYNCHRONIZE, FALSE, toolId);
  if (tool != nullptr) {
    EXPECT_EQ(::WaitForSingleObject(tool, 10000), WAIT_OBJECT_0) << "the tool outlived the stop";
    ::CloseHandle(tool);
  }
  EXPECT_EQ(window.Files().Model().Status(0), StatusFailed);
  EXPECT_TRUE(window.Files().Model().Stopped(0));
  EXPECT_EQ(ReadText(source), image);
  EXPECT_EQ(LeftBehind(), "");
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.Building());
}

}  // namespace
}  // namespace kelvory::wintest
