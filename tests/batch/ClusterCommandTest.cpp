// kelvory-batch as many copies of it run it over one shared folder: folders as
// arguments, list files beside the data, shares, claims, JSON lines and the PATH.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/batch/BatchFixture.h"
#include "tests/batch/ChildProcess.h"

namespace kelvory::test {
namespace {

using std::chrono::seconds;

class ClusterCommand : public BatchCommand {
 protected:
  // The lock another kelvory-batch, here or on another host, holds while it builds a
  // file: the descriptor that holds it, or -1.
  static int HoldClaim(const fs::path& file) {
    const int held = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (held >= 0 && ::fcntl(held, F_OFD_SETLK, &lock) != 0) {
      ::close(held);
      return -1;
    }
    return held;
  }

  // A folder of small GeoTIFF files, each of another size so that their bytes differ
  // and each needs levels.
  std::vector<fs::path> Folder(const std::string& name, const std::vector<std::string>& files) {
    std::vector<fs::path> paths;
    int size = 300;
    for (const std::string& file : files) {
      fs::create_directories((root_ / name / file).parent_path());
      paths.push_back(Tiff(name + "/" + file, size++, 300));
    }
    return paths;
  }

  // A tool that marks the file it works on (by the bytes it was given) as taken while
  // the real tool runs, records a second tool on a taken file as an overlap, and
  // records every file it built.
  fs::path CheckingProgram() {
    fs::create_directories(root_ / "taken");
    return Program("id=$(cksum < \"$1\" | cut -d' ' -f1)\n"
                   "mkdir '" + (root_ / "taken").string() + "'/$id 2>/dev/null || echo $id >> '" +
                   (root_ / "overlaps").string() + "'\n"
                   "'" GDALADDO "' \"$@\"; status=$?\n"
                   "echo $id >> '" + (root_ / "built").string() + "'\n"
                   "rmdir '" + (root_ / "taken").string() + "'/$id\n"
                   "exit $status\n");
  }
};

TEST_F(ClusterCommand, FolderArgumentsKeepTheirSubfoldersBelowTheDestination) {
  const fs::path program = Program("", true);
  const std::vector<fs::path> files = Folder("src", {"a/x.tif", "b/x.tif", "b/c/y.TIFF", "top.tif", "b/notes.txt.tif.bak"});
  const fs::path plain = Tiff("plain.tif", 300, 300);
  std::vector<std::string> before;
  for (const fs::path& file : files) before.push_back(ReadAll(file));
  fs::create_directories(root_ / "out");

  const ChildResult run = Batch(program, {"-d", (root_ / "out").string(), (root_ / "src").string(), plain.string()});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(SortedLines(run.out).size(), 5u) << run.out;
  for (const char* built : {"a/x.tif", "b/x.tif", "b/c/y.TIFF", "top.tif", "plain.tif"}) {
    EXPECT_EQ(DirectoryCount(root_ / "out" / built), 3) << built;
  }
  EXPECT_FALSE(fs::exists(root_ / "out" / "b" / "notes.txt.tif.bak"));
  for (std::size_t i = 0; i < files.size(); ++i) EXPECT_TRUE(ReadAll(files[i]) == before[i]) << files[i];
}

TEST_F(ClusterCommand, RelativeListLinesAreTakenFromTheListFilesFolder) {
  const fs::path program = Program("", true);
  const std::vector<fs::path> files = Folder("data", {"a.tif", "sub/b.tif"});
  fs::create_directories(root_ / "lists");
  WriteAll(root_ / "lists" / "maps.txt", "../data/a.tif\n" + files[1].string() + "\n");
  WriteAll(root_ / "data" / "beside.txt", "./sub/b.tif\n");

  // The command runs in the test's own folder, far from the lists.
  const ChildResult run = Batch(program, {"-j", "1", "-l", (root_ / "lists" / "maps.txt").string(), "-l",
                                          (root_ / "data" / "beside.txt").string()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "done: " + (root_ / "lists" / "../data/a.tif").string() + "\ndone: " + files[1].string() +
                         "\ndone: " + (root_ / "data" / "./sub/b.tif").string() + "\n");
  EXPECT_EQ(DirectoryCount(files[0]), 3);
  EXPECT_EQ(DirectoryCount(files[1]), 3);
}

TEST_F(ClusterCommand, SharesOfTheSameCommandTakeEveryFileExactlyOnce) {
  const fs::path program = Program("", true);
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) names.push_back("d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".tif");
  const std::vector<fs::path> files = Folder("data", names);
  // The first round builds every file; the later ones find them built.
  const auto all = [&](const std::string& outcome) {
    std::vector<std::string> lines;
    for (const fs::path& file : files) lines.push_back(outcome + ": " + file.string());
    std::sort(lines.begin(), lines.end());
    return lines;
  };

  for (const int n : {1, 2, 3, 5}) {
    SCOPED_TRACE("N = " + std::to_string(n));
    std::vector<std::string> lines;
    for (int k = 1; k <= n; ++k) {
      const ChildResult run = Batch(program, {"--shard", std::to_string(k) + "/" + std::to_string(n), (root_ / "data").string()});
      EXPECT_EQ(run.exitCode, 0) << run.err;
      for (const std::string& line : SortedLines(run.out)) lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, all(n == 1 ? "done" : "up to date"));
  }
}

TEST_F(ClusterCommand, FileClaimedByAnotherProcessIsBusyAndUntouched) {
  const fs::path program = Program("", true);
  const std::vector<fs::path> files = Folder("data", {"held.tif", "free.tif"});
  const std::string heldBytes = ReadAll(files[0]);
  const int held = HoldClaim(files[0]);
  ASSERT_GE(held, 0);

  for (const bool toDest : {false, true}) {
    SCOPED_TRACE(toDest ? "with --dest" : "in place");
    fs::remove_all(root_ / "out");
    fs::create_directories(root_ / "out");
    std::vector<std::string> args = {files[0].string(), files[1].string()};
    if (toDest) args.insert(args.begin(), {"-d", (root_ / "out").string()});
    const ChildResult run = Batch(program, args);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(SortedLines(run.out),
              (std::vector<std::string>{"busy: " + files[0].string(), "done: " + files[1].string()}));
    EXPECT_TRUE(ReadAll(files[0]) == heldBytes);
    EXPECT_FALSE(fs::exists(root_ / "out" / "held.tif"));
  }
  ::close(held);
  const ChildResult later = Batch(program, {files[0].string()});
  EXPECT_EQ(later.exitCode, 0) << later.out << later.err;
  EXPECT_EQ(DirectoryCount(files[0]), 3);
}

TEST_F(ClusterCommand, CommandsStartedTogetherOverOneFolderNeverBuildAFileTwice) {
  const fs::path program = CheckingProgram();
  std::vector<std::string> names;
  for (int i = 0; i < 16; ++i) names.push_back("s" + std::to_string(i % 2) + "/f" + std::to_string(i) + ".tif");
  const std::vector<fs::path> files = Folder("data", names);

  std::vector<std::unique_ptr<ChildProcess>> commands;
  for (int i = 0; i < 3; ++i) {
    commands.push_back(std::make_unique<ChildProcess>(
        std::vector<std::string>{program.string(), "-j", "2", (root_ / "data").string()},
        std::vector<std::string>{"TMPDIR=" + tmp_.string()}));
  }
  std::map<std::string, std::set<std::string>> outcomes;  // path: the outcomes it got
  for (auto& command : commands) {
    const ChildResult run = command->Wait(seconds(120));
    EXPECT_TRUE(run.exited);
    EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.err;
    for (const std::string& line : SortedLines(run.out)) {
      const auto colon = line.find(": ");
      ASSERT_NE(colon, std::string::npos) << line;
      outcomes[line.substr(colon + 2)].insert(line.substr(0, colon));
    }
  }
  EXPECT_FALSE(fs::exists(root_ / "overlaps")) << ReadAll(root_ / "overlaps");
  // Each file built once, by one of them; the others found it up to date or busy.
  EXPECT_EQ(SortedLines(ReadAll(root_ / "built")).size(), files.size());
  std::set<std::string> built;
  for (const std::string& id : SortedLines(ReadAll(root_ / "built"))) built.insert(id);
  EXPECT_EQ(built.size(), files.size());
  for (const fs::path& file : files) {
    const std::set<std::string>& got = outcomes[file.string()];
    EXPECT_TRUE(got.contains("done")) << file;
    for (const std::string& outcome : got) {
      EXPECT_TRUE(outcome == "done" || outcome == "up to date" || outcome == "busy") << outcome;
    }
    EXPECT_EQ(DirectoryCount(file), 3) << file;
  }
  EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(ClusterCommand, JsonLinesParseWithJqAndTellEveryOutcome) {
  const fs::path program = Program("", true);
  const std::vector<fs::path> files = Folder("data", {"big.tif", "held.tif", "odd \"name\" \xea\xe0.tif"});
  const fs::path small = Tiff("data/small.tif", 100, 100);
  const fs::path junk = root_ / "data" / "junk.tif";
  WriteAll(junk, "not a TIFF\n");
  const int held = HoldClaim(files[1]);
  ASSERT_GE(held, 0);

  const ChildResult run = Batch(program, {"--json", (root_ / "data").string(), (root_ / "gone.tif").string()});
  ::close(held);
  EXPECT_EQ(run.exitCode, 1) << run.err;
  WriteAll(root_ / "lines.json", run.out);
  const ChildResult parsed = RunChild({JQ, "-r", "[.outcome, .levels_before, .levels_after, (.seconds >= 0), "
                                                 "(.reason | length > 0), (.path | split(\"/\") | last)] | @tsv",
                                       (root_ / "lines.json").string()});
  ASSERT_EQ(parsed.exitCode, 0) << parsed.err << run.out;
  // The name that is not UTF-8 comes back with its two odd bytes replaced.
  EXPECT_EQ(SortedLines(parsed.out), (std::vector<std::string>{
                                         "busy\t\t\ttrue\tfalse\theld.tif",
                                         "done\t0\t2\ttrue\tfalse\tbig.tif",
                                         "done\t0\t2\ttrue\tfalse\todd \"name\" \xef\xbf\xbd\xef\xbf\xbd.tif",
                                         "failed\t\t\ttrue\ttrue\tjunk.tif",
                                         "not found\t\t\ttrue\tfalse\tgone.tif",
                                         "up to date\t0\t0\ttrue\tfalse\tsmall.tif",
                                     }));
}

TEST_F(ClusterCommand, WithoutAToolBesideItTheCommandRunsTheOneOnThePath) {
  const fs::path program = Program("");
  fs::create_directories(root_ / "bin");
  WriteAll(root_ / "bin" / "gdaladdo", "#!/bin/sh\necho \"$@\" >> '" + (root_ / "ran").string() + "'\nexec '" GDALADDO "' \"$@\"\n");
  fs::permissions(root_ / "bin" / "gdaladdo", fs::perms::owner_all);
  const fs::path file = Tiff("a.tif", 300, 300);
  const std::string path = "PATH=relative/bin:" + (root_ / "bin").string() + ":/usr/bin:/bin";

  const ChildResult version = Batch(program, {"--version"}, {path});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("kelvory-batch 1.5\ngdaladdo: " + (root_ / "bin" / "gdaladdo").string() + ": GDAL ", 0), 0u)
      << version.out;
  const ChildResult run = Batch(program, {file.string()}, {path});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(DirectoryCount(file), 3);
  EXPECT_EQ(SortedLines(ReadAll(root_ / "ran")).size(), 2u);  // --version, then the build

  const ChildResult none = Batch(program, {"--version"}, {"PATH=" + (root_ / "nothing").string()});
  EXPECT_EQ(none.out, "kelvory-batch 1.5\ngdaladdo: none, neither beside the program nor on the PATH\n");
}

}  // namespace
}  // namespace kelvory::test
