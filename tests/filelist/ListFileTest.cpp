#include "filelist/ListFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "TempFolder.h"
#include "tests/filelist/ListFileLines.h"

namespace kelvory {
namespace {

using Lines = std::vector<std::string>;
using test::SplitListLines;
using test::WriteListFile;
using namespace std::string_literals;

TEST(SplitListLines, LineEndsNulAndSpaces) {
  const struct {
    std::string text;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\nb\r\nc\rd", {"a", "b", "c", "d"}},  // mixed, last line without an end
      {"a\r\r\nb", {"a", "", "b"}},            // CR then CR LF: an empty line between
      {"a\n\r", {"a", ""}},                    // LF CR is two ends, not one
      {"\r\n\r\n", {"", ""}},
      {"   \r\n", {"   "}},                    // spaces are a line of their own
      {" a \t\r\n", {" a \t"}},
      {"a\r\nb\0c\r\nd"s, {"a", "b"}},          // the text ends at the first NUL
      {"\0a"s, {}},
      {"\xEF\xBB\xBF" "a\r\n", {"a"}},                 // a leading byte-order mark is no part of a path
      {"a\r\n\xEF\xBB\xBF" "b", {"a", "\xEF\xBB\xBF" "b"}},  // elsewhere the bytes are the path's
  };
  for (const auto& c : cases) EXPECT_EQ(SplitListLines(c.text), c.lines) << testing::PrintToString(c.text);
}

TEST(ListFile, SaveThenReadGivesTheSameBytes) {
  test::TempFolder folder;
  const std::string path = folder / "list.txt";
  const Lines captions = {"C:\\\xCA\xE0\xF0\xF2\xFB\\map.tif", "/home/u/\xD0\xBA\xD0\xB0.tiff", "  ", "\xFF\xFE x"};
  WriteListFile(path, captions);
  EXPECT_EQ(test::ReadBytes(path), captions[0] + "\r\n" + captions[1] + "\r\n  \r\n" + captions[3] + "\r\n");
  EXPECT_EQ(ReadListFile(path), captions);

  WriteListFile(path, {});
  EXPECT_EQ(test::ReadBytes(path), "");
  EXPECT_EQ(ReadListFile(path), Lines{});
}

TEST(ListFile, OpenFailuresCarryPathAndReason) {
  test::TempFolder folder;
  const std::string missing = folder / "missing.txt";
  try {
    ReadListFile(missing);
    FAIL() << "no error";
  } catch (const EFOpenError& error) {
    EXPECT_STREQ(error.what(), ("Cannot open file \"" + missing + "\". No such file or directory").c_str());
  }

  // A writer holding the file locked keeps readers out.
  const std::string locked = folder / "locked.txt";
  test::WriteBytes(locked, "a\r\n");
  const int fd = ::open(locked.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  EXPECT_THROW(ReadListFile(locked), EFOpenError);
  ::close(fd);
  EXPECT_EQ(ReadListFile(locked), Lines{"a"});

  EXPECT_THROW(ReadListFile(folder.Path()), EFOpenError);
}

// A file whose reads end before its size (a failing disk, a file cut meanwhile) must not
// turn into a shorter list. A sysfs attribute stands in: it claims a page, gives a line.
TEST(ListFile, ReadEndingBeforeTheSizeIsAnOpenError) {
  const std::string shortRead = "/sys/devices/system/cpu/online";
  struct stat info {};
  if (::stat(shortRead.c_str(), &info) != 0 || info.st_size <= static_cast<off_t>(test::ReadBytes(shortRead).size())) {
    GTEST_SKIP() << "no file that reads short";
  }
  try {
    ReadListFile(shortRead);
    FAIL() << "no error";
  } catch (const EFOpenError& error) {
    EXPECT_STREQ(error.what(), ("Cannot open file \"" + shortRead + "\". Input/output error").c_str());
  }
}

TEST(ListFile, CreateFailuresWriteNothing) {
  test::TempFolder folder;
  const std::string inMissingFolder = folder / "no/list.txt";
  try {
    WriteListFile(inMissingFolder, {"a"});
    FAIL() << "no error";
  } catch (const EFCreateError& error) {
    EXPECT_STREQ(error.what(), ("Cannot create file \"" + inMissingFolder + "\". No such file or directory").c_str());
  }
  EXPECT_THROW(WriteListFile(folder.Path(), {"a"}), EFCreateError);
  EXPECT_EQ(folder.EntryCount(), 0u);
}

TEST(ListFile, FailedSaveKeepsTheOldFile) {
  test::TempFolder folder;
  const std::string path = folder / "list.txt";
  test::WriteBytes(path, "old\r\n");

  // A file size limit makes the writing itself fail half-way.
  struct rlimit saved {};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 8;
  ::setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_THROW(WriteListFile(path, {"a long path that does not fit", "b"}), EFCreateError);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(test::ReadBytes(path), "old\r\n");
  EXPECT_EQ(folder.EntryCount(), 1u);  // the new file is gone
}

TEST(ListFile, SaveKeepsPermissionsAndFollowsLinks) {
  test::TempFolder folder;
  const std::string path = folder / "list.txt";
  test::WriteBytes(path, "old\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  const std::string link = folder / "link.txt";
  ASSERT_EQ(::symlink("list.txt", link.c_str()), 0);

  WriteListFile(link, {"new"});
  struct stat info {};
  ASSERT_EQ(::lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(test::ReadBytes(path), "new\r\n");
  EXPECT_EQ(folder.EntryCount(), 2u);
}

TEST(ListFile, ReadOnlyFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  test::TempFolder folder;
  const std::string path = folder / "list.txt";
  test::WriteBytes(path, "old\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_THROW(WriteListFile(path, {"new"}), EFCreateError);
  EXPECT_EQ(test::ReadBytes(path), "old\r\n");
}

// Saving over a writable list in a folder that takes no new file writes it in place;
// a new list there still cannot be made.
TEST(ListFile, WritableFileInALockedFolderIsWrittenInPlace) {
  test::TempFolder folder;
  const std::string path = folder / "list.txt";
  test::WriteBytes(path, "old line that is longer\r\n");
  const auto save = [&] {
    int result = 0;
    try {
      WriteListFile(path, {"new"});
    } catch (const EFCreateError&) {
      result |= 1;
    }
    try {
      WriteListFile(folder / "other.txt", {"new"});
      result |= 2;
    } catch (const EFCreateError&) {
    }
    return result;
  };
  int result = 0;
  if (::geteuid() == 0) {
    // Root may write anywhere: the save runs as a user who owns only the file.
    constexpr uid_t Nobody = 65534;
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chown(path.c_str(), Nobody, Nobody), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (::setgid(Nobody) != 0 || ::setuid(Nobody) != 0) ::_exit(100);
      ::_exit(save());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    result = WEXITSTATUS(status);
  } else {
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0555), 0);
    result = save();
    ::chmod(folder.Path().c_str(), 0755);
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(test::ReadBytes(path), "new\r\n");
  EXPECT_EQ(folder.EntryCount(), 1u);
}

}  // namespace
}  // namespace kelvory
