// kelvory-batch run as a child process, on real files, with the real tool or with
// small fake tools for failures and interrupts.
#include <signal.h>
#include <stdlib.h>
#include <string.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/batch/BatchFixture.h"
#include "tests/batch/ChildProcess.h"

namespace kelvory::test {
namespace {

using std::chrono::seconds;

// The tool is named as the system names its file: gdaladdo.exe only on Windows.
constexpr const char* kToolMissing = "gdaladdo не найден";

TEST_F(BatchCommand, RealToolSettlesEveryFileAndTheExitStatusSaysIfAllWereDone) {
  const fs::path program = Program("", true);
  const fs::path big = Tiff("big.tif", 400, 300);    // shorter side 300: factors 2 4
  const fs::path small = Tiff("small.tif", 120, 120);  // nothing to do
  const fs::path junk = root_ / "junk.tif";
  WriteAll(junk, "this is not a TIFF file\n");
  const fs::path missing = root_ / "missing.tif";
  const std::string smallBytes = ReadAll(small);

  const ChildResult run =
      Batch(program, {big.string(), small.string(), missing.string(), junk.string()});
  ASSERT_TRUE(run.exited) << run.err;
  EXPECT_EQ(run.exitCode, 1) << run.err;
  const std::vector<std::string> lines = SortedLines(run.out);
  ASSERT_EQ(lines.size(), 4u) << run.out;
  EXPECT_EQ(lines[0], "done: " + big.string());
  EXPECT_EQ(lines[1].rfind("failed: " + junk.string() + ": ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2], "not found: " + missing.string());
  EXPECT_EQ(lines[3], "up to date: " + small.string());
  EXPECT_EQ(run.err, "kelvory-batch: 4 files: 1 built, 1 up to date, 1 failed, 1 not found\n");
  EXPECT_EQ(DirectoryCount(big), 3);
  EXPECT_EQ(ReadAll(small), smallBytes);
  EXPECT_TRUE(TempFolderEmpty());

  // Again, without the bad rows: nothing is left to build, which is no failure.
  const std::string bigBytes = ReadAll(big);
  const ChildResult again = Batch(program, {"--jobs", "1", big.string(), small.string()});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(SortedLines(again.out),
            (std::vector<std::string>{"up to date: " + big.string(), "up to date: " + small.string()}));
  EXPECT_EQ(ReadAll(big), bigBytes);
}

// The user's locale picks the words, never mixed in one line; JSON's names stay English.
TEST_F(BatchCommand, SpeaksRussianWhenTheLocaleSaysSoAndEnglishOtherwise) {
  const fs::path program = Program("", true);
  const fs::path junk = root_ / "junk.tif";
  WriteAll(junk, "this is not a TIFF file\n");
  const fs::path missing = root_ / "missing.tif";
  struct Case {
    std::vector<std::string> env;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {{"LANG=C"}, {"failed: " + junk.string() + ": unsupported file type", "not found: " + missing.string()}},
      {{"LANG=ru_RU.UTF-8"}, {"ошибка: " + junk.string() + ": Неподдерживаемый тип файла.", "не найден: " + missing.string()}},
      {{"LANG=ru_RU.UTF-8", "LC_MESSAGES=en_GB.UTF-8"},
       {"failed: " + junk.string() + ": unsupported file type", "not found: " + missing.string()}},
  };
  for (const Case& c : cases) {
    const ChildResult run = Batch(program, {junk.string(), missing.string()}, c.env);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    std::vector<std::string> expected = c.lines;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(SortedLines(run.out), expected) << c.env.back();
  }
  const ChildResult json = Batch(program, {"--json", junk.string()}, {"LANG=ru_RU.UTF-8"});
  EXPECT_NE(json.out.find("\"outcome\":\"failed\",\"reason\":\"Неподдерживаемый тип файла.\","
                          "\"reason_code\":\"unsupported_file_type\""),
            std::string::npos)
      << json.out;
}

TEST_F(BatchCommand, DestFolderGetsTheBuiltCopiesAndTheSourcesStayUntouched) {
  const fs::path program = Program("", true);
  const fs::path big = Tiff("big.tif", 300, 300);
  const fs::path small = Tiff("small.tif", 100, 100);
  const std::string bigBytes = ReadAll(big);
  fs::create_directories(root_ / "out");

  const ChildResult run = Batch(program, {"--dest", (root_ / "out").string(), big.string(), small.string()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadAll(big), bigBytes);
  EXPECT_EQ(DirectoryCount(big), 1);
  EXPECT_EQ(DirectoryCount(root_ / "out" / "big.tif"), 3);
  EXPECT_EQ(ReadAll(root_ / "out" / "small.tif"), ReadAll(small));
  EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(BatchCommand, FailingToolIsReportedWithItsFirstErrorLineAndTheSourceIsKept) {
  const fs::path program = Program(
      "printf 'ERROR 4: first\\nWarning 1: noise\\nERROR 1: the last one\\nmore text\\n' >&2\n"
      "printf 'garbage' >> \"$1\"\n"
      "exit 3\n");
  const fs::path big = Tiff("big.tif", 300, 300);
  const std::string bigBytes = ReadAll(big);

  const ChildResult run = Batch(program, {big.string()});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  ASSERT_EQ(SortedLines(run.out).size(), 1u) << run.out;
  EXPECT_EQ(run.out.rfind("failed: " + big.string() + ": ", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("ERROR 4: first"), std::string::npos) << run.out;
  EXPECT_EQ(ReadAll(big), bigBytes);
  EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(BatchCommand, MissingToolIsAnErrorOfItsOwnAndTouchesNoFile) {
  const fs::path program = Program("");
  const fs::path big = Tiff("big.tif", 300, 300);
  const std::string bigBytes = ReadAll(big);

  // No gdaladdo on the PATH either.
  const ChildResult run = Batch(program, {big.string()}, {"PATH=" + root_.string()});
  EXPECT_EQ(run.exitCode, 2);
  // The build's own text, then where the tool was looked for.
  const fs::path expected = fs::canonical(program.parent_path()) / "gdal" / "gdaladdo";
  EXPECT_NE(run.err.find(std::string(kToolMissing) + "\nkelvory-batch: looked for " +
                         expected.string() + "\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadAll(big), bigBytes);
}

TEST_F(BatchCommand, ListFilesAddTheirLinesOnceEachInOrderWithThePaths) {
  const fs::path program = Program("", true);
  const fs::path a = Tiff("a.tif", 100, 100);
  const fs::path b = Tiff("b.tif", 100, 100);
  const fs::path c = Tiff("c.tif", 100, 100);
  const fs::path list = root_ / "list.txt";
  // CR LF, a lone CR and a lone LF all end lines; repeats and empty lines are skipped.
  WriteAll(list, b.string() + "\r\n\r\n" + a.string() + "\r" + b.string() + "\n" + c.string());

  const ChildResult run = Batch(program, {"--jobs", "1", a.string(), "--list", list.string(), a.string()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // One slot and no tool needed: the files settle in row order.
  EXPECT_EQ(run.out, "up to date: " + a.string() + "\nup to date: " + b.string() + "\nup to date: " + c.string() + "\n");

  const ChildResult unreadable = Batch(program, {"--list", (root_ / "nope.txt").string(), a.string()});
  EXPECT_EQ(unreadable.exitCode, 2);
  EXPECT_NE(unreadable.err.find("Cannot open file \"" + (root_ / "nope.txt").string() + "\""),
            std::string::npos)
      << unreadable.err;
  EXPECT_EQ(unreadable.out, "");
}

TEST_F(BatchCommand, InformationAndUsageErrors) {
  const fs::path program = Program("", true);

  const ChildResult version = Batch(program, {"--version"});
  EXPECT_EQ(version.exitCode, 0);
  // The tool it would run, and the tool's own version line.
  const fs::path tool = fs::canonical(program.parent_path()) / "gdal" / "gdaladdo";
  EXPECT_EQ(version.out.rfind("kelvory-batch 1.5\ngdaladdo: " + tool.string() + ": GDAL ", 0), 0u) << version.out;

  const ChildResult help = Batch(program, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("Usage: kelvory-batch ", 0), 0u) << help.out;

  const fs::path file = root_ / "a.tif";
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"--jobs", "0", file.string()},
      {"--bogus", file.string()},
      {"--dest", (root_ / "no-such-folder").string(), file.string()},
      {"--dest", file.string(), file.string()},
  };
  WriteAll(file, "x");
  for (const auto& args : wrong) {
    SCOPED_TRACE(testing::PrintToString(args));
    const ChildResult run = Batch(program, args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("kelvory-batch: ", 0), 0u) << run.err;
  }
  EXPECT_EQ(ReadAll(file), "x");

  // In the user's language, as the rest of the command's output.
  const ChildResult russian = Batch(program, {"--json", "--events", file.string()}, {"LANG=ru_RU.UTF-8"});
  EXPECT_EQ(russian.exitCode, 2);
  EXPECT_EQ(russian.err,
            "kelvory-batch: --json и --events — две формы одного вывода: укажите один из них\n"
            "Подробнее: kelvory-batch --help\n");
}

// A second name of a file is read once but named and counted like the first.
TEST_F(BatchCommand, DryRunSaysWhatEveryNameWouldGetAndCountsIt) {
  const fs::path program = Program("", true);
  const fs::path big = Tiff("big.tif", 300, 300);
  const fs::path small = Tiff("small.tif", 100, 100);
  const fs::path link = root_ / "link.tif";
  fs::create_symlink(big, link);

  const ChildResult run = Batch(program, {"-n", big.string(), link.string(), small.string()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::string> lines = SortedLines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;
  EXPECT_EQ(lines[0], "up to date: " + small.string());
  EXPECT_EQ(lines[1].rfind("would build: " + big.string() + ": 2 4, nearest, ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("would build: " + link.string() + ": 2 4, nearest, ", 0), 0u) << lines[2];
  EXPECT_EQ(run.err, "kelvory-batch: dry run, 3 files: 2 would build, 1 up to date; nothing was written\n");
  EXPECT_EQ(DirectoryCount(big), 1);
}

TEST_F(BatchCommand, OutputReaderThatGoesAwayDoesNotCutTheBuildShort) {
  const fs::path program = Program("", true);
  const fs::path a = Tiff("a.tif", 300, 300);
  const fs::path b = Tiff("b.tif", 300, 300);

  ChildProcess child({program.string(), "--jobs", "1", a.string(), b.string()},
                     {"TMPDIR=" + tmp_.string()});
  child.CloseOutput();
  const ChildResult run = child.Wait(seconds(60));
  EXPECT_TRUE(run.exited) << "signal " << run.signal;
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(DirectoryCount(a), 3);
  EXPECT_EQ(DirectoryCount(b), 3);
  EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(BatchCommand, StopSignalEndsTheBuildKeepingFinishedFilesAndNoOtherChange) {
  const fs::path started = root_ / "started";
  std::vector<fs::path> files;
  std::vector<std::string> before;
  for (int i = 0; i < 5; ++i) {
    // The first file differs from the others, so the tool can tell it by its bytes.
    files.push_back(Tiff("f" + std::to_string(i) + ".tif", i == 0 ? 310 : 300, 300));
    before.push_back(ReadAll(files.back()));
  }
  const fs::path firstOriginal = root_ / "f0.original";
  WriteAll(firstOriginal, before[0]);
  // The first file's job runs the real tool and finishes; every other one spoils its
  // working copy and then takes far longer than the test waits.
  const fs::path program = Program("echo \"$1\" >> '" + started.string() + "'\n" +
                                   "if cmp -s \"$1\" '" + firstOriginal.string() +
                                   "'; then exec '" + GDALADDO + "' \"$@\"; fi\n" +
                                   "printf 'garbage' >> \"$1\"\nexec sleep 30\n");
  const fs::path dest = root_ / "dest";

  struct Case {
    int signal;
    bool toDest;
  };
  for (const Case c : {Case{SIGINT, false}, Case{SIGINT, true}, Case{SIGHUP, false},
                       Case{SIGHUP, true}, Case{SIGTERM, false}}) {
    SCOPED_TRACE(std::string(::strsignal(c.signal)) + (c.toDest ? ", with --dest" : ", in place"));
    fs::remove(started);
    fs::remove_all(dest);
    fs::create_directories(dest);
    for (std::size_t i = 0; i < files.size(); ++i) WriteAll(files[i], before[i]);
    // Three slots, more than the processors of a small machine: --jobs decides.
    std::vector<std::string> args = {program.string(), "-j", "3"};
    if (c.toDest) args.insert(args.end(), {"-d", dest.string()});
    for (const fs::path& file : files) args.push_back(file.string());

    ChildProcess child(args, {"TMPDIR=" + tmp_.string()});
    // Four started: the first has finished and its slot has taken the fourth file.
    const auto deadline = std::chrono::steady_clock::now() + seconds(20);
    while (SortedLines(ReadAll(started)).size() < 4 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(SortedLines(ReadAll(started)).size(), 4u) << "the tools did not start";
    ASSERT_EQ(::kill(child.Pid(), c.signal), 0);
    const ChildResult run = child.Wait(seconds(20));

    EXPECT_TRUE(run.exited) << run.err;
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_EQ(SortedLines(run.out),
              (std::vector<std::string>{"done: " + files[0].string(),
                                        "not started: " + files[4].string(),
                                        "stopped: " + files[1].string(),
                                        "stopped: " + files[2].string(),
                                        "stopped: " + files[3].string()}));
    EXPECT_NE(run.err.find("interrupted: 1 built, 3 stopped, 1 not started; files not done are "
                           "unchanged"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(SortedLines(ReadAll(started)).size(), 4u) << "a job started after the stop";
    for (std::size_t i = 1; i < files.size(); ++i) EXPECT_TRUE(ReadAll(files[i]) == before[i]) << files[i];
    EXPECT_TRUE(TempFolderEmpty());
    // The finished file has its levels; a half-built copy is never left looking like one.
    if (c.toDest) {
      EXPECT_TRUE(ReadAll(files[0]) == before[0]);
      EXPECT_EQ(DirectoryCount(dest / "f0.tif"), 3);
      std::vector<std::string> names;
      for (const auto& entry : fs::directory_iterator(dest)) names.push_back(entry.path().filename().string());
      std::sort(names.begin(), names.end());
      EXPECT_EQ(names, (std::vector<std::string>{".f0.tif.kelvory-stamp", "f0.tif"}));
    } else {
      EXPECT_EQ(DirectoryCount(files[0]), 3);
      EXPECT_TRUE(fs::is_empty(dest));
    }
  }
}

TEST_F(BatchCommand, HangupIgnoredAtTheStartAsUnderNohupLetsTheBuildFinish) {
  const fs::path started = root_ / "started";
  const fs::path program = Program("echo \"$1\" >> '" + started.string() + "'\nsleep 1\nexec '" +
                                   GDALADDO + "' \"$@\"\n");
  const fs::path file = Tiff("a.tif", 300, 300);

  // The shell ignores SIGHUP and hands that on to the command it becomes.
  ChildProcess child({"/bin/sh", "-c", "trap '' HUP; exec \"$0\" \"$@\"", program.string(),
                      file.string()},
                     {"TMPDIR=" + tmp_.string()});
  const auto deadline = std::chrono::steady_clock::now() + seconds(20);
  while (!fs::exists(started) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(fs::exists(started)) << "the tool did not start";
  ASSERT_EQ(::kill(child.Pid(), SIGHUP), 0);
  const ChildResult run = child.Wait(seconds(20));

  EXPECT_TRUE(run.exited) << run.err;
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "done: " + file.string() + "\n");
  EXPECT_EQ(DirectoryCount(file), 3);
}

// The ids of the running processes whose command line mentions text.
std::vector<int> ProcessesMentioning(const std::string& text, const std::string& also = {}) {
  std::vector<int> found;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string line = ReadAll(entry.path() / "cmdline");
    if (line.find(text) != std::string::npos && line.find(also) != std::string::npos) found.push_back(std::stoi(name));
  }
  return found;
}

// Killed outright mid-build, the command takes its tool with it; the next run removes
// the working copy it left, or undoes the levels it was building beside the file, and
// builds the file.
TEST_F(BatchCommand, KilledMidBuildLeavesNoToolAndTheNextRunCleansUpAndBuilds) {
  const fs::path program = Program("", true);
  // Noise does not compress: with slow resampling and compressed levels the tool takes
  // a few seconds on it.
  std::string pixels = "P6\n6000 6000\n255\n";
  std::uint32_t state = 12345;
  pixels.reserve(pixels.size() + 6000u * 6000u * 3u);
  for (std::size_t i = 0; i < 6000u * 6000u * 3u; ++i) {
    state = state * 1664525u + 1013904223u;
    pixels += static_cast<char>(state >> 24);
  }
  WriteAll(root_ / "noise.ppm", pixels);
  pixels = {};
  const fs::path big = root_ / "big.tif";
  ASSERT_EQ(RunChild({GDAL_TRANSLATE, "-q", "-of", "GTiff", (root_ / "noise.ppm").string(), big.string()}).exitCode, 0);
  fs::remove(root_ / "noise.ppm");
  const std::string before = ReadAll(big);
  // The tool works on a working copy in the temporary folder, or with -ro on the file
  // through its second name in its hidden work folder: only its command line says either.
  const std::string alias = (root_ / ".big.tif.kelvory-build" / "big.tif").string();
  const auto toolRunning = [&](bool copied) {
    return copied ? !ProcessesMentioning(tmp_.string()).empty()
                  : !ProcessesMentioning(std::string(1, '\0') + "-ro" + '\0', alias).empty();
  };
  const auto besideFiles = [&] {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(root_)) {
      const std::string name = entry.path().filename().string();
      count += name.find("kelvory") != std::string::npos || name.ends_with(".ovr");
    }
    return count;
  };

  // A GDAL option of the user's keeps the working copy; without one a big file's levels
  // are built beside it.
  for (const bool copied : {true, false}) {
    SCOPED_TRACE(copied ? "working copy" : "levels beside the file");
    std::vector<std::string> args{program.string(), "-r", "lanczos", big.string()};
    if (copied) args.insert(args.begin() + 1, {"--config", "GDAL_CACHEMAX", "64"});
    ChildProcess batch(args, {"TMPDIR=" + tmp_.string(), "COMPRESS_OVERVIEW=DEFLATE", "ZLEVEL_OVERVIEW=9"});
    bool toolSeen = false;
    for (int i = 0; i < 3000 && !toolSeen; ++i) {
      toolSeen = toolRunning(copied);
      if (!toolSeen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(toolSeen);
    ASSERT_EQ(::kill(batch.Pid(), SIGKILL), 0);
    batch.Wait(seconds(10));

    bool toolGone = false;
    for (int i = 0; i < 100 && !toolGone; ++i) {
      toolGone = !toolRunning(copied);
      if (!toolGone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(toolGone) << "gdaladdo outlived the command by a second";
    EXPECT_TRUE(ReadAll(big) == before);
    EXPECT_EQ(TempFolderEmpty(), !copied);
    EXPECT_EQ(besideFiles() > 0, !copied);
  }

  const ChildResult again = Batch(program, {big.string()});
  EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_EQ(again.out, "done: " + big.string() + "\n");
  EXPECT_TRUE(TempFolderEmpty());
  EXPECT_EQ(besideFiles(), 0);
  EXPECT_EQ(DirectoryCount(big), 7);
}

}  // namespace
}  // namespace kelvory::test
