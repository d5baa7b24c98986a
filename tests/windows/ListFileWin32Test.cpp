// List files on Windows: lists of the system's ANSI code page load as Unicode, and what
// Save writes loads back with every path unchanged.
#include <windows.h>

#include <gtest/gtest.h>

#include "WindowsTestSupport.h"
#include "filelist/FolderWalk.h"
#include "filelist/ListFile.h"
#include "platform/Files.h"
#include "tests/filelist/ListFileLines.h"

namespace kelvory::wintest {
namespace {

using kelvory::test::WriteListFile;

// path in the ANSI code page, or empty when a letter of it has no place there.
std::string InAnsiCodePage(const std::wstring& path) {
  BOOL lost = FALSE;
  const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, nullptr, 0, nullptr, &lost);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, out.data(), size, nullptr, &lost);
  out.resize(out.size() - 1);
  return lost ? std::string() : out;
}

TEST(ListFileWin32, AListInTheAnsiCodePageLoadsAsUnicode) {
  // A path with letters outside ASCII that the code page in use has.
  const std::wstring candidates[] = {L"C:\\Карты\\снимок 1.tif", L"C:\\Übersicht\\Café.tif"};
  for (const std::wstring& wide : candidates) {
    const std::string ansi = InAnsiCodePage(wide);
    if (ansi.empty()) continue;
    ScratchFolder scratch;
    const std::string list = scratch.File("old.lst");
    WriteText(list, ansi + "\r\nC:\\plain.tif\r\n");
    EXPECT_EQ(ReadListFile(list), (std::vector<std::string>{Utf8(fs::path(wide)), "C:\\plain.tif"}));
    return;
  }
  GTEST_SKIP() << "the ANSI code page " << ::GetACP() << " has none of the test's letters";
}

// Past MAX_PATH the C runtime's folder listing fails; the walk must not lose the file.
TEST(FolderWalkWin32, FindsAFileBelowAPathLongerThanMaxPath) {
  ScratchFolder scratch;
  const std::wstring top = fs::absolute(scratch.Path()).make_preferred().wstring();
  std::wstring deep = top;
  while (deep.size() < 300) {
    deep += L"\\" + std::wstring(60, L'd');
    ASSERT_TRUE(::CreateDirectoryW((LR"(\\?\)" + deep).c_str(), nullptr)) << ::GetLastError();
  }
  const std::wstring file = deep + L"\\a.tif";
  const HANDLE made = ::CreateFileW((LR"(\\?\)" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(made, INVALID_HANDLE_VALUE) << ::GetLastError();
  ::CloseHandle(made);
  const std::string expected = Utf8(fs::path(file));
  ASSERT_GT(expected.size(), 300u);

  std::error_code error;
  const FolderFiles found = TiffFilesBelow(Utf8(fs::path(top)), error);
  EXPECT_FALSE(error) << error.message();
  EXPECT_EQ(found.files, std::vector<std::string>{expected});
  for (const UnreadablePath& part : found.unreadable) ADD_FAILURE() << part.path << ": " << part.error.message();
  EXPECT_TRUE(platform::FileExists(expected));
  EXPECT_EQ(TiffFilesFor({expected}).files, std::vector<std::string>{expected});
}

TEST(ListFileWin32, SavedPathsLoadBackUnchanged) {
  ScratchFolder scratch;
  const std::string list = scratch.File("список.lst");
  const std::vector<std::string> paths = {"C:\\Карты 2024\\снимок 1.tif", "D:\\地図\\タイル.tif",
                                          "\\\\server\\share\\Ölfeld.tif", "C:\\plain.tif", ""};
  WriteListFile(list, paths);
  EXPECT_EQ(ReadListFile(list), paths);
}

}  // namespace
}  // namespace kelvory::wintest
