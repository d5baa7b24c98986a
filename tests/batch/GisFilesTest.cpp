// kelvory-batch with the real gdaladdo on the kinds of GeoTIFF a GIS user has, checked
// with GDAL's own tools.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/NoiseImage.h"
#include "tests/batch/GisFixture.h"

namespace kelvory::test {
namespace {

namespace fs = std::filesystem;

TEST_F(GisFiles, EveryKindGdaladdoBuildsGetsItsLevelsWithAverageResampling) {
  struct Kind {
    const char* name;
    std::string make;
  };
  const std::string base = Base;
  const Kind kinds[] = {
      {"bigtiff.tif", base + " -co BIGTIFF=YES bigtiff.tif"},
      {"bigendian.tif", base + " be.tmp && tiffcp -B be.tmp bigendian.tif"},
      {"float32.tif", base + " -ot Float32 float32.tif"},
      {"int32.tif", base + " -ot Int32 int32.tif"},
      {"cint16.tif", base + " -ot CInt16 cint16.tif"},
      {"onebit.tif", base + " -co NBITS=1 -burn 1 onebit.tif"},
      {"masked.tif", base + " m.tmp && gdal_translate -q -mask 1 --config GDAL_TIFF_INTERNAL_MASK YES m.tmp masked.tif"},
      {"pages.tif", base + " p.tmp && tiffcp p.tmp p.tmp p.tmp pages.tif"},
  };
  std::vector<std::string> args{"-r", "average"};
  for (const Kind& kind : kinds) {
    Sh(kind.make);
    args.push_back(Path(kind.name));
  }

  const ChildResult run = Batch(args);
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    EXPECT_NE(run.out.find("done: " + Path(kind.name) + "\n"), std::string::npos) << run.out;
    EXPECT_EQ(Overviews(kind.name), ThreeLevels);
  }
  EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(GisFiles, ExistingLevelsAreKeptAndOnlyMissingOnesAreBuiltWithTheChosenMethod) {
  // A one-pixel checkerboard of 0 and 200: averaging gives 100, nearest 0 or 200.
  std::string board = "P5\n1200 1200\n255\n";
  for (int y = 0; y < 1200; ++y)
    for (int x = 0; x < 1200; ++x) board += static_cast<char>((x + y) % 2 ? 200 : 0);
  std::ofstream(root_ / "board.pgm", std::ios::binary) << board;
  Sh("gdal_translate -q -of GTiff board.pgm kept.tif && gdaladdo -q -r average kept.tif 2 4");
  const std::string before = OverviewChecksums("kept.tif");
  ASSERT_EQ(Overviews("kept.tif"), "600x600, 300x300");

  // 1200 pixels ask for 4 levels: 2 and 4 are there, 8 and 16 are missing.
  const ChildResult run = Batch({"--resampling", "cubic", Path("kept.tif")});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(Overviews("kept.tif"), "600x600, 300x300, 150x150, 75x75");
  // The checksums of the two kept levels come first, unchanged.
  EXPECT_EQ(OverviewChecksums("kept.tif").rfind(before + ", ", 0), 0u) << before;
  EXPECT_EQ(Sh("gdallocationinfo -valonly -oo OVERVIEW_LEVEL=0 kept.tif 0 0"), "100\n");

  Sh("gdal_translate -q -of GTiff board.pgm near.tif");
  EXPECT_EQ(Batch({Path("near.tif")}).exitCode, 0);
  const std::string nearest = Sh("gdallocationinfo -valonly -oo OVERVIEW_LEVEL=0 near.tif 0 0");
  EXPECT_TRUE(nearest == "0\n" || nearest == "200\n") << nearest;
}

// A file a rule protects is kept as it is, with what to do instead, and the command
// still succeeds; --external then builds its levels beside it as gdaladdo -ro does on
// a copy with its sidecars, the file and its sidecars untouched.
TEST_F(GisFiles, FilesKeptAsTheyAreInPlaceWithAReasonAndBuiltBesideThemWithExternal) {
  struct Case {
    const char* name;
    std::string make;
    const char* reasonPart;
    const char* missingFactors;
  };
  const std::string base = Base;
  const Case cases[] = {
      {"cog.tif", base + " c.tmp && gdal_translate -q -of COG -co OVERVIEWS=NONE c.tmp cog.tif",
       "--cog writes it anew as a COG with its levels", "2 4 8"},
      {"ovr.tif", base + " ovr.tif && gdaladdo -q -ro ovr.tif 2", "ovr.tif.ovr", "4 8"},
      {"locked.tif", base + " locked.tif && chmod 444 locked.tif", "is read-only: ", "2 4 8"},
      // gdaladdo -ro writes the mask's levels into msk.tif.msk.ovr.
      {"msk.tif", "gdal_translate -q -mask 1 --config GDAL_TIFF_INTERNAL_MASK NO noise.pgm msk.tif", "keeps its mask in",
       "2 4 8"},
  };
  WriteAll(root_ / "noise.pgm", NoiseImage(600, 600, 1, {101, 523, 91, 391}));
  std::vector<std::string> paths;
  std::vector<std::string> bytes;
  for (const Case& c : cases) {
    Sh(c.make);
    paths.push_back(Path(c.name));
    bytes.push_back(ReadAll(root_ / c.name));
  }

  const ChildResult run = Batch(paths);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    const std::size_t line = run.out.find("kept: " + paths[i] + ": ");
    ASSERT_NE(line, std::string::npos) << run.out;
    EXPECT_NE(run.out.substr(line, run.out.find('\n', line) - line).find(cases[i].reasonPart), std::string::npos)
        << run.out;
    EXPECT_EQ(ReadAll(paths[i]), bytes[i]);
  }
  EXPECT_NE(run.err.find("4 files: 0 built, 4 kept"), std::string::npos) << run.err;

  for (const Case& c : cases) {
    Sh(std::string("mkdir -p ref && cp -p ") + c.name + "* ref/ && gdaladdo -q -ro -r average ref/" + c.name + " " +
       c.missingFactors);
  }
  std::vector<std::string> external{"--external", "-r", "average"};
  external.insert(external.end(), paths.begin(), paths.end());
  const ChildResult beside = Batch(external);
  EXPECT_EQ(beside.exitCode, 0) << beside.out << beside.err;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(ReadAll(paths[i]), bytes[i]);
    EXPECT_EQ(Overviews(cases[i].name), ThreeLevels);
    const std::string name = cases[i].name;
    ASSERT_EQ(Sh("ls " + name + "*"), Sh("cd ref && ls " + name + "*"));
    for (const auto& made : fs::directory_iterator(root_ / "ref")) {
      if (made.path().filename().string().starts_with(name)) {
        EXPECT_EQ(ReadAll(root_ / made.path().filename()), ReadAll(made.path())) << made.path();
      }
    }
  }
  // Nothing of the undo is left, and a second run only checks.
  EXPECT_EQ(Sh("ls -A | grep kelvory || true"), "");
  const std::string ovr = ReadAll(paths[1] + ".ovr");
  EXPECT_EQ(SortedLines(Batch({"--external", paths[1]}).out), std::vector<std::string>{"up to date: " + paths[1]});
  EXPECT_EQ(ReadAll(paths[1] + ".ovr"), ovr);

  // Into a destination folder the copy is built as any other file, with no stale .ovr.
  fs::create_directories(root_ / "out");
  fs::remove(paths[0] + ".ovr");
  Sh("rm ovr.tif.ovr && gdaladdo -q -ro ovr.tif 2");
  const ChildResult copied = Batch({"--dest", Path("out"), paths[0], paths[1], paths[3]});
  EXPECT_EQ(copied.exitCode, 0) << copied.out << copied.err;
  // A copy that keeps its external levels keeps its mask's beside them.
  EXPECT_EQ(ReadAll(root_ / "out" / "msk.tif.msk.ovr"), ReadAll(paths[3] + ".msk.ovr"));
  EXPECT_EQ(Overviews("out/cog.tif"), ThreeLevels);
  EXPECT_EQ(Overviews("out/ovr.tif"), ThreeLevels);
  EXPECT_FALSE(fs::exists(root_ / "out" / "ovr.tif.ovr"));
}

// A COG's copy, and with --cog the COG itself, is a COG again, with the levels gdaladdo
// makes of a plain copy and the file's own compression and tiles.
TEST_F(GisFiles, CogsStayValidCogsWithTheLevelsGdaladdoMakes) {
  std::string image = "P5\n600 600\n255\n";
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 600; ++x) image += static_cast<char>((x * 7 + y * 13 + x * y) % 251);
  std::ofstream(root_ / "image.pgm", std::ios::binary) << image;
  Sh("gdal_translate -q -of COG -co OVERVIEWS=NONE -co COMPRESS=DEFLATE -co PREDICTOR=YES -co BLOCKSIZE=256 "
     "image.pgm cog.tif && cp cog.tif plain.tif && gdaladdo -q -r average plain.tif 2 4 8 && mkdir out");
  const std::string levels = OverviewChecksums("plain.tif");
  const auto validCog = [this](const std::string& name) {
    return RunChild({"/usr/bin/python3", "/usr/lib/python3/dist-packages/osgeo_utils/samples/"
                     "validate_cloud_optimized_geotiff.py", "-q", Path(name)}).exitCode == 0;
  };
  ASSERT_TRUE(validCog("cog.tif"));

  const ChildResult copied = Batch({"-r", "average", "--dest", Path("out"), Path("cog.tif")});
  const ChildResult rewritten = Batch({"-r", "average", "--cog", Path("cog.tif")});
  for (const char* name : {"out/cog.tif", "cog.tif"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(validCog(name)) << copied.out << rewritten.out;
    EXPECT_EQ(OverviewChecksums(name), levels);
    const std::string info = Sh(std::string("gdalinfo ") + name);
    for (const char* kept : {"Block=256x256", "COMPRESSION=DEFLATE", "PREDICTOR=2", "LAYOUT=COG"}) {
      EXPECT_NE(info.find(kept), std::string::npos) << kept << "\n" << info;
    }
  }
  // Nothing left beside them but the copy's record of its source.
  EXPECT_EQ(Sh("ls -A . out | grep -i kelvory || true"), ".cog.tif.kelvory-stamp\n");
  EXPECT_TRUE(TempFolderEmpty());
  EXPECT_EQ(SortedLines(Batch({"--cog", Path("cog.tif")}).out), std::vector<std::string>{"up to date: " + Path("cog.tif")});
}

TEST_F(GisFiles, DestinationCopyKeepsItsPlaceOnTheMap) {
  Sh(std::string(Base) + " scan.tif && printf '10\\n0\\n0\\n-10\\n1000\\n2000\\n' > scan.tfw"
     " && printf 'LOCAL_CS[\"x\"]' > scan.PRJ && echo '<PAMDataset/>' > scan.tif.aux.xml && echo other > scanx.tfw");
  fs::create_directories(root_ / "out");
  const ChildResult run = Batch({"--dest", Path("out"), Path("scan.tif")});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  for (const char* sidecar : {"scan.tfw", "scan.PRJ", "scan.tif.aux.xml"}) {
    EXPECT_EQ(ReadAll(root_ / "out" / sidecar), ReadAll(root_ / sidecar)) << sidecar;
  }
  EXPECT_FALSE(fs::exists(root_ / "out" / "scanx.tfw"));
  EXPECT_NE(Sh("gdalinfo out/scan.tif").find("Origin = (995.000000000000000,2005.000000000000000)"),
            std::string::npos);
}

// Every kind of sidecar GDAL associates with a raster lands beside its copy, and a
// change of it alone, dated back, makes the copy again.
TEST_F(GisFiles, EverySidecarTravelsWithTheCopyAndItsChangeMakesTheCopyAgain) {
  struct Row {
    const char* raster;
    const char* sidecar;
  };
  const Row rows[] = {
      {"pam.tif", "pam.tif.aux.xml"}, {"hfa.tif", "hfa.tif.aux"},    {"stemaux.tif", "stemaux.aux"},
      {"mask.tif", "mask.tif.msk"},   {"tfw.tif", "tfw.tfw"},        {"tifw.tif", "tifw.tifw"},
      {"tiffw.tif", "tiffw.tiffw"},   {"wld.tif", "wld.wld"},        {"prj.tif", "prj.prj"},
      {"tab.tif", "tab.tab"},         {"rpb.tif", "rpb.rpb"},        {"rpc.tif", "rpc_rpc.txt"},
      {"imd.tif", "imd.imd"},
  };
  // Version 1 or 2 of a sidecar: GDAL reads the metadata and the mask while it builds.
  const auto write = [&](const std::string& sidecar, int version) {
    if (sidecar.ends_with(".msk")) {
      // All valid, then all masked.
      Sh(std::string("gdal_create -q -of GTiff -outsize 600 600 -bands 1 -burn ") + (version == 1 ? "5" : "0") +
         " m.tmp && gdal_translate -q -of GTiff -mask 1 --config GDAL_TIFF_INTERNAL_MASK NO m.tmp m2.tmp"
         " && mv m2.tmp.msk " + sidecar + " && rm m.tmp m2.tmp");
    } else if (sidecar.ends_with(".aux.xml")) {
      WriteAll(root_ / sidecar, "<PAMDataset><Metadata><MDI key=\"version\">" + std::to_string(version) +
                                    "</MDI></Metadata></PAMDataset>\n");
    } else {
      WriteAll(root_ / sidecar, "version " + std::to_string(version) + " of " + sidecar + "\n");
    }
    Sh("touch -d 2001-01-01 " + sidecar);
  };
  // What lands: the tool writes the mask's levels into the copy's mask file.
  const auto landed = [&](const std::string& sidecar) {
    EXPECT_TRUE(fs::exists(root_ / "out" / sidecar)) << sidecar;
    if (sidecar.ends_with(".msk")) {
      EXPECT_EQ(Sh("gdalinfo -checksum out/" + sidecar + " | grep -m1 Checksum="),
                Sh("gdalinfo -checksum " + sidecar + " | grep -m1 Checksum="));
    } else {
      EXPECT_EQ(ReadAll(root_ / "out" / sidecar), ReadAll(root_ / sidecar)) << sidecar;
    }
  };
  std::vector<std::string> args{"--dest", Path("out")};
  for (const Row& row : rows) {
    Sh(std::string(Base) + " " + row.raster);
    write(row.sidecar, 1);
    args.push_back(Path(row.raster));
  }
  fs::create_directories(root_ / "out");
  const ChildResult first = Batch(args);
  ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
  const ChildResult again = Batch(args);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.sidecar);
    landed(row.sidecar);
    EXPECT_NE(again.out.find("up to date: " + Path(row.raster) + "\n"), std::string::npos) << again.out;
    write(row.sidecar, 2);
  }
  const ChildResult changed = Batch(args);
  EXPECT_EQ(changed.exitCode, 0) << changed.out << changed.err;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.sidecar);
    EXPECT_NE(changed.out.find("done: " + Path(row.raster) + "\n"), std::string::npos) << changed.out;
    landed(row.sidecar);
  }
}

// The raster goes into the destination last, so that a copy found there always has its
// world file: one whose world file cannot be put in place (a folder holds its name)
// is not there at all, whether it was built or only copied.
TEST_F(GisFiles, DestinationCopyAppearsOnlyWithItsSidecars) {
  for (const char* size : {"600 600", "120 120"}) {
    SCOPED_TRACE(size);
    Sh(std::string("rm -rf out && mkdir -p out/scan.tfw && touch out/scan.tfw/x && gdal_create -q -of GTiff -outsize ") +
       size + " -bands 1 scan.tif && printf '10\\n0\\n0\\n-10\\n1000\\n2000\\n' > scan.tfw");
    const ChildResult run = Batch({"--dest", Path("out"), Path("scan.tif")});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_NE(run.out.find("failed: " + Path("scan.tif") + ": cannot replace " + Path("out/scan.tfw")), std::string::npos)
        << run.out;
    EXPECT_FALSE(fs::exists(root_ / "out" / "scan.tif"));
  }
}

TEST_F(GisFiles, ClassicReadingRefusesWhatOnlyTheWidenedReadingTakesAndSaysSo) {
  Sh(std::string(Base) + " -ot Float32 dem.tif");
  const ChildResult run = Batch({"--classic", Path("dem.tif")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("failed: " + Path("dem.tif") + ": unsupported image format (the file is "
                         "readable without --classic)"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(Batch({"-r", "nonsense", Path("dem.tif")}).exitCode, 2);
}

}  // namespace
}  // namespace kelvory::test
