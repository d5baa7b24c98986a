// Levels built beside a file with the real gdaladdo -ro and appended to it, against
// gdaladdo in place; the kinds that keep the working copy; builds cut short anywhere.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <string>
#include <vector>

#include "AppendLinkFixture.h"
#include "pyramids/AppendLink.h"

namespace kelvory {
namespace {

using test::Checksums;
using test::Factors;
using test::Scratch;
using test::Entries;
using test::MakeNoise;
using test::Quoted;
using test::RunChild;
using test::Sh;
using test::Tags;
namespace fs = std::filesystem;

struct Kind {
  const char* name;
  std::string make;  // makes kind.tif from noise.pgm and noise.ppm
  std::string resampling;
};

using test::Grey;
using test::Masked;
using test::Rgb;
const std::string Palette =
    "printf '%s' '<VRTDataset rasterXSize=\"600\" rasterYSize=\"500\"><VRTRasterBand dataType=\"Byte\" band=\"1\">"
    "<ColorInterp>Palette</ColorInterp><ColorTable><Entry c1=\"0\" c2=\"0\" c3=\"0\" c4=\"255\"/>"
    "<Entry c1=\"255\" c2=\"0\" c3=\"0\" c4=\"255\"/><Entry c1=\"0\" c2=\"250\" c3=\"0\" c4=\"255\"/>"
    "<Entry c1=\"0\" c2=\"0\" c3=\"250\" c4=\"255\"/></ColorTable><SimpleSource><SourceFilename relativeToVRT=\"1\">"
    "four.tif</SourceFilename><SourceBand>1</SourceBand></SimpleSource></VRTRasterBand></VRTDataset>' > pal.vrt"
    " && gdal_translate -q -scale 0 255 0 3.99 noise.pgm four.tif && gdal_translate -q pal.vrt ";

using test::TwoFactors;

TEST(AppendLink, LevelsEqualThoseGdaladdoWritesInPlaceForEveryProvenKind) {
  if (!test::ToolInstalled("gdal_translate") || !test::ToolInstalled("tiffcp")) GTEST_SKIP() << "GDAL or libtiff tools missing";
  const std::vector<Kind> kinds = {
      {"grey-strips", Grey + "kind.tif", "mode"},
      {"rgb-lzw-tiled", Rgb + "-co COMPRESS=LZW -co TILED=YES kind.tif", "average"},
      {"rgb-zstd-bands", Rgb + "-co COMPRESS=ZSTD -co INTERLEAVE=BAND kind.tif", "cubic"},
      {"uint16-predictor", Grey + "-ot UInt16 -scale 0 255 0 65535 -co COMPRESS=LZW -co PREDICTOR=2 kind.tif",
       "average"},
      {"float32-tiles-512", Grey + "-ot Float32 -co COMPRESS=DEFLATE -co PREDICTOR=3 -co TILED=YES "
                                   "-co BLOCKXSIZE=512 -co BLOCKYSIZE=512 kind.tif", "bilinear"},
      {"int32-oblong-tiles", Grey + "-ot Int32 -co TILED=YES -co BLOCKXSIZE=256 -co BLOCKYSIZE=128 kind.tif", "mode"},
      {"cint16", Grey + "-ot CInt16 kind.tif", "average"},
      {"one-bit", Grey + "-scale 0 255 0 1.99 -co NBITS=1 kind.tif", "average"},
      {"one-bit-white", Grey + "-scale 0 255 0 1.99 -co NBITS=1 -co PHOTOMETRIC=MINISWHITE -co COMPRESS=PACKBITS kind.tif",
       ""},
      {"palette", Palette + "kind.tif", "average"},
      {"rgba", "gdal_translate -q -b 1 -b 2 -b 3 -b 1 -co PHOTOMETRIC=RGB -co ALPHA=YES noise.ppm kind.tif",
       "average"},
      {"nodata-lzma", Grey + "-a_nodata 0 -co COMPRESS=LZMA kind.tif", "average"},
      {"packbits", Grey + "-co COMPRESS=PACKBITS kind.tif", "lanczos"},
      {"bigtiff", Rgb + "-co BIGTIFF=YES -co TILED=YES kind.tif", "average"},
      {"big-endian", Rgb + "le.tif && tiffcp -B le.tif kind.tif", "average"},
      {"big-endian-bigtiff", Grey + "-co TILED=YES le.tif && tiffcp -B -8 le.tif kind.tif", "mode"},
      {"jpeg-ycbcr-85", Rgb + "-co COMPRESS=JPEG -co PHOTOMETRIC=YCBCR -co JPEG_QUALITY=85 -co TILED=YES kind.tif",
       "average"},
      {"jpeg-grey-10", Grey + "-co COMPRESS=JPEG -co JPEG_QUALITY=10 kind.tif", "cubic"},
      {"jpeg-both-tables", Rgb + "-co COMPRESS=JPEG -co JPEGTABLESMODE=3 -co JPEG_QUALITY=60 kind.tif", ""},
      {"masked", Masked + "kind.tif", ""},
      {"masked-tiled-mode", Masked + "-co TILED=YES -co COMPRESS=DEFLATE kind.tif", "mode"},
      {"pages", Grey + "p.tif && tiffcp p.tif p.tif p.tif kind.tif", "average"},
  };
  Scratch s;
  MakeNoise(s.Data(), 1);
  MakeNoise(s.Data(), 3);
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    const std::string folder = s.Data() + kind.name + "/";
    fs::create_directories(folder);
    ASSERT_TRUE(Sh("cd " + Quoted(s.Data()) + " && " + kind.make + " && mv kind.tif " + Quoted(folder + "in-place.tif")));
    const std::string inPlace = folder + "in-place.tif";
    const std::string appended = folder + "appended.tif";
    fs::copy_file(inPlace, appended);
    const std::string method = kind.resampling.empty() ? "" : "-r " + kind.resampling + " ";
    ASSERT_TRUE(Sh(Quoted(KELVORY_GDALADDO_PATH) + " -q " + method + Quoted(inPlace) + Factors(TwoFactors)));

    ASSERT_EQ(RunChild(appended, "none", kind.resampling, TwoFactors), 0);
    EXPECT_EQ(Checksums(appended, 2), Checksums(inPlace, 2));
    EXPECT_EQ(Tags(appended), Tags(inPlace));
    EXPECT_EQ(Entries(folder), (std::vector<std::string>{"appended.tif", "in-place.tif"}));
    const double growth = static_cast<double>(fs::file_size(appended)) / fs::file_size(inPlace);
    std::printf("%-20s appended / in place: %.4f\n", kind.name, growth);
  }
}

TEST(AppendLink, KindsWhoseLevelsCannotBeMatchedKeepTheWorkingCopy) {
  struct Case {
    const char* name;
    std::string make;
    std::string resampling;
    AppendLinkRefusal refusal;
  };
  const std::vector<Case> cases = {
      {"cmyk", "gdal_translate -q -b 1 -b 2 -b 3 -b 1 -co PHOTOMETRIC=CMYK noise.ppm kind.tif", "average",
       AppendLinkRefusal::Photometric},
      {"big-endian-16", Grey + "-ot UInt16 le.tif && tiffcp -B le.tif kind.tif", "", AppendLinkRefusal::BigEndianWideSamples},
      {"masked-average", Masked + "kind.tif", "average", AppendLinkRefusal::MaskWithResampling},
      {"levels-inside", Grey + "kind.tif && gdaladdo -q kind.tif 2", "", AppendLinkRefusal::ExistingLevels},
      {"levels-beside", Grey + "kind.tif && gdaladdo -q -ro kind.tif 2", "", AppendLinkRefusal::OverviewFilePresent},
      {"mask-beside", "gdal_translate -q -mask 1 noise.pgm kind.tif", "", AppendLinkRefusal::MaskFilePresent},
      {"jpeg-tables-in-tiles", Grey + "-co COMPRESS=JPEG -co JPEGTABLESMODE=0 kind.tif", "",
       AppendLinkRefusal::JpegQualityUnknown},
      {"ccitt", Grey + "-scale 0 255 0 1.99 -co NBITS=1 -co COMPRESS=CCITTFAX4 kind.tif", "",
       AppendLinkRefusal::Compression},
      {"subifds", Grey + "a.tif && " + Grey + "b.tif && tiffcp a.tif b.tif kind.tif && tiffset -d 0 -s 330 1 8 kind.tif",
       "", AppendLinkRefusal::TagsPointIntoFile},
      {"nearest-uncompressed", Grey + "kind.tif", "", AppendLinkRefusal::NearestUncompressed},
      {"classic-near-4-gib", Grey + "kind.tif && truncate -s 3G kind.tif", "", AppendLinkRefusal::ClassicSizeLimit},
      {"not-a-tiff", "echo text > kind.tif", "", AppendLinkRefusal::Unreadable},
  };
  Scratch s;
  MakeNoise(s.Data(), 1);
  MakeNoise(s.Data(), 3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = s.Data() + c.name + "/";
    fs::create_directories(folder);
    ASSERT_TRUE(Sh("cd " + Quoted(s.Data()) + " && rm -f kind.tif* && " + c.make + " && mv kind.tif* " +
                    Quoted(folder)));
    const std::string path = folder + "kind.tif";
    const Resampling method = ResamplingNamed(c.resampling).value_or(Resampling::Nearest);
    EXPECT_EQ(DecideAppendLink(path, method).Refusal, c.refusal) << DescribeRefusal(DecideAppendLink(path, method).Refusal);
  }
}

TEST(AppendLink, TheFileKeepsItsInodeOtherNamesOwnerPermissionsAndAttributes) {
  Scratch s;
  MakeNoise(s.Data(), 1);
  const std::string file = s.Data() + "file.tif";
  const std::string other = s.Data() + "other name.tif";
  ASSERT_TRUE(Sh("cd " + Quoted(s.Data()) + " && " + Grey + "-co TILED=YES -co COMPRESS=LZW file.tif"));
  fs::create_hard_link(file, other);
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  // Another owner where this test may give one (as root).
  ::chown(file.c_str(), 1234, 1234);
  const bool attributes = ::setxattr(file.c_str(), "user.kelvory", "kept", 4, 0) == 0;
  struct stat before {};
  ASSERT_EQ(::stat(file.c_str(), &before), 0);

  ASSERT_EQ(RunChild(file, "none", "", TwoFactors), 0);
  struct stat after {};
  ASSERT_EQ(::stat(other.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_nlink, 2u);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  if (attributes) {
    char value[8] = {};
    EXPECT_EQ(::getxattr(other.c_str(), "user.kelvory", value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
  }
  EXPECT_NE(test::Output("gdalinfo " + Quoted(other)).find("Overviews: 300x250, 150x125"), std::string::npos);
}

// The decision the plan carries is held against the file when the build begins: a file
// whose structure changed since is left as it is, and the failure names the step.
TEST(AppendLink, AFileChangedSinceItsDecisionIsLeftAsItIs) {
  Scratch s;
  MakeNoise(s.Data(), 1);
  const std::string file = s.Data() + "file.tif";
  ASSERT_TRUE(Sh("cd " + Quoted(s.Data()) + " && " + Grey + "-co TILED=YES -co COMPRESS=LZW file.tif"));
  const AppendLinkDecision decision = DecideAppendLink(file, Resampling::Nearest);
  ASSERT_TRUE(decision.Proven()) << DescribeRefusal(decision.Refusal);
  ASSERT_TRUE(Sh("printf x >> " + Quoted(file)));
  const std::string changed = test::ReadBytes(file);
  try {
    AppendLinkBuild::Begin(file, decision, TwoFactors, Resampling::Nearest);
    ADD_FAILURE() << "the build began";
  } catch (const BuildError& error) {
    EXPECT_EQ(error.Why().Code, ReasonCode::CannotAppend);
    EXPECT_EQ(error.Why().Step, FailedStep::ChangedSincePlanned);
  }
  EXPECT_EQ(test::ReadBytes(file), changed);
  EXPECT_FALSE(fs::exists(JournalOf(file)));
}

// The levels of an uncompressed 96 MB image take about 34 MB. A copy of the image does
// not fit into the folder; the levels do, once beside the file while the tool writes
// them, and once more only a chunk at a time while they are appended.
TEST(AppendLink, AFolderWithRoomForTheLevelsButNotForACopyIsEnough) {
  Scratch s;
  const std::string folder = s.UseSmallTmp("152m");
  if (folder.empty()) GTEST_SKIP() << "cannot mount a small tmpfs here";
  const std::string file = folder + "/file.tif";
  ASSERT_TRUE(Sh("gdal_create -q -of GTiff -outsize 4000 8000 -bands 3 -burn 20 -burn 90 -burn 160 " + Quoted(file)));
  int copied = 0;
  test::Output("cp " + Quoted(file) + " " + Quoted(folder + "/copy.tif"), &copied);
  EXPECT_NE(copied, 0) << "a copy fits";
  fs::remove(folder + "/copy.tif");

  ASSERT_EQ(RunChild(file, "none", "average", {2, 4, 8, 16}), 0);
  EXPECT_NE(test::Output("gdalinfo " + Quoted(file)).find("Overviews: 2000x4000, 1000x2000, 500x1000, 250x500"),
            std::string::npos);
  EXPECT_EQ(Entries(folder), std::vector<std::string>{"file.tif"});
}

// A disk that fills up while the levels are appended: the failure says so and where,
// and the file is left with its bytes and times as they were.
TEST(AppendLink, AFullDiskDuringTheAppendNamesItselfAndLeavesTheFileAsItWas) {
  Scratch s;
  const std::string folder = s.UseSmallTmp("64m");
  if (folder.empty()) GTEST_SKIP() << "cannot mount a small tmpfs here";
  MakeNoise(s.Data(), 1);
  const std::string file = folder + "/file.tif";
  ASSERT_TRUE(Sh("cd " + Quoted(s.Data()) + " && " + Grey + "-co TILED=YES -outsize 400% 400% " + Quoted(file)));
  const std::string original = test::ReadBytes(file);
  const auto modified = fs::last_write_time(file);
  int status = 0;
  const std::string said = test::Output(Quoted(KELVORY_APPEND_LINK_CHILD) + " " + Quoted(file) + " fill:Append average 2 4", &status);
  EXPECT_EQ(status, 3) << said;
  EXPECT_NE(said.find("cannot add the levels to " + file + ", which is as it was: No space left on device"),
            std::string::npos) << said;
  EXPECT_TRUE(test::ReadBytes(file) == original);
  EXPECT_EQ(fs::last_write_time(file), modified);
  EXPECT_EQ(Entries(folder), (std::vector<std::string>{"file.tif", "filler"}));
}

}  // namespace
}  // namespace kelvory
