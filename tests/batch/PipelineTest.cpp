// kelvory-batch run unattended, as nightly pipelines run it: what is up to date is only
// checked, GDAL's options reach the levels, working copies go where there is room,
// and a person at a terminal sees how far the build has got.
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/batch/GisFixture.h"

namespace kelvory::test {
namespace {

class Pipeline : public GisFiles {
 protected:
  void TearDown() override {
    for (const std::string& mount : mounts_) ::umount(mount.c_str());
    GisFiles::TearDown();
  }

  // The real gdaladdo, each start logged, so that a test can tell whether it ran.
  void LogToolRuns() {
    program_ = Program("echo run >> '" + (root_ / "runs").string() + "'\nexec " GDALADDO " \"$@\"\n");
  }
  int ToolRuns() const {
    const std::string log = ReadAll(root_ / "runs");
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
  }

  // A small filesystem of its own, or empty where this process may not mount one.
  std::string SmallFolder(const std::string& name, const std::string& size) {
    const std::string folder = Path(name);
    fs::create_directories(folder);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, ("size=" + size).c_str()) != 0) return {};
    mounts_.push_back(folder);
    return folder;
  }

  std::vector<std::string> mounts_;
};

TEST_F(Pipeline, CopiesAreOnlyCheckedWhileUpToDateAndRebuiltWhenTheSourceChangesOrForced) {
  LogToolRuns();
  Sh(std::string(Base) + " a.tif && mkdir out");
  const std::vector<std::string> args{"--dest", Path("out"), Path("a.tif")};
  ASSERT_EQ(Batch(args).exitCode, 0);
  ASSERT_EQ(ToolRuns(), 1);
  const std::string copy = ReadAll(root_ / "out" / "a.tif");

  const ChildResult again = Batch(args);
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(again.out, "up to date: " + Path("a.tif") + "\n");
  EXPECT_EQ(again.err, "kelvory-batch: 1 file: 0 built, 1 up to date\n");
  // The levels after are the copy's own, the source having none.
  std::vector<std::string> json = args;
  json.insert(json.begin(), "--json");
  EXPECT_EQ(Batch(json).out.rfind("{\"path\":\"" + Path("a.tif") +
                                  "\",\"outcome\":\"up to date\",\"reason\":\"\",\"reason_code\":\"copy_current\","
                                  "\"levels_before\":0,\"levels_after\":3,",
                                  0),
            0u);
  EXPECT_EQ(ToolRuns(), 1);
  EXPECT_EQ(ReadAll(root_ / "out" / "a.tif"), copy);

  Sh("sleep 0.01 && touch a.tif");
  EXPECT_EQ(Batch(args).exitCode, 0);
  EXPECT_EQ(ToolRuns(), 2);
  std::vector<std::string> forced = args;
  forced.insert(forced.begin(), "--force");
  EXPECT_EQ(Batch(forced).exitCode, 0);
  EXPECT_EQ(ToolRuns(), 3);
}

// A copy is up to date only when it was made from this very version of its source and
// sidecars with these options; dates alone cannot tell, since rsync -a, cp -p and mv
// give a new raster an older one.
TEST_F(Pipeline, CopyIsRebuiltUnlessMadeFromThisVersionOfItsSourceWithTheseOptions) {
  struct Case {
    const char* name;
    const char* change;  // a shell command in the test folder
    const char* source;  // of the second run
    std::vector<std::string> options;  // of the second run
    bool rebuilt;
  };
  const Case cases[] = {
      {"source replaced by an older Float32 raster",
       "mkdir delivery && gdal_create -q -of GTiff -outsize 600 600 -bands 1 -ot Float32 -burn 7 delivery/a.tif"
       " && touch -d 2001-01-01 delivery/a.tif && cp -p delivery/a.tif a.tif",
       "a.tif", {}, true},
      {"another older source of the same name and size",
       "mkdir other && gdal_create -q -of GTiff -outsize 600 600 -bands 1 -burn 9 other/a.tif"
       " && touch -d 2001-01-01 other/a.tif",
       "other/a.tif", {}, true},
      {"changed .prj dated back", "echo 'LOCAL_CS[\"other\"]' > a.prj && touch -d 2001-01-01 a.prj", "a.tif", {},
       true},
      {"other resampling", "true", "a.tif", {"-r", "average"}, true},
      {"other GDAL option", "true", "a.tif", {"--config", "COMPRESS_OVERVIEW", "DEFLATE"}, true},
      {"copy without its stamp, as an older Kelvory left it", "rm out/.a.tif.kelvory-stamp", "a.tif", {}, true},
      {"destination folder copied with cp -r", "cp -r out copied && rm -rf out && mv copied out", "a.tif", {}, false},
  };
  // The first band's type and checksum: what the copy holds.
  const auto Band = [&](const std::string& name) {
    return Sh("gdalinfo -checksum '" + name + "' | grep -E '^Band 1|^  Checksum='");
  };
  LogToolRuns();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sh("rm -rf out delivery other runs a.tif a.prj && " + std::string(Base) +
       " a.tif && echo 'LOCAL_CS[\"first\"]' > a.prj && mkdir out");
    ASSERT_EQ(Batch({"--dest", Path("out"), Path("a.tif")}).exitCode, 0);
    ASSERT_EQ(ToolRuns(), 1);
    Sh(c.change);
    std::vector<std::string> again = c.options;
    again.insert(again.end(), {"--dest", Path("out"), Path(c.source)});
    const ChildResult run = Batch(again);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(ToolRuns(), c.rebuilt ? 2 : 1);
    EXPECT_EQ(Band("out/a.tif"), Band(c.source));
    EXPECT_EQ(Overviews("out/a.tif"), ThreeLevels);
    if (std::string(c.source) == "a.tif") {
      EXPECT_EQ(ReadAll(root_ / "out" / "a.prj"), ReadAll(root_ / "a.prj"));
    }
  }
}

TEST_F(Pipeline, ForceRebuildsTheLevelsAFileHasWithTheChosenMethod) {
  // A one-pixel checkerboard of 0 and 200: averaging gives 100, nearest 0 or 200.
  std::string board = "P5\n600 600\n255\n";
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 600; ++x) board += static_cast<char>((x + y) % 2 ? 200 : 0);
  }
  WriteAll(root_ / "board.pgm", board);
  Sh("gdal_translate -q -of GTiff board.pgm grid.tif && gdaladdo -q grid.tif 2 4 8");
  const std::string nearest = OverviewChecksums("grid.tif");
  EXPECT_EQ(Batch({"-r", "average", Path("grid.tif")}).out, "up to date: " + Path("grid.tif") + "\n");
  EXPECT_EQ(OverviewChecksums("grid.tif"), nearest);  // enough levels: only checked
  EXPECT_EQ(Batch({"--force", "-r", "average", Path("grid.tif")}).exitCode, 0);
  EXPECT_NE(OverviewChecksums("grid.tif"), nearest);
  EXPECT_EQ(Sh("gdallocationinfo -valonly -oo OVERVIEW_LEVEL=0 grid.tif 0 0"), "100\n");
}

TEST_F(Pipeline, ConfigOptionsReachTheLevelsAndEventsTellEveryStep) {
  Sh(std::string(Base) + " a.tif && " + Base + " b.tif && gdaladdo -q -ro b.tif 2 && mkdir out");
  const ChildResult run = Batch({"--events", "--config", "COMPRESS_OVERVIEW", "DEFLATE", "--dest", Path("out"),
                                 Path("a.tif"), Path("b.tif")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::string tiffinfo = RunChild({TIFFINFO, Path("out/a.tif")}).out;
  EXPECT_NE(tiffinfo.find("AdobeDeflate"), std::string::npos) << tiffinfo;
  const std::vector<std::string> lines = [&] {
    std::vector<std::string> all;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);) all.push_back(line);
    return all;
  }();
  ASSERT_GE(lines.size(), 6u) << run.out;
  EXPECT_EQ(lines.front(), "{\"event\":\"plan\",\"files\":2}");
  EXPECT_EQ(lines[1], "{\"event\":\"start\",\"path\":\"" + Path("a.tif") + "\"}");
  EXPECT_EQ(lines.back(),
            "{\"event\":\"summary\",\"done\":2,\"up_to_date\":0,\"kept\":0,\"failed\":0,\"not_found\":0,\"busy\":0,\"stopped\":0,"
            "\"not_started\":0}");
  // The copy of a file with an overview file gets its levels inside: as many as it holds.
  EXPECT_NE(run.out.find("{\"event\":\"file\",\"path\":\"" + Path("b.tif") +
                         "\",\"outcome\":\"done\",\"reason\":\"\",\"reason_code\":\"\",\"levels_before\":1,"
                         "\"levels_after\":3,"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(Overviews("out/b.tif"), ThreeLevels);
}

TEST_F(Pipeline, WorkingCopyGoesWhereThereIsRoomOrTheFileFailsAtOnceSayingSo) {
  const std::string smallTmp = SmallFolder("smalltmp", "1m");
  const std::string smallData = SmallFolder("smalldata", "3m");
  if (smallTmp.empty() || smallData.empty()) GTEST_SKIP() << "cannot mount a tmpfs here";
  // About 1.4 MB of incompressible pixels: too big for the small temporary folder.
  Sh("gdal_create -q -of GTiff -outsize 1200 1200 -bands 1 big.tif && head -c 1440000 /dev/urandom > noise.raw"
     " && printf 'ENVI\\nsamples = 1200\\nlines = 1200\\nbands = 1\\ndata type = 1\\ninterleave = bsq\\n'"
     " > noise.hdr && gdal_translate -q -of GTiff noise.raw big.tif");
  const std::string before = ReadAll(root_ / "big.tif");
  const ChildResult beside = Batch({"--tmpdir", smallTmp, Path("big.tif")});
  EXPECT_EQ(beside.exitCode, 0) << beside.out << beside.err;
  EXPECT_EQ(Overviews("big.tif"), "600x600, 300x300, 150x150, 75x75");
  EXPECT_TRUE(fs::is_empty(smallTmp));
  EXPECT_EQ(Sh("ls -A | grep kelvory || true"), "");

  // In a folder with no room for a copy the levels are built beside the file and
  // appended; a file that must keep the copy (a GDAL option of the user's) is not
  // copied at all.
  fs::copy_file(root_ / "noise.raw", smallData + "/x.raw");
  Sh("cp noise.hdr smalldata/x.hdr && gdal_translate -q -of GTiff smalldata/x.raw smalldata/x.tif");
  fs::remove(smallData + "/x.raw");
  const std::string stuck = ReadAll(smallData + "/x.tif");
  const ChildResult none = Batch({"--tmpdir", smallTmp, "--config", "GDAL_CACHEMAX", "64", smallData + "/x.tif"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.out.find(": no room for a working copy of 1.8 MB: " + smallTmp + " has "), std::string::npos)
      << none.out;
  EXPECT_NE(none.out.find(", " + smallData + " has "), std::string::npos) << none.out;
  EXPECT_EQ(ReadAll(smallData + "/x.tif"), stuck);
  // Nearest levels of an uncompressed file keep the working copy.
  const ChildResult appended = Batch({"--tmpdir", smallTmp, "-r", "average", smallData + "/x.tif"});
  EXPECT_EQ(appended.exitCode, 0) << appended.out << appended.err;
  EXPECT_EQ(Overviews("smalldata/x.tif"), "600x600, 300x300, 150x150, 75x75");
  EXPECT_EQ(Sh("ls -A smalldata"), "x.hdr\nx.tif\n");
}

TEST_F(Pipeline, SparseSourceStaysSparseInTheDestination) {
  // A small image followed by 400 MB of holes: GDAL reads it as the image.
  Sh("gdal_create -q -of GTiff -outsize 120 120 -bands 1 sparse.tif && truncate -s 400M sparse.tif && mkdir out");
  ASSERT_EQ(Batch({"--dest", Path("out"), Path("sparse.tif")}).exitCode, 0);
  EXPECT_EQ(fs::file_size(root_ / "out" / "sparse.tif"), 400u << 20);
  EXPECT_LT(std::stoul(Sh("du -k out/sparse.tif | cut -f1")), 10000u);
}

TEST_F(Pipeline, DryRunWritesNothingQuietSaysOnlyFailuresAndEmptyInputIsNoSuccess) {
  Sh(std::string(Base) + " a.tif && mkdir out empty && echo junk > bad.tif");
  const std::string before = ReadAll(root_ / "a.tif");
  const ChildResult dry = Batch({"-n", "-r", "average", Path("a.tif"), Path("bad.tif")});
  EXPECT_EQ(dry.exitCode, 1);
  EXPECT_NE(dry.out.find("would build: " + Path("a.tif") + ": 2 4 8, average, working copy in " + tmp_.string() + "/"),
            std::string::npos)
      << dry.out;
  EXPECT_NE(dry.out.find("failed: " + Path("bad.tif") + ": unsupported file type"), std::string::npos) << dry.out;
  EXPECT_NE(dry.err.find("dry run, 2 files: 1 would build, 1 failed; nothing was written"), std::string::npos) << dry.err;
  EXPECT_EQ(ReadAll(root_ / "a.tif"), before);
  EXPECT_TRUE(TempFolderEmpty());

  const ChildResult quiet = Batch({"-q", Path("a.tif"), Path("bad.tif")});
  EXPECT_EQ(quiet.out, "failed: " + Path("bad.tif") + ": unsupported file type\n");
  EXPECT_EQ(quiet.err, "");

  const ChildResult empty = Batch({Path("empty")});
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_EQ(empty.err, "kelvory-batch: no TIFF files to build\n");
}

// Through a terminal (script gives the command one) the progress line names the
// running file with its percentage; into a pipe no escape code is written.
TEST_F(Pipeline, ProgressOnATerminalOnlyAndNeverInAPipe) {
  if (::access("/usr/bin/script", X_OK) != 0) GTEST_SKIP() << "script missing";
  Sh("gdal_create -q -of GTiff -outsize 4000 4000 -bands 3 big.tif");
  program_ = Program("printf '0...10...20...30'; sleep 1; exec " GDALADDO " \"$@\"\n");
  const ChildResult terminal = RunChild(
      {"/usr/bin/script", "-qec", "TMPDIR='" + tmp_.string() + "' '" + program_.string() + "' '" + Path("big.tif") + "'",
       "/dev/null"},
      {}, std::chrono::seconds(120));
  EXPECT_NE(terminal.out.find("0/1 file · big.tif 27% · 0:0"), std::string::npos) << terminal.out;
  EXPECT_NE(terminal.out.find("\033[K"), std::string::npos);
  const ChildResult pipe = Batch({Path("big.tif")});
  EXPECT_EQ(pipe.err.find('\033'), std::string::npos) << pipe.err;
  // Built through the terminal already.
  EXPECT_EQ(pipe.err, "kelvory-batch: 1 file: 0 built, 1 up to date\n");
}

}  // namespace
}  // namespace kelvory::test
