#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <vector>

#include "platform/FileClaim.h"
#include "platform/Files.h"
#include "platform/Patience.h"
#include "platform/Process.h"
#include "platform/UniqueFd.h"
#include "tests/pyramids/Scratch.h"

namespace kelvory::platform {
namespace {

using test::ReadBytes;
using test::Scratch;
using test::WriteBytes;
namespace fs = std::filesystem;

// The child gets its own copy of the descriptor, so the file may be closed here.
UniqueFd OpenErrorFile(const std::string& errorPath) {
  UniqueFd errors(::open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  EXPECT_TRUE(errors.Valid()) << errorPath;
  return errors;
}

Process Shell(const std::string& script, const std::string& errorPath) {
  std::error_code error;
  Process p = Process::Start("/bin/sh", {"-c", script}, OpenErrorFile(errorPath).Get(), error);
  EXPECT_FALSE(error) << error.message();
  return p;
}

ProcessExit RunToEnd(Process& p) {
  std::error_code error;
  for (int i = 0; i < 600 && p.Wait(100, error) == WaitResult::TimedOut; ++i) {
  }
  EXPECT_TRUE(p.Reaped());
  return p.Exit();
}

// Standard output goes to a file the caller gives, so a tool that writes far more than
// a pipe holds never waits for a reader.
TEST(PlatformProcess, StandardOutputGoesToTheGivenFileWithoutBlocking) {
  Scratch s;
  const std::string outputPath = s.Tmp() + "/out";
  UniqueFd output(::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  ASSERT_TRUE(output.Valid());
  std::error_code error;
  Process p = Process::Start("/bin/sh", {"-c", "head -c 1000000 /dev/zero"}, OpenErrorFile(s.Tmp() + "/err").Get(),
                             output.Get(), error);
  ASSERT_FALSE(error) << error.message();
  EXPECT_TRUE(RunToEnd(p).Success());
  EXPECT_EQ(fs::file_size(outputPath), 1000000u);
}

TEST(PlatformProcess, ReportsExitStatusOrSignalAndWritesErrorOutputToItsFile) {
  Scratch s;
  const std::string errors = s.Tmp() + "/err";
  struct Case {
    const char* script;
    bool signaled;
    int code;
    const char* errorText;
  };
  const Case cases[] = {
      {"exit 0", false, 0, ""},
      {"echo out; echo problem >&2; exit 3", false, 3, "problem\n"},
      {"kill -9 $$", true, 9, ""},
      // Standard input is empty, so a tool that reads it does not hang.
      {"cat; echo read-all >&2", false, 0, "read-all\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    Process p = Shell(c.script, errors);
    const ProcessExit exit = RunToEnd(p);
    EXPECT_EQ(exit.Signaled, c.signaled);
    EXPECT_EQ(exit.Code, c.code);
    EXPECT_EQ(ReadBytes(errors), c.errorText);
  }
}

TEST(PlatformProcess, StartFailureIsReportedAndOwnerReapsWhatItStarted) {
  Scratch s;
  std::error_code error;
  Process missing = Process::Start(s.Tmp() + "/no-such-tool", {}, OpenErrorFile(s.Tmp() + "/err").Get(), error);
  EXPECT_TRUE(error);
  EXPECT_FALSE(missing.Valid());

  int pid = 0;
  {
    Process sleeper = Shell("exec sleep 60", s.Tmp() + "/err");
    pid = sleeper.Pid();
    EXPECT_EQ(sleeper.Wait(10, error), WaitResult::TimedOut);
    Process moved = std::move(sleeper);
    EXPECT_FALSE(sleeper.Valid());
    EXPECT_TRUE(moved.Valid());
  }
  EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

// A descriptor some other part of the program opened without close-on-exec.
TEST(PlatformProcess, ToolInheritsNoDescriptorBeyondItsStandardThree) {
  Scratch s;
  UniqueFd stray(::open("/dev/null", O_RDONLY));
  ASSERT_TRUE(stray.Valid());
  const std::string fd = std::to_string(stray.Get());
  Process p = Shell("test -e /proc/self/fd/" + fd + " && echo inherited " + fd + " >&2; exit 0", s.Tmp() + "/err");
  RunToEnd(p);
  EXPECT_EQ(ReadBytes(s.Tmp() + "/err"), "");
}

TEST(PlatformProcess, StopEndsAToolThatIgnoresTermination) {
  Scratch s;
  Process stubborn = Shell("trap '' TERM; echo ready >&2; while :; do sleep 0.05; done", s.Tmp() + "/err");
  for (int i = 0; i < 200 && ReadBytes(s.Tmp() + "/err").empty(); ++i) ::usleep(10000);
  stubborn.Stop(200);
  EXPECT_TRUE(stubborn.Reaped());
  EXPECT_TRUE(stubborn.Exit().Signaled);
  EXPECT_EQ(stubborn.Exit().Code, SIGKILL);
}

TEST(PlatformFiles, CopyReplacesTargetButNeverCopiesAFileOntoItself) {
  Scratch s;
  const std::string a = s.Data() + "a";
  const std::string b = s.Data() + "b";
  WriteBytes(a, "short");
  WriteBytes(b, "a much longer old content");
  EXPECT_FALSE(CopyFile(a, b));
  EXPECT_EQ(ReadBytes(b), "short");

  for (const std::string& same : {a, s.Data() + "./a", s.Data() + "link"}) {
    if (same.ends_with("link")) fs::create_symlink(a, same);
    EXPECT_FALSE(CopyFile(a, same)) << same;
    EXPECT_EQ(ReadBytes(a), "short") << same;
    EXPECT_TRUE(SameFile(a, same));
  }
  EXPECT_TRUE(CopyFile(s.Data() + "missing", b));
  EXPECT_EQ(ReadBytes(b), "short");
  EXPECT_TRUE(FileExists(a));
  EXPECT_FALSE(FileExists(s.Data()));
}

TEST(PlatformFiles, TempFolderEndsWithASeparator) {
  Scratch s;
  ::setenv("TMPDIR", "/some/where", 1);
  EXPECT_EQ(TempFolder(), "/some/where/");
  ::setenv("TMPDIR", "/some/where/", 1);
  EXPECT_EQ(TempFolder(), "/some/where/");
  ::unsetenv("TMPDIR");
  EXPECT_EQ(TempFolder(), "/tmp/");
}

// The claim stays while this process opens and closes the file elsewhere, as the reader
// does, and only one claim holds a file; a claim ends with its owner.
TEST(PlatformFileClaim, OneHolderAtATimeAndOtherDescriptorsDoNotEndIt) {
  Scratch scratch;
  const std::string path = scratch.Data() + "a.tif";
  WriteBytes(path, "data");
  std::error_code error;
  FileClaim first = FileClaim::Take(path, error);
  ASSERT_FALSE(error) << error.message();
  ASSERT_TRUE(first.Held());
  { UniqueFd reader(::open(path.c_str(), O_RDONLY | O_CLOEXEC)); }
  FileClaim second = FileClaim::Take(path, error);
  EXPECT_EQ(error, std::errc::device_or_resource_busy);
  EXPECT_FALSE(second.Held());

  FileClaim moved = std::move(first);
  EXPECT_EQ(FileClaim::Take(path, error).Held(), false);
  moved.Release();
  EXPECT_TRUE(FileClaim::Take(path, error).Held()) << error.message();
  EXPECT_EQ(ReadBytes(path), "data");

  FileClaim::Take(scratch.Data() + "missing.tif", error);
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);

  // Another program's write lock, which keeps readers out, keeps the claim out too.
  const std::string other = scratch.Data() + "b.tif";
  WriteBytes(other, "data");
  UniqueFd writer(::open(other.c_str(), O_RDWR | O_CLOEXEC));
  ASSERT_EQ(::flock(writer.Get(), LOCK_EX), 0);
  EXPECT_FALSE(FileClaim::Take(other, error).Held());
  EXPECT_EQ(error, std::errc::device_or_resource_busy);
}

// A hold that ends is waited out; another failure ends the wait at once, and a hold
// that outlasts the patience ends it at the patience's bound.
TEST(PlatformPatience, WaitsOutOnlyAHoldAndNoLongerThanItsBound) {
  using std::chrono::milliseconds;
  enum Result { Done, Held, Refused };
  const Patience patience{milliseconds(300), milliseconds(10)};
  const struct {
    std::vector<Result> results;  // the last one repeats
    Result expected;
    int calls;                    // 0: as many as the bound allows
  } cases[] = {
      {{Held, Held, Held, Done}, Done, 4},
      {{Held, Refused}, Refused, 2},
      {{Refused}, Refused, 1},
      {{Held}, Held, 0},
  };
  for (const auto& c : cases) {
    int calls = 0;
    const auto start = std::chrono::steady_clock::now();
    const Result result = Patiently(
        [&] { return c.results[std::min<std::size_t>(calls++, c.results.size() - 1)]; },
        [](Result r) { return r == Held; }, patience);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result, c.expected) << c.calls;
    if (c.calls != 0) {
      EXPECT_EQ(calls, c.calls);
      EXPECT_LT(waited, milliseconds(200)) << c.calls;
    } else {
      EXPECT_GE(waited, milliseconds(280));
      EXPECT_LE(waited, patience.Total + milliseconds(250));
    }
  }
}

}  // namespace
}  // namespace kelvory::platform
