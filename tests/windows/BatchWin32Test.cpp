// kelvory-batch.exe as a user starts it, with the stand-in in gdal\gdaladdo.exe beside
// it and a hand-made TIFF in a folder with spaces and Cyrillic letters.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>
#include <vector>

#include "WindowsTestSupport.h"
#include "platform/MemoryFile.h"
#include "platform/Process.h"

namespace kelvory::wintest {
namespace {

struct BatchRun {
  int exitCode = -1;
  std::string output;
};

BatchRun RunBatch(const std::string& program, const std::vector<std::string>& arguments) {
  std::error_code error;
  auto output = platform::MemoryFile::Create("batch-output", error);
  EXPECT_FALSE(error);
  platform::Process process = platform::Process::Start(program, arguments, output->Fd(), output->Fd(), error);
  EXPECT_FALSE(error) << error.message();
  BatchRun run;
  if (process.Wait(60000, error) != platform::WaitResult::Ended) return run;
  run.exitCode = process.Exit().Code;
  run.output.resize(static_cast<std::size_t>(output->Size()));
  output->SetPosition(0);
  run.output.resize(output->Read(run.output.data(), run.output.size()));
  return run;
}

// kelvory-batch.exe with the stand-in as gdal\gdaladdo.exe beside it, in a scratch folder.
struct Installed {
  std::string batch, tool;
  explicit Installed(const ScratchFolder& scratch) {
    const fs::path programFolder = scratch.Path() / "Kelvory";
    fs::create_directories(programFolder / "gdal");
    batch = Utf8(programFolder / "kelvory-batch.exe");
    fs::copy_file(FromUtf8(platform::ProgramFolder() + "kelvory-batch.exe"), FromUtf8(batch));
    tool = Utf8(programFolder / "gdal" / "gdaladdo.exe");
    fs::copy_file(FromUtf8(StandInTool()), FromUtf8(tool));
  }
};

std::size_t EntriesIn(const fs::path& folder, const std::string& prefix = "") {
  std::size_t count = 0;
  for (const auto& entry : fs::directory_iterator(folder)) count += Utf8(entry.path().filename()).starts_with(prefix);
  return count;
}

TEST(BatchWin32, AFailingToolLeavesTheSourceAsItWasAndAMissingToolIsNamed) {
  ScratchFolder scratch;
  const Installed installed(scratch);
  const std::string& batch = installed.batch;
  const std::string& tool = installed.tool;
  fs::create_directories(scratch.Path() / FromUtf8("Карты 2024"));
  const std::string source = scratch.File("Карты 2024\\снимок 1.tif");
  const std::string missing = scratch.File("Карты 2024\\нет такого.tif");
  const std::string image = GreyTiff();
  WriteText(source, image);

  const BatchRun failed = RunBatch(batch, {source, missing});
  EXPECT_EQ(failed.exitCode, 1);
  // One line a file, in the order they settle.
  for (const std::string& line : {"failed: " + source + ": ERROR 1: the stand-in makes no overviews\r\n",
                                  "not found: " + missing + "\r\n"})
    EXPECT_NE(failed.output.find(line), std::string::npos) << failed.output;
  EXPECT_EQ(ReadText(source), image);
  EXPECT_EQ(EntriesIn(scratch.Path() / FromUtf8("Карты 2024")), 1u);

  fs::remove(FromUtf8(tool));
  const BatchRun noTool = RunBatch(batch, {source});
  EXPECT_EQ(noTool.exitCode, 2);
  EXPECT_NE(noTool.output.find("looked for " + tool), std::string::npos) << noTool.output;
  EXPECT_EQ(ReadText(source), image);
}

// Killed mid-build with no chance to clean up: the system ends its tool, the source is
// as it was, and the next run removes the working copy the killed one left.
TEST(BatchWin32, KilledMidBuildItsToolEndsTheSourceStaysAndTheNextRunClearsTheWorkingCopy) {
  ScratchFolder scratch;
  const Installed installed(scratch);
  const fs::path temp = scratch.Path() / "temp";
  fs::create_directories(temp);
  const std::string source = scratch.File("снимок.tif");
  const std::string image = GreyTiff();
  WriteText(source, image);
  const std::string pidFile = scratch.File("tool.pid");
  // Children inherit this environment: the batch command's temporary folder and the
  // stand-in's wish to wait.
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TMP", temp.wstring().c_str()));
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TEMP", temp.wstring().c_str()));
  ASSERT_TRUE(::SetEnvironmentVariableW(L"KELVORY_STAND_IN_PIDFILE", FromUtf8(pidFile).wstring().c_str()));

  std::error_code error;
  auto output = platform::MemoryFile::Create("batch-output", error);
  platform::Process batch = platform::Process::Start(installed.batch, {source}, output->Fd(), output->Fd(), error);
  ASSERT_FALSE(error) << error.message();
  DWORD toolId = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (toolId == 0 && std::chrono::steady_clock::now() < deadline) {
    std::istringstream(ReadText(pidFile)) >> toolId;
    if (toolId == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::SetEnvironmentVariableW(L"KELVORY_STAND_IN_PIDFILE", nullptr);
  ASSERT_NE(toolId, 0u) << "the tool did not start";
  const HANDLE tool = ::OpenProcess(SYNCHRONIZE, FALSE, toolId);
  ASSERT_NE(tool, nullptr);

  ASSERT_FALSE(batch.Kill());
  ASSERT_EQ(batch.Wait(60000, error), platform::WaitResult::Ended);
  EXPECT_EQ(::WaitForSingleObject(tool, 60000), static_cast<DWORD>(WAIT_OBJECT_0));
  ::CloseHandle(tool);
  EXPECT_EQ(ReadText(source), image);
  // The working copies; the tool's output files are the system's to delete.
  EXPECT_EQ(EntriesIn(temp, "kelvory"), 1u) << "the working copy is left";

  const BatchRun next = RunBatch(installed.batch, {source});
  EXPECT_EQ(next.exitCode, 1) << next.output;
  EXPECT_EQ(EntriesIn(temp, "kelvory"), 0u);
  EXPECT_EQ(ReadText(source), image);
  ::SetEnvironmentVariableW(L"TMP", nullptr);
  ::SetEnvironmentVariableW(L"TEMP", nullptr);
}

// Each program file says what it is (product, version, company, in Explorer's file
// properties), carries the manifest that makes it a Windows 10 and 11 program aware
// of long paths and of each monitor's DPI, and shows the pyramid icon.
TEST(BatchWin32, TheProgramsCarryTheirVersionManifestAndIcon) {
  for (const char* name : {"kelvory-batch.exe", "kelvory.exe"}) {
    SCOPED_TRACE(name);
    const std::wstring path = FromUtf8(platform::ProgramFolder() + name).wstring();
    if (name == std::string("kelvory.exe") && !fs::exists(path)) continue;  // a build without the window
    DWORD ignored = 0;
    std::vector<char> version(::GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    const auto text = [&version](const wchar_t* key) {
      wchar_t* value = nullptr;
      UINT length = 0;
      const std::wstring query = std::wstring(L"\\StringFileInfo\\041904B0\\") + key;
      if (!::VerQueryValueW(version.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) return std::string();
      return Utf8(fs::path(std::wstring(value)));
    };
    EXPECT_EQ(text(L"ProductName"), "Kelvory");
    EXPECT_EQ(text(L"ProductVersion"), KELVORY_VERSION);
    EXPECT_EQ(text(L"CompanyName"), "Varnok Company");
    EXPECT_NE(text(L"FileDescription").find("пирамид"), std::string::npos) << text(L"FileDescription");

    const HMODULE file = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(file, nullptr);
    const HRSRC found = ::FindResourceW(file, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // the manifest
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(file, found))),
                               ::SizeofResource(file, found));
    for (const char* part : {"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "<longPathAware", "PerMonitorV2"})
      EXPECT_NE(manifest.find(part), std::string::npos) << part;
    // The icon is drawn by the window's build.
    if (fs::exists(FromUtf8(platform::ProgramFolder() + "kelvory.exe"))) {
      EXPECT_NE(::FindResourceW(file, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)), nullptr) << "no icon";  // RT_GROUP_ICON
    }
    ::FreeLibrary(file);
  }
}

// In a console, what the command writes reads as it was meant: paths with Cyrillic
// letters intact whatever the console's code page, and the progress line's erase code
// carried out rather than printed.
TEST(BatchWin32, InAConsoleCyrillicPathsReadAsTheyAre) {
  ScratchFolder scratch;
  const Installed installed(scratch);
  fs::create_directories(scratch.Path() / FromUtf8("Карты 2024"));
  const std::string source = scratch.File("Карты 2024\\снимок 1.tif");
  WriteText(source, GreyTiff());
  // A console of the test's own, whatever it was started with.
  ::FreeConsole();
  ASSERT_TRUE(::AllocConsole());
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  const HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inherited, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(console, INVALID_HANDLE_VALUE);
  CONSOLE_SCREEN_BUFFER_INFO screen;
  ASSERT_TRUE(::GetConsoleScreenBufferInfo(console, &screen));
  DWORD written = 0;
  const std::wstring blank(static_cast<std::size_t>(screen.dwSize.X) * screen.dwSize.Y, L' ');
  ::FillConsoleOutputCharacterW(console, L' ', static_cast<DWORD>(blank.size()), {0, 0}, &written);
  ::SetConsoleCursorPosition(console, {0, 0});

  // Started as from a command prompt: attached to this console, writing to it.
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = startup.hStdError = console;
  std::wstring commandLine = L"\"" + FromUtf8(installed.batch).wstring() + L"\" \"" + FromUtf8(source).wstring() + L"\"";
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                               &started));
  EXPECT_EQ(::WaitForSingleObject(started.hProcess, 60000), static_cast<DWORD>(WAIT_OBJECT_0));
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);

  std::wstring text(blank.size(), L' ');
  DWORD read = 0;
  ASSERT_TRUE(::ReadConsoleOutputCharacterW(console, text.data(), static_cast<DWORD>(text.size()), {0, 0}, &read));
  ::CloseHandle(console);
  text.resize(read);
  EXPECT_NE(text.find(L"failed: " + FromUtf8(source).wstring()), std::wstring::npos) << Utf8(fs::path(text));
  EXPECT_EQ(text.find(L"[K"), std::wstring::npos) << Utf8(fs::path(text));
}

}  // namespace
}  // namespace kelvory::wintest
