// Files written by GDAL and libtiff at test time, read back by the reader.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/MemoryStream.h"
#include "tiff/TIFFBitmap.h"
#include "tests/tiff/ReaderFailure.h"
#include "tiff/TIFFIFD.h"

namespace kelvory {
namespace {

bool HasTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

class RealFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kelvory-real-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Runs a shell command inside the test folder; its output is kept for the failure text.
  bool Run(const std::string& command, std::string* output = nullptr) {
    const std::string full = "cd '" + folder_ + "' && GDAL_PAM_ENABLED=NO " + command + " 2>&1";
    FILE* pipe = ::popen(full.c_str(), "r");
    if (pipe == nullptr) return false;
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
    const int status = ::pclose(pipe);
    if (output) *output = text;
    if (status != 0) ADD_FAILURE() << command << " failed:\n" << text;
    return status == 0;
  }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }

  // The load's outcome: "" on success, else the message.
  static std::string Load(TTIFFBitmap& bitmap, const std::string& path) {
    try {
      EXPECT_TRUE(bitmap.LoadFromFile(path));
      return "";
    } catch (const Exception& e) {
      EXPECT_EQ(bitmap.DirectoryCount(), 0);
      return test::FailureName(e);
    }
  }

  // Bits per pixel of the file's first directory as the validation found it.
  static std::int32_t FirstBitsPerPixel(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    platform::MemoryStream stream(bytes);
    std::uint32_t first = 0;
    for (int i = 0; i < 4; ++i) first |= std::uint32_t{bytes.at(4 + i)} << (8 * i);
    stream.SetPosition(first);
    std::uint32_t next = 0;
    return TTIFFIFD(stream, next).BitsPerPixel();
  }

  std::string folder_;
};

TEST_F(RealFiles, OverviewsGiveTheDirectoryCountAndSizeGdalinfoReports) {
  for (const char* tool : {"gdal_create", "gdaladdo", "gdalinfo"})
    if (!HasTool(tool)) GTEST_SKIP() << tool << " is not installed";
  ASSERT_TRUE(Run("gdal_create -of GTiff -outsize 300 200 -bands 1 -ot Byte -burn 3 -co TILED=YES pyr.tif"));
  ASSERT_TRUE(Run("gdaladdo -q -r nearest pyr.tif 2 4 8 16"));
  std::string info;
  ASSERT_TRUE(Run("gdalinfo pyr.tif", &info));

  std::smatch size;
  ASSERT_TRUE(std::regex_search(info, size, std::regex(R"(Size is (\d+), (\d+))"))) << info;
  std::smatch overviews;
  ASSERT_TRUE(std::regex_search(info, overviews, std::regex(R"(Overviews: ([^\n]*))"))) << info;
  const std::string list = overviews[1];
  const auto levels = std::count(list.begin(), list.end(), 'x');

  TTIFFBitmap bitmap;
  ASSERT_EQ(Load(bitmap, Path("pyr.tif")), "");
  EXPECT_EQ(bitmap.DirectoryCount(), 1 + levels);
  EXPECT_EQ(levels, 4);
  std::int32_t width = 0, height = 0;
  ASSERT_TRUE(bitmap.GetImageSize(1, width, height));
  EXPECT_EQ(width, std::stoi(size[1]));
  EXPECT_EQ(height, std::stoi(size[2]));
  ASSERT_TRUE(bitmap.GetImageSize(bitmap.DirectoryCount(), width, height));
  EXPECT_EQ(width, 19);  // 300 / 16, rounded up
}

TEST_F(RealFiles, ImageKindsGetTheOutcomeOfTheirPhotometricAndDepth) {
  struct Case {
    const char* file;
    std::vector<const char*> tools;
    std::string commands;
    std::string expected;  // "" for an accepted file
    std::int32_t bits;     // checked when accepted
  };
  const std::string create = "gdal_create -of GTiff -outsize 16 16 ";
  const std::string paletteVrt =
      "printf '%s' '<VRTDataset rasterXSize=\"16\" rasterYSize=\"16\"><VRTRasterBand dataType=\"Byte\" band=\"1\">"
      "<ColorInterp>Palette</ColorInterp><ColorTable><Entry c1=\"0\" c2=\"0\" c3=\"0\" c4=\"255\"/>"
      "<Entry c1=\"255\" c2=\"0\" c3=\"0\" c4=\"255\"/></ColorTable><SimpleSource>"
      "<SourceFilename relativeToVRT=\"1\">grey.tif</SourceFilename><SourceBand>1</SourceBand></SimpleSource>"
      "</VRTRasterBand></VRTDataset>' > pal.vrt && " + create + "-bands 1 -burn 1 grey.tif && ";
  const std::vector<Case> cases = {
      {"grey8.tif", {"gdal_create"}, create + "-bands 1 grey8.tif", "", 8},
      {"grey1.tif", {"gdal_create"}, create + "-bands 1 -co NBITS=1 grey1.tif", "", 1},
      {"grey16.tif", {"gdal_create"}, create + "-bands 1 -ot UInt16 grey16.tif", "", 16},
      {"grey12.tif", {"gdal_create"}, create + "-bands 1 -ot UInt16 -co NBITS=12 grey12.tif", test::UnsupportedImageFormat, 0},
      {"float32.tif", {"gdal_create"}, create + "-bands 1 -ot Float32 float32.tif", test::UnsupportedImageFormat, 0},
      {"rgb8.tif", {"gdal_create"}, create + "-bands 3 -co PHOTOMETRIC=RGB rgb8.tif", "", 24},
      {"rgb16.tif", {"gdal_create"}, create + "-bands 3 -ot UInt16 -co PHOTOMETRIC=RGB rgb16.tif", "", 48},
      {"rgba.tif", {"gdal_create"}, create + "-bands 4 -co PHOTOMETRIC=RGB -co ALPHA=YES rgba.tif", "", 24},
      {"cmyk.tif", {"gdal_create"}, create + "-bands 4 -co PHOTOMETRIC=CMYK cmyk.tif", "", 32},
      {"ycbcr.tif", {"gdal_create", "gdal_translate"},
       create + "-bands 3 rgb.tif && gdal_translate -q -co COMPRESS=JPEG -co PHOTOMETRIC=YCBCR rgb.tif ycbcr.tif", "", 0},
      {"pal8.tif", {"gdal_create", "gdal_translate"}, paletteVrt + "gdal_translate -q pal.vrt pal8.tif", "", 8},
      {"pal4.tif", {"gdal_create", "gdal_translate"}, paletteVrt + "gdal_translate -q -co NBITS=4 pal.vrt pal4.tif", "", 4},
      {"pal2.tif", {"gdal_create", "gdal_translate"}, paletteVrt + "gdal_translate -q -co NBITS=2 pal.vrt pal2.tif",
       test::UnsupportedImageFormat, 0},
      {"bigendian.tif", {"gdal_create", "tiffcp"}, create + "-bands 1 le.tif && tiffcp -B le.tif bigendian.tif",
       test::UnsupportedFileType, 0},
      {"bigtiff.tif", {"gdal_create", "gdal_translate"},
       create + "-bands 1 le.tif && gdal_translate -q -co BIGTIFF=YES le.tif bigtiff.tif", test::UnsupportedFileType, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    bool available = true;
    for (const char* tool : c.tools) available = available && HasTool(tool);
    if (!available) {
      std::printf("skipped %s: a tool is missing\n", c.file);
      continue;
    }
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directory(folder_);
    ASSERT_TRUE(Run(c.commands));
    TTIFFBitmap bitmap;
    EXPECT_EQ(Load(bitmap, Path(c.file)), c.expected);
    if (c.expected.empty()) {
      EXPECT_EQ(bitmap.DirectoryCount(), 1);
      std::int32_t width = 0, height = 0;
      EXPECT_TRUE(bitmap.GetImageSize(1, width, height));
      EXPECT_EQ(width, 16);
      EXPECT_EQ(height, 16);
      EXPECT_EQ(FirstBitsPerPixel(Path(c.file)), c.bits);
    }
  }
}

// Every directory of files GDAL and libtiff write in layouts and sample types beyond
// the classic rules, read in the widened mode: its size and its subfile type
// (1 a reduced-resolution level, 4 a mask, 5 a mask of a level).
TEST_F(RealFiles, WidenedReadingTakesEveryLayoutAndSampleTypeGdalWrites) {
  struct Level {
    std::int32_t width;
    std::int32_t height;
    std::uint32_t subfileType;
  };
  struct Case {
    std::string file;
    std::vector<const char*> tools;
    std::string commands;
    std::vector<Level> levels;
    bool cog;
  };
  const std::string create = "gdal_create -of GTiff -outsize 64 48 -bands 1 -burn 3 ";
  const std::vector<Level> single = {{64, 48, 0}};
  const std::vector<Level> twoLevels = {{64, 48, 0}, {32, 24, 1}, {16, 12, 1}};
  const std::string paletteVrt =
      "printf '%s' '<VRTDataset rasterXSize=\"64\" rasterYSize=\"48\"><VRTRasterBand dataType=\"Byte\" band=\"1\">"
      "<ColorInterp>Palette</ColorInterp><ColorTable><Entry c1=\"0\" c2=\"0\" c3=\"0\" c4=\"255\"/>"
      "<Entry c1=\"255\" c2=\"0\" c3=\"0\" c4=\"255\"/></ColorTable><SimpleSource>"
      "<SourceFilename relativeToVRT=\"1\">grey.tif</SourceFilename><SourceBand>1</SourceBand></SimpleSource>"
      "</VRTRasterBand></VRTDataset>' > pal.vrt && " + create + "grey.tif && ";
  std::vector<Case> cases = {
      {"bigtiff.tif", {"gdal_create", "gdaladdo"},
       create + "-co BIGTIFF=YES bigtiff.tif && gdaladdo -q bigtiff.tif 2 4", twoLevels, false},
      {"bigendian.tif", {"gdal_create", "gdaladdo", "tiffcp"},
       create + "le.tif && gdaladdo -q le.tif 2 4 && tiffcp -B le.tif bigendian.tif", twoLevels, false},
      {"bigendian-bigtiff.tif", {"gdal_create", "gdaladdo", "tiffcp"},
       create + "le.tif && gdaladdo -q le.tif 2 4 && tiffcp -B -8 le.tif bigendian-bigtiff.tif", twoLevels, false},
      {"pal1.tif", {"gdal_create", "gdal_translate"}, paletteVrt + "gdal_translate -q -co NBITS=1 pal.vrt pal1.tif",
       single, false},
      {"pal2.tif", {"gdal_create", "gdal_translate"}, paletteVrt + "gdal_translate -q -co NBITS=2 pal.vrt pal2.tif",
       single, false},
      {"masked.tif", {"gdal_create", "gdal_translate", "gdaladdo"},
       create + "src.tif && gdal_translate -q --config GDAL_TIFF_INTERNAL_MASK YES -mask 1 src.tif masked.tif"
                " && gdaladdo -q masked.tif 2 4",
       {{64, 48, 0}, {64, 48, 4}, {32, 24, 1}, {16, 12, 1}, {32, 24, 5}, {16, 12, 5}}, false},
      {"pages.tif", {"gdal_create", "tiffcp"},
       create + "a.tif && gdal_create -outsize 20 10 -bands 3 b.tif && gdal_create -outsize 10 5 -ot Float32 c.tif"
                " && tiffcp a.tif b.tif c.tif pages.tif",
       {{64, 48, 0}, {20, 10, 0}, {10, 5, 0}}, false},
      {"cog.tif", {"gdal_create", "gdal_translate"},
       "gdal_create -outsize 1024 768 -bands 1 s.tif && gdal_translate -q -of COG s.tif cog.tif",
       {{1024, 768, 0}, {512, 384, 1}}, true},
      {"cog-bigtiff.tif", {"gdal_create", "gdal_translate"},
       "gdal_create -outsize 1024 768 -bands 1 s.tif && gdal_translate -q -of COG -co BIGTIFF=YES s.tif cog-bigtiff.tif",
       {{1024, 768, 0}, {512, 384, 1}}, true},
      {"cog-edited.tif", {"gdal_create", "gdal_translate", "gdaladdo"},
       "gdal_create -outsize 1024 768 -bands 1 s.tif && gdal_translate -q -of COG s.tif cog-edited.tif"
       " && gdaladdo -q cog-edited.tif 4",
       {{1024, 768, 0}, {512, 384, 1}, {256, 192, 1}}, false},
  };
  for (const char* type : {"Float32", "Float64", "Int32", "UInt32", "CInt16", "CFloat32"})
    cases.push_back({std::string(type) + ".tif", {"gdal_create"}, create + "-ot " + type + " " + type + ".tif", single, false});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    bool available = true;
    for (const char* tool : c.tools) available = available && HasTool(tool);
    if (!available) {
      std::printf("skipped %s: a tool is missing\n", c.file.c_str());
      continue;
    }
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directory(folder_);
    ASSERT_TRUE(Run(c.commands));
    TTIFFBitmap bitmap(ReadingMode::Widened);
    ASSERT_EQ(Load(bitmap, Path(c.file)), "");
    ASSERT_EQ(bitmap.DirectoryCount(), static_cast<std::int32_t>(c.levels.size()));
    for (std::int32_t i = 1; i <= bitmap.DirectoryCount(); ++i) {
      const Level& level = c.levels[static_cast<std::size_t>(i) - 1];
      std::int32_t width = 0, height = 0;
      ASSERT_TRUE(bitmap.GetImageSize(i, width, height));
      EXPECT_EQ(width, level.width) << "directory " << i;
      EXPECT_EQ(height, level.height) << "directory " << i;
      EXPECT_EQ(bitmap.SubfileType(i), level.subfileType) << "directory " << i;
    }
    EXPECT_EQ(bitmap.DeclaresCogLayout(), c.cog);
  }
}

}  // namespace
}  // namespace kelvory
