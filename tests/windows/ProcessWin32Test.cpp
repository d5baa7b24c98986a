// The tool runner's processes on Windows, with a MinGW-built stand-in for gdaladdo.exe.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>
#include <vector>

#include "WindowsTestSupport.h"
#include "platform/MemoryFile.h"
#include "platform/Process.h"
#include "pyramids/ToolOutcome.h"

namespace kelvory::wintest {
namespace {

using platform::MemoryFile;
using platform::Process;
using platform::WaitResult;

// Generous bounds: a test under Wine on a busy machine is slow, never stuck.
constexpr int EndBoundMs = 30000;

struct ToolRun {
  std::unique_ptr<MemoryFile> errors = [] {
    std::error_code error;
    auto file = MemoryFile::Create("errors", error);
    EXPECT_FALSE(error) << error.message();
    return file;
  }();
  Process process;
};

void Start(ToolRun& run, const std::string& tool, const std::vector<std::string>& arguments) {
  std::error_code error;
  run.process = Process::Start(tool, arguments, run.errors->Fd(), error);
  ASSERT_FALSE(error) << error.message();
  ASSERT_TRUE(run.process.Valid());
}

void WaitForEnd(ToolRun& run) {
  std::error_code error;
  ASSERT_EQ(run.process.Wait(EndBoundMs, error), WaitResult::Ended) << error.message();
}

std::string ErrorsOf(ToolRun& run) {
  std::string text(static_cast<std::size_t>(run.errors->Size()), '\0');
  run.errors->SetPosition(0);
  text.resize(run.errors->Read(text.data(), text.size()));
  return text;
}

TEST(ProcessWin32, ExitCodesComeBackAsTheToolGaveThem) {
  const struct {
    std::vector<std::string> arguments;
    int code;
  } cases[] = {
      {{"exit", "0"}, 0},
      {{"exit", "1"}, 1},
      {{"exit", "2"}, 2},
      {{"exit", "255"}, 255},
      {{"exit", "1000"}, 1000},
  };
  for (const auto& c : cases) {
    ToolRun run;
    Start(run, StandInTool(), c.arguments);
    WaitForEnd(run);
    EXPECT_FALSE(run.process.Exit().Signaled);
    EXPECT_EQ(run.process.Exit().Code, c.code);
    EXPECT_EQ(run.process.Exit().Success(), c.code == 0);
  }
}

TEST(ProcessWin32, AToolThatDiesEndsWithItsExceptionCode) {
  ToolRun run;
  Start(run, StandInTool(), {"crash"});
  WaitForEnd(run);
  EXPECT_FALSE(run.process.Exit().Success());
  EXPECT_EQ(static_cast<DWORD>(run.process.Exit().Code), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
}

// A Windows tool ends its lines with CR LF; the line that tells why it failed is the same.
TEST(ProcessWin32, ErrorOutputReachesTheMemoryFileAndItsErrorLineIsFound) {
  ToolRun run;
  Start(run, StandInTool(), {"error", "TIFFReadDirectory: Сбой чтения"});
  WaitForEnd(run);
  EXPECT_EQ(run.process.Exit().Code, 1);
  EXPECT_EQ(ErrorsOf(run), "ERROR 1: TIFFReadDirectory: Сбой чтения\r\n");
  EXPECT_EQ(MostTellingErrorLine(*run.errors), "ERROR 1: TIFFReadDirectory: Сбой чтения");
}

TEST(ProcessWin32, AMissingProgramIsAnErrorAtStart) {
  ScratchFolder scratch;
  std::error_code error;
  auto errors = MemoryFile::Create("errors", error);
  const Process process = Process::Start(scratch.File("gdal\\gdaladdo.exe"), {}, errors->Fd(), error);
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(process.Valid());
}

// Each argument reaches the tool exactly, whatever the quoting rules make of it.
TEST(ProcessWin32, AwkwardArgumentsAndAToolPathWithSpacesAndCyrillicLettersArriveUnchanged) {
  ScratchFolder scratch;
  const fs::path toolFolder = scratch.Path() / FromUtf8("Программы с пробелами") / "gdal";
  fs::create_directories(toolFolder);
  const std::string tool = Utf8(toolFolder / "gdaladdo.exe");
  fs::copy_file(FromUtf8(StandInTool()), FromUtf8(tool));
  const std::string listed = scratch.File("arguments.txt");
  const std::vector<std::string> awkward = {
      "",
      "plain",
      "two words",
      "C:\\Карты 2024\\снимок 1.tif",
      "trailing backslash\\",
      "trailing backslashes\\\\",
      "\\\\server\\share\\file.tif",
      "a \"quoted\" word",
      "\"",
      "backslash before quote\\\"",
      "tab\there",
      "  leading and trailing  ",
      "%PATH% ^&|<>",
      "-r",
      "average",
      "Ёжик в тумане.tiff",
  };
  std::vector<std::string> arguments = {"arguments", listed};
  arguments.insert(arguments.end(), awkward.begin(), awkward.end());
  ToolRun run;
  Start(run, tool, arguments);
  WaitForEnd(run);
  ASSERT_EQ(run.process.Exit().Code, 0) << ErrorsOf(run);
  std::istringstream lines(ReadText(listed));
  std::vector<std::string> received;
  for (std::string line; std::getline(lines, line);) received.push_back(line);
  EXPECT_EQ(received, awkward);
}

TEST(ProcessWin32, WaitAnyTellsOfTheFirstEndAndOfAWakeup) {
  ToolRun sleeper, quick;
  Start(sleeper, StandInTool(), {"sleep"});
  Start(quick, StandInTool(), {"exit", "0"});
  const Process* both[] = {&sleeper.process, &quick.process};
  std::error_code error;
  EXPECT_TRUE(platform::WaitAny(both, EndBoundMs, error)) << error.message();
  EXPECT_TRUE(quick.process.TryReap(error));

  const Process* onlySleeper[] = {&sleeper.process};
  platform::Wakeup wakeup;
  ASSERT_TRUE(wakeup.Valid());
  std::thread waker([&wakeup] { wakeup.Signal(); });
  EXPECT_FALSE(platform::WaitAny(onlySleeper, wakeup, EndBoundMs, error));
  waker.join();
  EXPECT_FALSE(error);
  EXPECT_EQ(sleeper.process.Wait(0, error), WaitResult::TimedOut);
}

TEST(ProcessWin32, StopEndsASleepingTool) {
  ToolRun run;
  Start(run, StandInTool(), {"sleep"});
  run.process.Stop(EndBoundMs);
  EXPECT_TRUE(run.process.Reaped());
  EXPECT_FALSE(run.process.Exit().Success());
}

// The runner is killed without a chance to clean up: the system ends its tool, since
// the job the tool runs in closes with the runner.
TEST(ProcessWin32, ToolsEndWhenTheRunnerIsKilled) {
  ScratchFolder scratch;
  const std::string pidFile = scratch.File("tool.pid");
  ToolRun runner;
  Start(runner, StandInTool(), {"start-sleeping", StandInTool(), pidFile});
  DWORD toolId = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(EndBoundMs);
  while (toolId == 0 && std::chrono::steady_clock::now() < deadline) {
    std::istringstream(ReadText(pidFile)) >> toolId;
    if (toolId == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_NE(toolId, 0u) << "the runner did not start its tool";
  const HANDLE tool = ::OpenProcess(SYNCHRONIZE, FALSE, toolId);
  ASSERT_NE(tool, nullptr);
  ASSERT_EQ(::WaitForSingleObject(tool, 0), static_cast<DWORD>(WAIT_TIMEOUT));

  ASSERT_FALSE(runner.process.Kill());
  WaitForEnd(runner);
  EXPECT_EQ(::WaitForSingleObject(tool, EndBoundMs), static_cast<DWORD>(WAIT_OBJECT_0));
  ::CloseHandle(tool);
}

}  // namespace
}  // namespace kelvory::wintest
