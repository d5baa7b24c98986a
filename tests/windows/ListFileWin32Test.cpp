// List files on Windows: lists of the system's ANSI code page load as Unicode, and what
// Save writes loads back with every path unchanged.
#include <windows.h>

#include <gtest/gtest.h>

#include "WindowsTestSupport.h"
#include "filelist/ListFile.h"

namespace kelvory::wintest {
namespace {

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
