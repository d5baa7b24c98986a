// The JPEG quality and tables mode read from a file's JPEG tables, against what GDAL
// reports of the same file.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "AppendLinkFixture.h"
#include "pyramids/JpegQuality.h"

namespace kelvory {
namespace {

using test::Quoted;

// GDAL's JPEG_QUALITY and JPEGTABLESMODE of the file, as "quality mode".
std::string GdalReads(const std::string& path) {
  const std::string info = test::Output("gdalinfo " + Quoted(path));
  std::smatch quality, mode;
  std::regex_search(info, quality, std::regex("JPEG_QUALITY=(\\d+)"));
  std::regex_search(info, mode, std::regex("JPEGTABLESMODE=(\\d+)"));
  return quality.str(1) + " " + mode.str(1);
}

std::string WeRead(const std::string& path) {
  std::error_code error;
  auto stream = platform::FileStream::Open(path, error);
  const TiffChain chain = ReadTiffChain(*stream);
  const TiffEntry* tables = chain.Directories.at(0).Find(TiffTag::JpegTables);
  if (tables == nullptr) return "no tables";
  const auto quality = JpegQualityOf(tables->Values);
  return (quality ? std::to_string(*quality) : "") + " " + std::to_string(JpegTablesModeOf(tables->Values));
}

TEST(JpegQuality, QualityAndTablesModeAreTheOnesGdalReports) {
  test::Scratch s;
  test::MakeNoise(s.Data(), 3);
  for (const char* model : {"-b 1 ", "-co PHOTOMETRIC=YCBCR "}) {
    // Both sides of where libjpeg's scaling changes (50) and where tables pass 255 (below 25).
    int mode = 1;
    for (const int quality : {1, 10, 24, 25, 49, 50, 51, 75, 99, 100}) {
      mode = 4 - mode;  // 3 and 1 in turn
      const std::string name = std::to_string(quality) + "-" + std::to_string(mode) + ".tif";
      SCOPED_TRACE(model + name);
      ASSERT_TRUE(test::Sh("cd " + Quoted(s.Data()) + " && gdal_translate -q -co COMPRESS=JPEG " + model +
                           "-co JPEG_QUALITY=" + std::to_string(quality) + " -co JPEGTABLESMODE=" +
                           std::to_string(mode) + " noise.ppm " + name));
      const std::string gdal = GdalReads(s.Data() + name);
      EXPECT_EQ(gdal, std::to_string(quality) + " " + std::to_string(mode));
      EXPECT_EQ(WeRead(s.Data() + name), gdal);
    }
  }
}

}  // namespace
}  // namespace kelvory
