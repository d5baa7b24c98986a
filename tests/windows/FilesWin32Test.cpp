// Files, the reader's stream and temporary files on Windows, with paths in UTF-8.
#include <windows.h>
// windows.h makes these macros; the platform layer has functions of these names.
#undef CopyFile
#undef DeleteFile

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "WindowsTestSupport.h"
#include "platform/FileClaim.h"
#include "platform/FileStream.h"
#include "platform/Files.h"
#include "platform/ReplaceFile.h"
#include "platform/TempFile.h"
#include "pyramids/ReasonText.h"

namespace kelvory::wintest {
namespace {

std::wstring Wide(const std::string& utf8) { return FromUtf8(utf8).wstring(); }

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A handle held open by "another program" for the length of a test.
struct OpenHandle {
  HANDLE handle;
  OpenHandle(const std::string& path, DWORD access, DWORD share)
      : handle(::CreateFileW(Wide(path).c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~OpenHandle() {
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
};

// A reader, as "type" or a virus scanner opens a file, that lets go after a while. One
// that shares no writing keeps writers out; one that shares no deleting, renames.
class BriefReader {
 public:
  BriefReader(const std::string& path, DWORD share, milliseconds hold)
      : reader_(path, GENERIC_READ, share), closer_([this, hold] {
          std::this_thread::sleep_for(hold);
          ::CloseHandle(reader_.handle);
          reader_.handle = INVALID_HANDLE_VALUE;
        }) {
    EXPECT_NE(reader_.handle, INVALID_HANDLE_VALUE) << path;
  }
  ~BriefReader() { closer_.join(); }

 private:
  OpenHandle reader_;
  std::thread closer_;
};

// Windows' own English text for a Win32 error, as a reason shows it: without the full
// stop and line break that end it.
std::string WindowsText(DWORD code) {
  wchar_t text[512] = {};
  const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                   MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, 512, nullptr);
  std::wstring wide(text, n);
  while (!wide.empty() && (wide.back() == L'.' || wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' '))
    wide.pop_back();
  return Utf8(fs::path(wide));
}

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

TEST(FilesWin32, CopyingAFileOntoItselfUnderAnySpellingLeavesItUntouched) {
  ScratchFolder scratch;
  const std::string path = scratch.File("Снимок.tif");
  WriteText(path, "original");
  std::string forwardSlashes = path;
  std::replace(forwardSlashes.begin(), forwardSlashes.end(), '\\', '/');
  const std::string otherCase = scratch.File("СНИМОК.TIF");
  for (const std::string& spelling : {path, forwardSlashes, otherCase}) {
    EXPECT_TRUE(platform::SameFile(path, spelling)) << spelling;
    EXPECT_FALSE(platform::CopyFile(path, spelling)) << spelling;
    EXPECT_EQ(ReadText(path), "original");
  }
}

TEST(FilesWin32, CopyReplacesTheTargetAndStampsTellVersionsApart) {
  ScratchFolder scratch;
  const std::string from = scratch.File("from.tif"), to = scratch.File("to.tif");
  WriteText(from, "new bytes");
  WriteText(to, "old");
  std::error_code error;
  const platform::FileStamp before = platform::StampOf(to, error);
  ASSERT_FALSE(error);
  EXPECT_FALSE(platform::SameFile(from, to));
  ASSERT_FALSE(platform::CopyFile(from, to));
  EXPECT_EQ(ReadText(to), "new bytes");
  EXPECT_NE(platform::StampOf(to, error), before);
  EXPECT_TRUE(platform::SameFileSystem(to, scratch.File("")));
}

TEST(FilesWin32, TheReaderKeepsWritersOutAndAWriterKeepsTheReaderOut) {
  ScratchFolder scratch;
  const std::string path = scratch.File("image.tif");
  WriteText(path, "TIFF");
  {
    std::error_code error;
    auto stream = platform::FileStream::Open(path, error);
    ASSERT_TRUE(stream) << error.message();
    EXPECT_EQ(stream->Size(), 4u);
    OpenHandle secondReader(path, GENERIC_READ, FILE_SHARE_READ);
    EXPECT_NE(secondReader.handle, INVALID_HANDLE_VALUE);
    OpenHandle writer(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_EQ(writer.handle, INVALID_HANDLE_VALUE);
  }
  OpenHandle writer(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(writer.handle, INVALID_HANDLE_VALUE);
  std::error_code error;
  EXPECT_FALSE(platform::FileStream::Open(path, error));
  EXPECT_EQ(error, std::errc::device_or_resource_busy);
}

// A reader that lets go within a couple of seconds is waited out, by the claim and by
// the replace (a rename, or a write in place for a file with another hard link).
TEST(FilesWin32, AReaderThatLetsGoSoonIsWaitedOut) {
  ScratchFolder scratch;
  const std::string target = scratch.File("карта.tif"), staged = scratch.File("staged.tif");
  const std::string linked = scratch.File("linked.lst");
  WriteText(target, "old");
  WriteText(staged, "new");
  WriteText(linked, "old list");
  ASSERT_TRUE(::CreateHardLinkW(Wide(scratch.File("link.lst")).c_str(), Wide(linked).c_str(), nullptr));
  std::error_code error;
  platform::FileClaim claim;
  {
    BriefReader reader(target, FILE_SHARE_READ, milliseconds(300));
    claim = platform::FileClaim::Take(target, error);
  }
  ASSERT_TRUE(claim.Held()) << error.message();
  {
    // The claim writes, so only a reader that shares writing gets in beside it.
    BriefReader reader(target, FILE_SHARE_READ | FILE_SHARE_WRITE, milliseconds(300));
    EXPECT_FALSE(error = platform::Replace(staged, target)) << error.message();
  }
  EXPECT_EQ(ReadText(target), "new");
  {
    BriefReader reader(linked, FILE_SHARE_READ, milliseconds(300));
    EXPECT_FALSE(error = platform::ReplaceFileContents(linked, "new list")) << error.message();
  }
  EXPECT_EQ(ReadText(scratch.File("link.lst")), "new list");
}

// A reader that stays is waited for a bounded time; then the file is busy, in Windows'
// words, and nothing has changed.
TEST(FilesWin32, AReaderThatStaysMakesTheFileBusyAfterABoundedWait) {
  ScratchFolder scratch;
  const std::string target = scratch.File("карта.tif"), staged = scratch.File("staged.tif");
  WriteText(target, "old");
  WriteText(staged, "new");
  {
    std::error_code error;
    auto reader = platform::FileStream::Open(target, error);
    ASSERT_TRUE(reader);
    auto start = Clock::now();
    EXPECT_FALSE(platform::FileClaim::Take(target, error).Held());
    EXPECT_EQ(error, std::errc::device_or_resource_busy);
    EXPECT_EQ(error.message(), WindowsText(ERROR_SHARING_VIOLATION));
    EXPECT_GE(MillisecondsSince(start), 1000);
    EXPECT_LT(MillisecondsSince(start), 5000);
    start = Clock::now();
    error = platform::Replace(staged, target);
    EXPECT_EQ(error, std::errc::device_or_resource_busy) << error.message();
    EXPECT_GE(MillisecondsSince(start), 1000);
    EXPECT_LT(MillisecondsSince(start), 5000);
    EXPECT_EQ(ReadText(target), "old");
    EXPECT_EQ(ReadText(staged), "new");
  }
  ASSERT_FALSE(platform::Replace(staged, target));
  EXPECT_EQ(ReadText(target), "new");
  EXPECT_FALSE(platform::FileExists(staged));
}

// The claim holds the file open until its new version is in place: the replace goes
// through all the same, the new file is then free for the next claim, and nothing of
// the old one is left once the claim lets go.
TEST(FilesWin32, AClaimedFileIsReplacedWhileTheClaimHoldsIt) {
  ScratchFolder scratch;
  const std::string target = scratch.File("карта.tif"), staged = scratch.File("staged.tif");
  WriteText(target, "old");
  WriteText(staged, "new");
  std::error_code error;
  platform::FileClaim claim = platform::FileClaim::Take(target, error);
  ASSERT_TRUE(claim.Held()) << error.message();

  ASSERT_FALSE(platform::Replace(staged, target));
  EXPECT_EQ(ReadText(target), "new");
  EXPECT_FALSE(platform::FileExists(staged));
  EXPECT_TRUE(platform::FileClaim::Take(target, error).Held()) << error.message();
  claim.Release();
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.Path()), fs::directory_iterator()), 1);
}

TEST(FilesWin32, ReplacingContentsMakesOrReplacesTheWholeFile) {
  ScratchFolder scratch;
  const std::string path = scratch.File("список файлов.lst");
  ASSERT_FALSE(platform::ReplaceFileContents(path, "first\r\n"));
  EXPECT_EQ(ReadText(path), "first\r\n");
  ASSERT_FALSE(platform::ReplaceFileContents(path, "second\r\n"));
  EXPECT_EQ(ReadText(path), "second\r\n");
  ASSERT_TRUE(::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(platform::ReplaceFileContents(path, "third"), std::errc::permission_denied);
  EXPECT_EQ(ReadText(path), "second\r\n");
  ::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  // Nothing of the attempts is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.Path()), fs::directory_iterator()), 1);
}

TEST(FilesWin32, OrphanRemovalTakesOnlyFilesWhoseOwnerIsGone) {
  ScratchFolder scratch;
  const std::string folder = scratch.File("");
  std::error_code error;
  platform::TempFile live = platform::TempFile::Create(folder, "kelvory", error);
  ASSERT_FALSE(error) << error.message();
  ASSERT_TRUE(platform::FileExists(live.Path()));
  // A working copy can be written and renamed while it is marked.
  WriteText(live.Path(), "copy");
  const std::string orphan = scratch.File("kelvoryAb12Cd");
  const std::string stranger = scratch.File("kelvory-mine.tif");
  WriteText(orphan, "left by a run that died");
  WriteText(stranger, "not ours");

  EXPECT_EQ(platform::RemoveOrphans(folder, "kelvory"), 1);
  EXPECT_TRUE(platform::FileExists(live.Path()));
  EXPECT_FALSE(platform::FileExists(orphan));
  EXPECT_TRUE(platform::FileExists(stranger));

  const std::string livePath = live.Path();
  live.Remove();
  EXPECT_FALSE(platform::FileExists(livePath));
}

// A claim keeps a second claim out, but not the readers and copies of the file.
TEST(FilesWin32, AClaimKeepsOtherClaimsOutButNotReadersOrCopies) {
  ScratchFolder scratch;
  const std::string path = scratch.File("Карта.tif"), copy = scratch.File("copy.tif");
  WriteText(path, "pixels");
  std::error_code error;
  platform::FileClaim claim = platform::FileClaim::Take(path, error);
  ASSERT_FALSE(error) << error.message();
  ASSERT_TRUE(claim.Held());
  // Another claim is a build, not a moment's read: no waiting for it.
  const auto start = Clock::now();
  platform::FileClaim::Take(path, error);
  EXPECT_EQ(error, std::errc::device_or_resource_busy);
  EXPECT_LT(MillisecondsSince(start), 500);
  EXPECT_FALSE(platform::CopyFile(path, copy));
  EXPECT_EQ(ReadText(copy), "pixels");
  const auto contents = claim.Contents(error);
  ASSERT_TRUE(contents) << error.message();
  char bytes[6];
  EXPECT_EQ(contents->Read(bytes, sizeof bytes), sizeof bytes);
  claim.Release();
  EXPECT_TRUE(platform::FileClaim::Take(path, error).Held()) << error.message();
}

// A failing call's error reads as Windows says it, in the reasons too, and still
// compares equal to its portable condition.
TEST(FilesWin32, SystemErrorsSpeakWindowsWordsAndCompareAsTheirConditions) {
  ScratchFolder scratch;
  const std::string missing = scratch.File("нет.tif");
  std::error_code error;
  EXPECT_FALSE(platform::FileStream::Open(missing, error));
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  EXPECT_EQ(error.message(), WindowsText(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ReasonText(MakeReason(ReasonCode::CannotRead, {missing}, error), Language::English),
            "cannot read " + missing + ": " + WindowsText(ERROR_FILE_NOT_FOUND));

  const std::string readOnly = scratch.File("read-only.tif");
  WriteText(readOnly, "old");
  ASSERT_TRUE(::SetFileAttributesW(Wide(readOnly).c_str(), FILE_ATTRIBUTE_READONLY));
  error = platform::CheckWritable(readOnly);
  EXPECT_EQ(error, std::errc::permission_denied);
  EXPECT_EQ(error.message(), WindowsText(ERROR_ACCESS_DENIED));
  ::SetFileAttributesW(Wide(readOnly).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FilesWin32, PathPartsAcceptBothSeparators) {
  const struct {
    std::string path, folder, name;
  } cases[] = {
      {"C:\\Карты\\снимок.tif", "C:\\Карты\\", "снимок.tif"},
      {"C:/maps/a.tif", "C:/maps/", "a.tif"},
      {"\\\\server\\share\\a.tif", "\\\\server\\share\\", "a.tif"},
      {"a.tif", "./", "a.tif"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::FolderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(platform::FileNameOf(c.path), c.name) << c.path;
  }
  EXPECT_TRUE(platform::FileExists(platform::ProgramPath()));
  EXPECT_EQ(platform::TempFolder().back(), '\\');
}

}  // namespace
}  // namespace kelvory::wintest
