#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <sstream>

#include "FakeBuild.h"
#include "Scratch.h"
#include "pyramids/BuildRun.h"
#include "platform/Files.h"
#include "tiff/TIFFBitmap.h"

namespace kelvory::test {
namespace {

int ReaderDirectories(const std::string& path) {
  TTIFFBitmap bitmap;
  bitmap.LoadFromFile(path);
  return bitmap.DirectoryCount();
}

// The overview sizes gdalinfo reports for band 1, e.g. "400x500, 200x250, 100x125".
std::string GdalOverviews(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(("timeout 60 gdalinfo " + Quoted(path)).c_str(), "r"), ::pclose);
  std::string text;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe.get())) text += buffer;
  const auto at = text.find("Overviews: ");
  if (at == std::string::npos) return {};
  return text.substr(at + 11, text.find('\n', at) - at - 11);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Every tool process the build started has been reaped.
bool NoChildLeft() { return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

// A hand-made classic TIFF with one grey directory of the given size, or none.
std::string TinyTiff(bool withDirectory, std::uint32_t width = 1, std::uint32_t height = 1) {
  auto u16 = [](std::string& s, unsigned v) { s += char(v & 0xff); s += char(v >> 8 & 0xff); };
  auto u32 = [&](std::string& s, std::uint32_t v) { u16(s, v & 0xffff); u16(s, v >> 16); };
  std::string s = "II";
  u16(s, 42);
  if (!withDirectory) {
    u32(s, 0);
    return s;
  }
  u32(s, 8);
  u16(s, 3);
  for (auto [tag, type, value] : {std::tuple{256u, 4u, width}, std::tuple{257u, 4u, height}, std::tuple{262u, 3u, 1u}}) {
    u16(s, tag);
    u16(s, type);
    u32(s, 1);
    u32(s, value);
  }
  u32(s, 0);
  return s;
}

// Lowers this process's file size limit on demand and restores it on the way out; a
// write past the limit then fails with EFBIG instead of ending the test.
class FileSizeLimit {
 public:
  FileSizeLimit() : oldHandler_(std::signal(SIGXFSZ, SIG_IGN)) { ::getrlimit(RLIMIT_FSIZE, &original_); }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &original_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  void Lower(rlim_t bytes) const {
    rlimit limited = original_;
    limited.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }

 private:
  void (*oldHandler_)(int);
  rlimit original_{};
};

struct RowOutcome {
  int Status = -1;
  std::string Reason;
};

// Builds one row as a user for whom permission bits count: a test run by root gives
// the whole scratch tree to nobody and builds in a child that drops to that user.
RowOutcome BuildAsUnprivileged(const std::string& root, const std::string& program, const std::string& path) {
  constexpr uid_t Nobody = 65534;
  const bool asRoot = ::geteuid() == 0;
  if (asRoot) {
    ::lchown(root.c_str(), Nobody, Nobody);
    for (const auto& e : fs::recursive_directory_iterator(root)) ::lchown(e.path().c_str(), Nobody, Nobody);
  }
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    ::alarm(60);
    if (asRoot && (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0)) ::_exit(2);
    FakeHost h;
    h.Folder = program;
    h.AddRows({path});
    RunBuild(h);
    const std::string out = std::to_string(static_cast<int>(h.Rows[0].Status)) + "\n" + h.ReasonFor(0);
    const bool written = ::write(fds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
    ::_exit(written ? 0 : 3);
  }
  ::close(fds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  const auto newline = text.find('\n');
  return {std::stoi(text.substr(0, newline)), text.substr(newline + 1)};
}

class BuildRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override { host.Folder = scratch.Program(); }

  void ExpectNothingLeftRunning() const { EXPECT_TRUE(NoChildLeft()); }

  Scratch scratch;
  FakeHost host;
};

TEST_F(BuildRunnerTest, RealToolReplacesSourceInPlaceKeepingItsPermissions) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseRealTool();
  const std::string path = scratch.MakeTiff("a.tif", 800, 1000);
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(ReaderDirectories(path), 1);
  host.AddRows({path});

  RunBuild(host);

  EXPECT_EQ(host.Rows[0].Status, StatusDone) << host.ReasonFor(0);
  EXPECT_FALSE(host.Rows[0].Checked);
  EXPECT_EQ(ReaderDirectories(path), 4);
  EXPECT_EQ(GdalOverviews(path), "400x500, 200x250, 100x125");
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(scratch.TmpEntries().empty());
  EXPECT_EQ(FolderEntries(scratch.Data()), std::vector<std::string>{"a.tif"});
  ExpectNothingLeftRunning();
}

TEST_F(BuildRunnerTest, WorkingCopyOnAnotherFilesystemIsCopiedBesideTheSourceFirst) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  const std::string otherTmp = scratch.UseTmpOnAnotherFilesystem();
  if (otherTmp.empty()) GTEST_SKIP() << "no second filesystem";
  scratch.UseRealTool();
  const std::string path = scratch.MakeTiff("a.tif", 300, 300);
  host.AddRows({path});

  RunBuild(host);

  EXPECT_EQ(host.Rows[0].Status, StatusDone) << host.ReasonFor(0);
  EXPECT_EQ(ReaderDirectories(path), 3);
  EXPECT_TRUE(fs::is_empty(otherTmp));
  EXPECT_EQ(FolderEntries(scratch.Data()), std::vector<std::string>{"a.tif"});
}

// The copy beside the source is cut short by a file size limit that the tool, started
// before it was set, does not have.
TEST_F(BuildRunnerTest, FailedCopyBackLeavesSourceWholeAndNoPartialFile) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  const std::string otherTmp = scratch.UseTmpOnAnotherFilesystem();
  if (otherTmp.empty()) GTEST_SKIP() << "no second filesystem";
  const std::string toolDone = scratch.Data() + "../tool-done";
  scratch.UseFakeTool(Scratch::RealToolCall() + " && head -c 400000 /dev/zero >> \"$1\" && touch '" + toolDone +
                      "'; sleep 0.3");
  const std::string path = scratch.MakeTiff("a.tif", 300, 300);
  const std::string before = ReadBytes(path);
  host.AddRows({path});
  FileSizeLimit limit;
  // Once the tool has written its big result, no file may grow that large.
  host.OnMessages = [&](FakeHost&) {
    if (fs::exists(toolDone)) limit.Lower(200000);
  };

  RunBuild(host);

  EXPECT_EQ(host.Rows[0].Status, StatusFailed);
  EXPECT_NE(host.ReasonFor(0).find("cannot replace"), std::string::npos) << host.ReasonFor(0);
  EXPECT_TRUE(ReadBytes(path) == before);
  EXPECT_EQ(FolderEntries(scratch.Data()), std::vector<std::string>{"a.tif"});
  EXPECT_TRUE(fs::is_empty(otherTmp));
}

TEST_F(BuildRunnerTest, RealToolWithDestinationLeavesSourceAlone) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseRealTool();
  const std::string path = scratch.MakeTiff("a.tif", 1000, 800);
  const std::string before = ReadBytes(path);
  host.Dest = scratch.Data() + "out";
  fs::create_directory(host.Dest);
  host.AddRows({path});

  RunBuild(host);

  EXPECT_EQ(host.Rows[0].Status, StatusDone) << host.ReasonFor(0);
  EXPECT_TRUE(ReadBytes(path) == before);
  EXPECT_EQ(ReaderDirectories(host.Dest + "/a.tif"), 4);
  EXPECT_EQ(GdalOverviews(host.Dest + "/a.tif"), "500x400, 250x200, 125x100");
  EXPECT_EQ(FolderEntries(host.Dest), (std::vector<std::string>{".a.tif.kelvory-stamp", "a.tif"}));
  EXPECT_TRUE(scratch.TmpEntries().empty());
}

TEST_F(BuildRunnerTest, DestinationThatIsTheSourceFolderNeverCopiesAFileOntoItself) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseRealTool();
  const std::string small = scratch.MakeTiff("small.tif", 200, 200);  // one level is enough
  const std::string large = scratch.MakeTiff("large.tif", 800, 800);
  const std::string smallBefore = ReadBytes(small);
  host.Dest = scratch.Data().substr(0, scratch.Data().size() - 1);
  host.AddRows({small, large});

  RunBuild(host);

  EXPECT_EQ(host.Rows[0].Status, StatusDone) << host.ReasonFor(0);
  EXPECT_EQ(host.Rows[1].Status, StatusDone) << host.ReasonFor(1);
  EXPECT_TRUE(ReadBytes(small) == smallBefore);
  EXPECT_EQ(ReaderDirectories(large), 4);
  EXPECT_EQ(FolderEntries(scratch.Data()), (std::vector<std::string>{"large.tif", "small.tif"}));
}

TEST_F(BuildRunnerTest, DestinationThatIsTheSourceThroughALinkProcessesTheLinkedFile) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseRealTool();
  fs::create_directory(scratch.Data() + "real");
  fs::create_directory(scratch.Data() + "links");
  const std::string real = scratch.MakeTiff("real/x.tif", 300, 300);
  const std::string link = scratch.Data() + "links/x.tif";
  fs::create_symlink("../real/x.tif", link);
  host.Dest = scratch.Data() + "links";
  host.AddRows({link});

  RunBuild(host);

  EXPECT_EQ(host.Rows[0].Status, StatusDone) << host.ReasonFor(0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReaderDirectories(real), 3);
  EXPECT_EQ(FolderEntries(scratch.Data() + "links"), std::vector<std::string>{"x.tif"});
  EXPECT_TRUE(scratch.TmpEntries().empty());
}

TEST_F(BuildRunnerTest, RowsSettledWithoutTool) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseFakeTool("exit 1");  // any launch would fail the row
  const std::string enough = scratch.MakeTiff("enough.tif", 282, 5000);
  const std::string enoughBefore = ReadBytes(enough);
  const std::string missing = scratch.Data() + "missing.tif";
  const std::string notTiff = scratch.Data() + "note.tif";
  WriteBytes(notTiff, "just some text");
  const std::string noDirectory = scratch.Data() + "empty.tif";
  WriteBytes(noDirectory, TinyTiff(false));
  const std::string huge = scratch.Data() + "huge.tif";
  WriteBytes(huge, TinyTiff(true, 150000000, 150000000));  // 21 levels
  const std::string zero = scratch.Data() + "zero.tif";
  WriteBytes(zero, TinyTiff(true, 0, 800));
  host.AddRows({enough, missing, notTiff, noDirectory, huge, zero});

  RunBuild(host);

  EXPECT_EQ(host.Rows[0].Status, StatusDone);
  EXPECT_TRUE(ReadBytes(enough) == enoughBefore);
  EXPECT_EQ(host.Rows[1].Status, StatusNotFound);
  EXPECT_EQ(host.Rows[2].Status, StatusFailed);
  EXPECT_EQ(host.ReasonFor(2), "unsupported file type");
  for (int row = 3; row < 6; ++row) {
    EXPECT_EQ(host.Rows[row].Status, StatusFailed) << row;
    EXPECT_FALSE(host.ReasonFor(row).empty()) << row;
  }
  EXPECT_EQ(host.SettledOrder(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  for (const auto& row : host.Rows) EXPECT_FALSE(row.Checked);
  EXPECT_TRUE(scratch.TmpEntries().empty());
  ExpectNothingLeftRunning();
}

TEST_F(BuildRunnerTest, EnoughLevelsWithDestinationIsCopiedThere) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseFakeTool("exit 1");
  const std::string enough = scratch.MakeTiff("enough.tif", 140, 140);
  host.Dest = scratch.Data() + "out";
  fs::create_directory(host.Dest);
  WriteBytes(host.Dest + "/enough.tif", "older file of that name");
  host.AddRows({enough});

  RunBuild(host);

  EXPECT_EQ(host.Rows[0].Status, StatusDone) << host.ReasonFor(0);
  EXPECT_TRUE(ReadBytes(host.Dest + "/enough.tif") == ReadBytes(enough));
  EXPECT_EQ(FolderEntries(host.Dest), (std::vector<std::string>{".enough.tif.kelvory-stamp", "enough.tif"}));
}

// Each failing tool first spoils its working copy, so a copy-back would show.
TEST_F(BuildRunnerTest, FailingToolLeavesSourceAndDestinationUntouched) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  struct Case {
    const char* body;
    const char* reason;
  };
  const Case cases[] = {
      {"echo spoiled >> \"$1\"; exit 1", "gdaladdo exited with status 1"},
      {"echo spoiled >> \"$1\"; kill -9 $$", "gdaladdo was killed by signal 9"},
      {"echo spoiled >> \"$1\"; echo 'ERROR 1: first' >&2; echo 'ERROR 4: last one' >&2; echo note >&2; exit 0",
       "ERROR 1: first"},
      // A full disk is the root cause, whatever was said before it; %f is the folder.
      {"echo spoiled >> \"$1\"; echo 'ERROR 1: IReadBlock failed' >&2; "
       "echo 'ERROR 3: tmp.tif: No space left on device' >&2; exit 1",
       "no space left on device in %f (gdaladdo: ERROR 3: tmp.tif: No space left on device)"},
  };
  for (const Case& c : cases) {
    for (const bool withDest : {false, true}) {
      SCOPED_TRACE(std::string(c.body) + (withDest ? " with destination" : " in place"));
      Scratch s;
      FakeHost h;
      h.Folder = s.Program();
      s.UseFakeTool(c.body);
      const std::string path = s.MakeTiff("a.tif", 800, 800);
      const std::string before = ReadBytes(path);
      if (withDest) {
        h.Dest = s.Data() + "out";
        fs::create_directory(h.Dest);
        WriteBytes(h.Dest + "/a.tif", "kept");
      }
      h.AddRows({path});

      RunBuild(h);

      EXPECT_EQ(h.Rows[0].Status, StatusFailed);
      std::string reason = c.reason;
      if (const auto at = reason.find("%f"); at != std::string::npos) reason.replace(at, 2, withDest ? h.Dest : s.Tmp());
      EXPECT_EQ(h.ReasonFor(0), reason);
      EXPECT_TRUE(ReadBytes(path) == before);
      EXPECT_TRUE(s.TmpEntries().empty());
      if (withDest) {
        EXPECT_EQ(FolderEntries(h.Dest), std::vector<std::string>{"a.tif"});
        EXPECT_TRUE(ReadBytes(h.Dest + "/a.tif") == "kept");
      }
    }
  }
}

// The tool fills the filesystem that holds the temporary folder, as gdaladdo does when
// it runs out of space, then reports the error and exits 0 as gdaladdo does.
TEST_F(BuildRunnerTest, ToolErrorsSurviveAFullTemporaryFolder) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  const std::string small = scratch.UseSmallTmp("1m");
  if (small.empty()) GTEST_SKIP() << "cannot mount a tmpfs here";
  scratch.UseFakeTool("head -c 8M /dev/zero >> \"$1\"; echo 'ERROR 1: No space left on device' >&2; exit 0");
  const std::string path = scratch.MakeTiff("a.tif", 300, 300);
  const std::string before = ReadBytes(path);
  host.AddRows({path});

  RunBuild(host);

  EXPECT_EQ(host.Rows[0].Status, StatusFailed);
  EXPECT_EQ(host.ReasonFor(0), "no space left on device in " + small + " (gdaladdo: ERROR 1: No space left on device)");
  EXPECT_TRUE(ReadBytes(path) == before);
  EXPECT_TRUE(fs::is_empty(small));
  ExpectNothingLeftRunning();
}

// A full disk names itself and the folder that filled, whichever way the levels were
// written: into a working copy in the temporary folder, into the copy in a destination
// folder, or beside the file to be appended to it. The tool fills the filesystem of the
// file it is given and then runs the real gdaladdo, which finds no room.
TEST_F(BuildRunnerTest, AFullDiskNamesItselfAndWhere) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseFakeTool("for a; do [ -f \"$a\" ] && f=$a; done; head -c 64M /dev/zero > \"$(dirname \"$f\")/filler\"; exec " +
                      Scratch::RealToolCall());
  for (const char* way : {"working copy", "destination", "append"}) {
    SCOPED_TRACE(way);
    const std::string small = scratch.MountSmall("4m");
    if (small.empty()) GTEST_SKIP() << "cannot mount a tmpfs here";
    FakeHost h;
    h.Folder = scratch.Program();
    std::string path = scratch.MakeTiff("a.tif", 300, 300);
    if (way == std::string("working copy")) h.Options.TempFolder = small;
    if (way == std::string("destination")) h.Dest = small;
    if (way == std::string("append")) {
      fs::copy_file(path, small + "/a.tif");
      path = small + "/a.tif";
      h.Options.AppendLevelsFrom = 0;
      // Nearest levels of an uncompressed file keep the working copy.
      h.Options.Method = Resampling::Average;
    }
    const std::string before = ReadBytes(path);
    h.AddRows({path});

    RunBuild(h);

    EXPECT_EQ(h.Rows[0].Status, StatusFailed);
    EXPECT_EQ(h.ReasonFor(0).rfind("no space left on device in " + small + " (gdaladdo: ERROR ", 0), 0u) << h.ReasonFor(0);
    EXPECT_TRUE(ReadBytes(path) == before);
  }
}

// Whatever made the tool's errors go missing, a run that claims success but leaves the
// working copy short of levels (800 x 1000 needs four directories) is not put in place.
TEST_F(BuildRunnerTest, ToolThatReportsSuccessWithoutTheLevelsFails) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  const std::string path = scratch.MakeTiff("a.tif", 800, 1000);
  const std::string before = ReadBytes(path);
  const std::string dest = scratch.Data() + "out";
  fs::create_directory(dest);
  const std::string tools[] = {
      "exit 0",
      Quoted(KELVORY_GDALADDO_PATH) + " \"$1\" 2",  // one level of three
      "echo spoiled > \"$1\"",                       // no longer a TIFF
  };
  for (const std::string& tool : tools) {
    for (const bool withDest : {false, true}) {
      SCOPED_TRACE(tool + (withDest ? " with destination" : " in place"));
      scratch.UseFakeTool(tool);
      FakeHost h;
      h.Folder = scratch.Program();
      if (withDest) h.Dest = dest;
      h.AddRows({path});

      RunBuild(h);

      EXPECT_EQ(h.Rows[0].Status, StatusFailed);
      EXPECT_EQ(h.ReasonFor(0).rfind("gdaladdo did not add the overview levels", 0), 0u) << h.ReasonFor(0);
      EXPECT_TRUE(ReadBytes(path) == before);
      EXPECT_TRUE(fs::is_empty(dest));
      EXPECT_TRUE(scratch.TmpEntries().empty());
      fs::remove(scratch.ToolPath());
    }
  }
}

// gdaladdo names the file it was given, which is a working copy the user never saw.
TEST_F(BuildRunnerTest, FailureReasonNamesTheUsersFileNotTheWorkingCopy) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseFakeTool("echo \"ERROR 1: $1, band 1: IReadBlock failed at $1\" >&2; exit 0");
  const std::string path = scratch.MakeTiff("a.tif", 300, 300);
  const std::string dest = scratch.Data() + "out";
  fs::create_directory(dest);
  for (const bool withDest : {false, true}) {
    SCOPED_TRACE(withDest ? "with destination" : "in place");
    FakeHost h;
    h.Folder = scratch.Program();
    if (withDest) h.Dest = dest;
    h.AddRows({path});

    RunBuild(h);

    EXPECT_EQ(h.Rows[0].Status, StatusFailed);
    EXPECT_EQ(h.ReasonFor(0), "ERROR 1: " + path + ", band 1: IReadBlock failed at " + path);
  }
}

// The source is replaced by a rename in its folder: a file or folder the user may not
// write is refused before any copy is made or any tool runs.
TEST_F(BuildRunnerTest, InPlaceJobOnAFileTheUserCannotReplaceFailsAtOnce) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  const std::string marker = scratch.Program() + "tool-ran";
  scratch.UseFakeTool("touch " + Quoted(marker) + "; exec " + Scratch::RealToolCall());
  struct Case {
    const char* name;
    fs::perms file, folder;
    std::string reasonStart;
  };
  const std::string folder = scratch.Data() + "in";
  const std::string path = folder + "/a.tif";
  const fs::perms rwx = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec;
  const fs::perms rx = rwx & ~fs::perms::owner_write;
  const fs::perms r = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  const fs::perms rw = r | fs::perms::owner_write;
  const Case cases[] = {
      {"read-only file", r, rwx, path + " is read-only"},
      {"read-only folder", rw, rx, "cannot write to the folder " + folder + ": "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::create_directory(folder);
    fs::rename(scratch.MakeTiff("a.tif", 300, 300), path);
    const std::string before = ReadBytes(path);
    fs::permissions(path, c.file);
    fs::permissions(folder, c.folder);

    const RowOutcome outcome = BuildAsUnprivileged(scratch.Data() + "..", scratch.Program(), path);

    fs::permissions(folder, rwx);
    EXPECT_EQ(outcome.Status, StatusFailed);
    EXPECT_EQ(outcome.Reason.rfind(c.reasonStart, 0), 0u) << outcome.Reason;
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_TRUE(ReadBytes(path) == before);
    EXPECT_TRUE(scratch.TmpEntries().empty());
    fs::remove_all(folder);
  }
}

// Permission bits that let nobody write mark a file read-only even for root, who
// passes every access check: such a file is never replaced in place.
TEST_F(BuildRunnerTest, FileThatNobodyMayWriteIsNotReplacedWhoeverBuilds) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  const std::string marker = scratch.Program() + "tool-ran";
  scratch.UseFakeTool("touch " + Quoted(marker) + "; exec " + Scratch::RealToolCall());
  const std::string path = scratch.MakeTiff("locked.tif", 300, 300);
  const std::string before = ReadBytes(path);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  host.AddRows({path});

  RunBuild(host);

  EXPECT_EQ(host.Rows[0].Status, StatusFailed);
  EXPECT_EQ(host.ReasonFor(0).rfind(path + " is read-only:", 0), 0u) << host.ReasonFor(0);
  EXPECT_FALSE(fs::exists(marker));
  EXPECT_TRUE(ReadBytes(path) == before);
  EXPECT_TRUE(scratch.TmpEntries().empty());
  ExpectNothingLeftRunning();
}

// The copy is cut short by a file size limit set when the job has read the file.
TEST_F(BuildRunnerTest, WorkingCopyNotMadeOrNotFilledNeverReachesTheTool) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  const std::string marker = scratch.Data() + "tool-ran";
  scratch.UseFakeTool("touch " + Quoted(marker));
  const std::string path = scratch.MakeTiff("a.tif", 300, 300);
  const std::string before = ReadBytes(path);
  const std::string dest = scratch.Data() + "out";
  fs::create_directory(dest);
  struct Case {
    const char* name;
    bool missingTmp, withDest;
  };
  for (const Case& c : {Case{"no temporary folder", true, false}, Case{"copy cut short", false, false},
                        Case{"copy into destination cut short", false, true}}) {
    SCOPED_TRACE(c.name);
    FakeHost h;
    h.Folder = scratch.Program();
    if (c.withDest) h.Dest = dest;
    h.AddRows({path});
    if (c.missingTmp) ::setenv("TMPDIR", (scratch.Tmp() + "/missing").c_str(), 1);
    FileSizeLimit limit;
    if (!c.missingTmp) limit.Lower(4096);

    RunBuild(h);
    ::setenv("TMPDIR", scratch.Tmp().c_str(), 1);

    EXPECT_EQ(h.Rows[0].Status, StatusFailed);
    EXPECT_EQ(h.ReasonFor(0).rfind("cannot ", 0), 0u) << h.ReasonFor(0);
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_TRUE(ReadBytes(path) == before);
    EXPECT_TRUE(scratch.TmpEntries().empty());
    EXPECT_TRUE(fs::is_empty(dest));
  }
}

// The tool stands in for the user here: it changes the source while working on its copy.
TEST_F(BuildRunnerTest, SourceChangedWhileTheToolRanIsNotOverwritten) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  const std::string path = scratch.MakeTiff("a.tif", 300, 300);
  const std::string before = ReadBytes(path);
  struct Case {
    std::string change;
    bool sourceLeft;
    std::string sourceAfter;
  };
  std::string rewritten = before;
  rewritten[200] = 'X';
  const Case cases[] = {
      {"echo edited >> " + Quoted(path), true, before + "edited\n"},
      {"rm " + Quoted(path), false, ""},
      // A same-size rewrite whose writer sets the modification time back.
      {"t=$(stat -c %y " + Quoted(path) + "); printf X | dd of=" + Quoted(path) +
           " bs=1 seek=200 conv=notrunc 2>/dev/null; touch -d \"$t\" " + Quoted(path),
       true, rewritten},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    WriteBytes(path, before);
    scratch.UseFakeTool(c.change + "; echo processed >> \"$1\"");
    FakeHost h;
    h.Folder = scratch.Program();
    h.AddRows({path});

    RunBuild(h);

    EXPECT_EQ(h.Rows[0].Status, StatusFailed);
    EXPECT_EQ(fs::exists(path), c.sourceLeft);
    if (c.sourceLeft) {
      EXPECT_TRUE(ReadBytes(path) == c.sourceAfter);
    }
    EXPECT_TRUE(scratch.TmpEntries().empty());
    fs::remove(scratch.ToolPath());
  }
}

TEST_F(BuildRunnerTest, TruncatedTiffFailsThroughTheRealTool) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseRealTool();
  const std::string path = scratch.MakeTiff("cut.tif", 800, 1000);
  fs::resize_file(path, fs::file_size(path) / 2);
  const std::string before = ReadBytes(path);
  host.AddRows({path});

  RunBuild(host);

  EXPECT_EQ(host.Rows[0].Status, StatusFailed);
  // The first error names the cause; the IReadBlock lines only follow from it.
  EXPECT_NE(host.ReasonFor(0).find("Read error"), std::string::npos) << host.ReasonFor(0);
  EXPECT_EQ(host.ReasonFor(0).rfind("ERROR", 0), 0u);
  EXPECT_TRUE(ReadBytes(path) == before);
  EXPECT_TRUE(scratch.TmpEntries().empty());
}

// The fake tool's run time follows the number of factors: 1200 x 1200 asks for four
// and takes long, 800 x 800 for three and takes a little, 300 x 300 for two and ends
// at once.
TEST_F(BuildRunnerTest, RowsSettleInTheOrderTheirToolsEnd) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseFakeTool("case $# in 5) sleep 1.5;; 4) sleep 0.3;; esac; exec " + Scratch::RealToolCall());
  const std::string slow = scratch.MakeTiff("slow.tif", 1200, 1200);
  const std::string fast1 = scratch.MakeTiff("fast1.tif", 300, 300);
  const std::string fast2 = scratch.MakeTiff("fast2.tif", 800, 800);
  std::vector<std::string> originals;
  for (const auto& path : {slow, fast1, fast2}) originals.push_back(ReadBytes(path));
  struct Case {
    int slots;
    std::vector<int> order;
  };
  for (const Case& c : {Case{1, {0, 1, 2}}, Case{2, {1, 2, 0}}, Case{5, {1, 2, 0}}}) {
    SCOPED_TRACE(c.slots);
    // Each round starts from files without levels.
    WriteBytes(slow, originals[0]);
    WriteBytes(fast1, originals[1]);
    WriteBytes(fast2, originals[2]);
    FakeHost h;
    h.Folder = scratch.Program();
    h.Slots = c.slots;
    h.AddRows({slow, fast1, fast2});
    RunBuild(h);
    EXPECT_EQ(h.SettledOrder(), c.order);
    for (const auto& row : h.Rows) EXPECT_EQ(row.Status, StatusDone);
    EXPECT_TRUE(scratch.TmpEntries().empty());
    EXPECT_TRUE(NoChildLeft());
  }
}

TEST_F(BuildRunnerTest, MissingToolChangesNoRow) {
  host.AddRows({scratch.Data() + "a.tif", scratch.Data() + "b.tif"});
  host.Rows[1].Checked = false;

  EXPECT_TRUE(RunBuild(host).ToolMissing);

  for (const auto& row : host.Rows) EXPECT_EQ(row.Status, StatusNone);
  EXPECT_TRUE(host.Rows[0].Checked);
  EXPECT_TRUE(host.SettledRows.empty());
  ExpectNothingLeftRunning();
}

TEST_F(BuildRunnerTest, NothingCheckedDoesNothing) {
  host.AddRows({scratch.Data() + "a.tif"});
  host.Rows[0].Checked = false;
  const BuildSummary summary = RunBuild(host);
  EXPECT_FALSE(summary.ToolMissing);
  EXPECT_EQ(summary.Settled(), 0);
  EXPECT_EQ(host.Rows[0].Status, StatusNone);
}

TEST_F(BuildRunnerTest, RowUncheckedBeforeItsTurnIsSkipped) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseFakeTool("sleep 0.2; exit 0");
  host.AddRows({scratch.MakeTiff("a.tif", 300, 300), scratch.MakeTiff("b.tif", 300, 300),
                scratch.MakeTiff("c.tif", 300, 300)});
  host.OnMessages = [](FakeHost& h) {
    if (h.Rows[0].Status == StatusInProgress) h.Rows[1].Checked = false;
  };

  RunBuild(host);

  EXPECT_EQ(host.SettledOrder(), (std::vector<int>{0, 2}));
  EXPECT_EQ(host.Rows[1].Status, StatusNone);
}

TEST_F(BuildRunnerTest, PathsWithBlanksQuotesAndNonAsciiBytesReachTheTool) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseRealTool();
  const std::string folder = scratch.Data() + "my \"maps\" $HOME/";
  fs::create_directory(folder);
  const std::string plain = scratch.MakeTiff("plain.tif", 300, 300);
  const std::string path = folder + "a 'b' \xff\xfe \xd0\xba\xd0\xb0.tif";
  fs::rename(plain, path);
  host.AddRows({path});

  RunBuild(host);

  EXPECT_EQ(host.Rows[0].Status, StatusDone) << host.ReasonFor(0);
  EXPECT_EQ(ReaderDirectories(path), 3);

  FakeHost again;
  again.Folder = scratch.Program();
  again.Dest = folder.substr(0, folder.size() - 1) + " out \xe9";
  fs::create_directory(again.Dest);
  const std::string other = folder + "second \"x\".tif";
  fs::rename(scratch.MakeTiff("second.tif", 300, 300), other);
  again.AddRows({other});
  RunBuild(again);
  EXPECT_EQ(again.Rows[0].Status, StatusDone) << again.ReasonFor(0);
  EXPECT_EQ(ReaderDirectories(again.Dest + "/second \"x\".tif"), 3);
}

TEST_F(BuildRunnerTest, RefusedLaunchFailsTheRowAndTheSlotGoesOn) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseFakeTool("exit 0");
  fs::permissions(scratch.ToolPath(), fs::perms::owner_read | fs::perms::owner_write);
  host.AddRows({scratch.MakeTiff("a.tif", 300, 300), scratch.MakeTiff("b.tif", 300, 300)});
  const std::string before = ReadBytes(host.Rows[0].Caption);

  RunBuild(host);

  EXPECT_EQ(host.SettledOrder(), (std::vector<int>{0, 1}));
  EXPECT_EQ(host.Rows[0].Status, StatusFailed);
  EXPECT_EQ(host.Rows[1].Status, StatusFailed);
  EXPECT_NE(host.ReasonFor(0).find("cannot start"), std::string::npos) << host.ReasonFor(0);
  EXPECT_TRUE(ReadBytes(host.Rows[0].Caption) == before);
  EXPECT_TRUE(scratch.TmpEntries().empty());
  ExpectNothingLeftRunning();
}

TEST_F(BuildRunnerTest, SecondRowWithTheSameDestinationFails) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseRealTool();
  fs::create_directories(scratch.Data() + "a");
  fs::create_directories(scratch.Data() + "b");
  host.AddRows({scratch.MakeTiff("a/x.tif", 300, 300), scratch.MakeTiff("b/x.tif", 300, 400)});
  host.Dest = scratch.Data() + "out";
  fs::create_directory(host.Dest);
  host.Slots = 2;

  RunBuild(host);

  EXPECT_EQ(host.Rows[0].Status, StatusDone) << host.ReasonFor(0);
  EXPECT_EQ(host.Rows[1].Status, StatusFailed);
  EXPECT_EQ(GdalOverviews(host.Dest + "/x.tif"), "150x150, 75x75");
  EXPECT_EQ(FolderEntries(host.Dest), (std::vector<std::string>{".x.tif.kelvory-stamp", "x.tif"}));
}

TEST_F(BuildRunnerTest, StopEndsRunningToolsAndTouchesNoSource) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  // The tool spoils its copy, then would run far longer than the test may.
  scratch.UseFakeTool("echo spoiled >> \"$1\"; exec sleep 60");
  for (const bool withDest : {false, true}) {
    SCOPED_TRACE(withDest ? "with destination" : "in place");
    FakeHost h;
    h.Folder = scratch.Program();
    h.Slots = 2;
    const std::string prefix = withDest ? "d" : "i";
    h.AddRows({scratch.MakeTiff(prefix + "0.tif", 300, 300), scratch.MakeTiff(prefix + "1.tif", 300, 300),
               scratch.MakeTiff(prefix + "2.tif", 300, 300)});
    std::vector<std::string> before;
    for (const auto& row : h.Rows) before.push_back(ReadBytes(row.Caption));
    if (withDest) {
      h.Dest = scratch.Data() + "out";
      fs::create_directories(h.Dest);
    }
    h.OnMessages = [](FakeHost& running) {
      if (running.Rows[0].Status == StatusInProgress && running.Rows[1].Status == StatusInProgress) running.Stop = true;
    };

    RunBuild(h);

    EXPECT_EQ(h.Rows[0].Status, StatusFailed);
    EXPECT_EQ(h.Rows[1].Status, StatusFailed);
    EXPECT_EQ(h.ReasonFor(0), "stopped");
    EXPECT_EQ(h.Rows[2].Status, StatusNone);
    EXPECT_TRUE(h.Rows[2].Checked);
    for (std::size_t i = 0; i < before.size(); ++i) EXPECT_TRUE(ReadBytes(h.Rows[i].Caption) == before[i]);
    EXPECT_TRUE(scratch.TmpEntries().empty());
    if (withDest) {
      EXPECT_TRUE(fs::is_empty(h.Dest));
    }
    EXPECT_TRUE(NoChildLeft());
  }
}

// A link, "./" in the path and the plain path are one file: one tool runs on it, and
// every row gets its outcome.
TEST_F(BuildRunnerTest, RowsNamingOneFileRunOneToolAndShareItsOutcome) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  const std::string log = scratch.Tmp() + "/../runs";
  scratch.UseFakeTool("echo run >> '" + log + "'; sleep 0.2; " + Scratch::RealToolCall());
  const std::string path = scratch.MakeTiff("a.tif", 800, 800);
  fs::create_symlink(path, scratch.Data() + "link.tif");
  host.AddRows({path, scratch.Data() + "link.tif", scratch.Data() + "./a.tif"});
  host.Slots = 2;

  RunBuild(host);

  EXPECT_EQ(ReadBytes(log), "run\n");
  for (int row = 0; row < 3; ++row) EXPECT_EQ(host.Rows[row].Status, StatusDone) << row;
  EXPECT_EQ(ReaderDirectories(path), 4);
  ExpectNothingLeftRunning();
}

// A hard-linked file is never split from its other names: its levels are built beside
// it and appended where its kind allows that, or it is kept as it is.
TEST_F(BuildRunnerTest, AHardLinkedFileIsNotSplitByAnInPlaceBuild) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseRealTool();
  const std::string appendable = scratch.MakeTiff("a.tif", 800, 800);
  fs::create_hard_link(appendable, scratch.Data() + "a-link.tif");
  // Big-endian 16-bit samples keep the copy: GDAL writes levels beside a file in its
  // own byte order only.
  const std::string copied = scratch.Data() + "wide.tif";
  ASSERT_TRUE(test::Run("gdal_create -of GTiff -ot UInt16 -outsize 800 800 -co ENDIANNESS=BIG " + Quoted(copied)));
  fs::create_hard_link(copied, scratch.Data() + "wide-link.tif");
  const std::string wideBefore = ReadBytes(copied);
  const auto inode = fs::hard_link_count(appendable);
  struct stat before {};
  ::stat(appendable.c_str(), &before);
  host.AddRows({appendable, copied});
  host.Slots = 2;
  host.Options.Reading = ReadingMode::Widened;
  // Nearest levels of an uncompressed file keep the working copy.
  host.Options.Method = Resampling::Average;

  RunBuild(host);

  EXPECT_EQ(host.Rows[0].Status, StatusDone) << host.ReasonFor(0);
  struct stat after {};
  ::stat((scratch.Data() + "a-link.tif").c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(fs::hard_link_count(appendable), inode);
  EXPECT_EQ(GdalOverviews(scratch.Data() + "a-link.tif"), "400x400, 200x200, 100x100");
  EXPECT_EQ(host.Reports.size(), 2u);
  EXPECT_EQ(host.Rows[1].Why.Code, ReasonCode::HardLinks);
  EXPECT_TRUE(ReadBytes(copied) == wideBefore);
  EXPECT_TRUE(scratch.TmpEntries().empty());
  EXPECT_EQ(FolderEntries(scratch.Data()), (std::vector<std::string>{"a-link.tif", "a.tif", "wide-link.tif", "wide.tif"}));
}

// Into a destination folder every name is a copy of its own; a read-only source gives
// a read-only copy, but the tool gets a copy it may write.
TEST_F(BuildRunnerTest, DestinationCopiesOfOneFileUnderTwoNamesAreBothMadeFromAReadOnlySource) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseFakeTool("case $(stat -c %A \"$1\") in -rw*) ;; *) exit 7 ;; esac; " + Scratch::RealToolCall());
  const std::string path = scratch.MakeTiff("a.tif", 800, 800);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::create_symlink(path, scratch.Data() + "link.tif");
  host.Dest = scratch.Data() + "out";
  fs::create_directories(host.Dest);
  host.AddRows({path, scratch.Data() + "link.tif"});

  RunBuild(host);

  for (const char* name : {"a.tif", "link.tif"}) {
    SCOPED_TRACE(name);
    const std::string copy = host.Dest + "/" + name;
    EXPECT_EQ(ReaderDirectories(copy), 4);
    EXPECT_EQ(fs::status(copy).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  }
  EXPECT_EQ(host.SettledOrder(), (std::vector<int>{0, 1}));
  EXPECT_EQ(FolderEntries(host.Dest),
            (std::vector<std::string>{".a.tif.kelvory-stamp", ".link.tif.kelvory-stamp", "a.tif", "link.tif"}));
}

// A row settled at once waits behind the file work of the rows before it.
TEST_F(BuildRunnerTest, RowsSettleInTheirTurnAlsoWhileEarlierFileWorkRuns) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  scratch.UseRealTool();
  const std::string ready = scratch.MakeTiff("ready.tif", 120, 120);  // nothing to build: only copied
  host.Dest = scratch.Data() + "out";
  fs::create_directories(host.Dest);
  host.AddRows({ready, scratch.Data() + "missing.tif", ready + "x"});

  RunBuild(host);

  EXPECT_EQ(host.SettledOrder(), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(host.Rows[0].Status, StatusDone);
  EXPECT_EQ(host.Rows[1].Status, StatusNotFound);
}

// Each tool's thread count, with the tools of a round all started before any ends.
TEST_F(BuildRunnerTest, ToolsStartedWithFewerFilesThanSlotsShareTheIdleProcessors) {
  if (!ToolInstalled("gdal_create")) GTEST_SKIP() << "gdal_create missing";
  const std::string log = scratch.Data() + "runs";
  struct Case {
    const char* what;
    int files;
    int cores;
    std::vector<std::pair<std::string, std::string>> config;
    bool append;
    const char* environment;  // GDAL_NUM_THREADS, or none
    std::vector<std::string> threads;  // per tool, sorted: what follows GDAL_NUM_THREADS
  };
  const Case cases[] = {
      {"one file alone", 1, 3, {}, false, nullptr, {"3"}},
      {"three files on four processors", 3, 4, {}, false, nullptr, {"", "", "2"}},
      {"two files on two processors", 2, 2, {}, false, nullptr, {"", ""}},
      {"the append way", 1, 3, {}, true, nullptr, {"3"}},
      {"the user's option, in the append way too", 1, 3, {{"GDAL_NUM_THREADS", "1"}}, true, nullptr, {"1"}},
      {"the user's environment", 1, 3, {}, false, "1", {""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Every tool waits (a few seconds at most) until the round's tools have all started.
    scratch.UseFakeTool("echo \"$*\" >> " + Quoted(log) + "; n=0; while [ $(wc -l < " + Quoted(log) + ") -lt " +
                        std::to_string(c.files) + " ] && [ $n -lt 50 ]; do sleep 0.1; n=$((n+1)); done; exec " +
                        Scratch::RealToolCall());
    fs::remove(log);
    FakeHost h;
    h.Folder = scratch.Program();
    h.Slots = c.cores;
    h.Cores = c.cores;
    h.Options.Config = c.config;
    h.Options.Method = Resampling::Average;
    if (c.append) h.Options.AppendLevelsFrom = 0;
    for (int i = 0; i < c.files; ++i) h.AddRows({scratch.MakeTiff(std::to_string(i) + ".tif", 300, 300)});
    if (c.environment) ::setenv("GDAL_NUM_THREADS", c.environment, 1);
    RunBuild(h);
    ::unsetenv("GDAL_NUM_THREADS");

    for (const auto& report : h.Reports) {
      EXPECT_EQ(report.Result, Outcome::Done);
      EXPECT_EQ(report.Action, c.append ? FileAction::Append : FileAction::Build);
    }
    std::vector<std::string> threads;
    std::istringstream runs(ReadBytes(log));
    for (std::string line; std::getline(runs, line);) {
      const auto at = line.find("GDAL_NUM_THREADS ");
      EXPECT_EQ(line.find("GDAL_NUM_THREADS", at + 1), std::string::npos) << line;
      threads.push_back(at == std::string::npos ? "" : line.substr(at + 17));
    }
    std::sort(threads.begin(), threads.end());
    EXPECT_EQ(threads, c.threads);
  }
}

}  // namespace
}  // namespace kelvory::test
