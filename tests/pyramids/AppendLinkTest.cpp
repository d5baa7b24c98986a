// Levels built beside a file with the real gdaladdo -ro and appended to it, against
// gdaladdo in place; the kinds that keep the working copy; builds cut short anywhere.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Scratch.h"
#include "platform/FileClaim.h"
#include "platform/FileStream.h"
#include "pyramids/AppendLink.h"
#include "pyramids/AppendRecovery.h"
#include "tiff/TiffAppend.h"
#include "tiff/TiffChain.h"

namespace kelvory {
namespace {

using test::Quoted;
using test::ReadBytes;
using test::Scratch;
using test::WriteBytes;
namespace fs = std::filesystem;

// A shell command's output and error output; status receives its exit status.
std::string Output(const std::string& command, int* status = nullptr) {
  FILE* pipe = ::popen(("timeout 120 sh -c " + Quoted(command) + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return {};
  std::string text;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  const int ended = ::pclose(pipe);
  if (status) *status = WIFEXITED(ended) ? WEXITSTATUS(ended) : -1;
  return text;
}

// Runs a shell command that must succeed.
bool Sh(const std::string& command) {
  int status = 0;
  const std::string text = Output(command, &status);
  if (status != 0) ADD_FAILURE() << command << "\n" << text;
  return status == 0;
}

// An image with detail everywhere but a blank rectangle, as PGM (one band) or PPM
// (three): resampling methods and JPEG qualities give different levels of it, and its
// first band makes a mask with a hole.
std::string MakeNoise(const std::string& folder, int bands) {
  const int width = 600, height = 500;
  std::string image = (bands == 1 ? "P5\n" : "P6\n") + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  std::uint32_t state = 12345;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int b = 0; b < bands; ++b) {
        state = state * 1103515245u + 12345u;
        const bool blank = x >= 100 && x < 230 && y >= 90 && y < 200;
        image += static_cast<char>(blank ? 0 : 1 + ((x / 16 + y / 16) * 29 + b * 50 + (state >> 16) % 48) % 250);
      }
  const std::string path = folder + (bands == 1 ? "noise.pgm" : "noise.ppm");
  WriteBytes(path, image);
  return path;
}

// What GDAL reads of a file: every band's, level's and mask level's checksum.
std::string Checksums(const std::string& path, int levels) {
  std::string lines;
  std::istringstream info(Output("gdalinfo -checksum " + Quoted(path)));
  for (std::string line; std::getline(info, line);)
    if (line.find("Checksum") != std::string::npos || line.find("Overviews") != std::string::npos ||
        line.find("Mask Flags") != std::string::npos || line.find("ERROR") != std::string::npos)
      lines += line + "\n";
  if (lines.find("PER_DATASET") == std::string::npos) return lines;
  const std::string mask = path + ".mask.tif";
  for (int level = -1; level < levels; ++level) {
    const std::string open = level < 0 ? "" : " -oo OVERVIEW_LEVEL=" + std::to_string(level);
    lines += "mask " + std::to_string(level) + ": " +
             Output("gdal_translate -q -b mask" + open + " " + Quoted(path) + " " + Quoted(mask) +
                    " && gdalinfo -checksum " + Quoted(mask) + " | grep Checksum");
    fs::remove(mask);
  }
  return lines;
}

// Every directory's tags and values, but where the blocks lie and how the byte counts
// are typed (libtiff picks their width by their values).
std::string Tags(const std::string& path) {
  std::error_code error;
  auto stream = platform::FileStream::Open(path, error);
  if (!stream) return "cannot open " + path;
  const TiffChain chain = ReadTiffChain(*stream);
  std::ostringstream text;
  for (const TiffDirectory& directory : chain.Directories) {
    text << "directory\n";
    for (const TiffEntry& entry : directory.Entries) {
      if (entry.Tag == TiffTag::TileOffsets || entry.Tag == TiffTag::StripOffsets) continue;
      const bool counts = entry.Tag == TiffTag::TileByteCounts || entry.Tag == TiffTag::StripByteCounts;
      text << entry.Tag << ' ' << (counts ? 0 : entry.Type) << ':';
      const std::vector<std::uint64_t> numbers = chain.Numbers(entry);
      if (!numbers.empty() || entry.Count == 0)
        for (std::uint64_t n : numbers) text << ' ' << n;
      else
        for (std::uint8_t b : entry.Values) text << ' ' << int{b};
      text << '\n';
    }
  }
  return text.str();
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Factors(const std::vector<std::int64_t>& factors) {
  std::string text;
  for (std::int64_t f : factors) text += " " + std::to_string(f);
  return text;
}

// The child that builds one file and stops where told (AppendLinkChild.cpp).
int RunChild(const std::string& source, const std::string& stop, const std::string& resampling,
             const std::vector<std::int64_t>& factors) {
  const int status = std::system(("timeout 120 " + Quoted(KELVORY_APPEND_LINK_CHILD) + " " + Quoted(source) + " " +
                                  stop + " " + (resampling.empty() ? "-" : resampling) + Factors(factors) +
                                  " >/dev/null 2>&1")
                                     .c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Kind {
  const char* name;
  std::string make;  // makes kind.tif from noise.pgm and noise.ppm
  std::string resampling;
};

const std::string Grey = "gdal_translate -q noise.pgm ";
const std::string Rgb = "gdal_translate -q -co PHOTOMETRIC=RGB noise.ppm ";
const std::string Masked = "gdal_translate -q -mask 1 --config GDAL_TIFF_INTERNAL_MASK YES noise.pgm ";
const std::string Palette =
    "printf '%s' '<VRTDataset rasterXSize=\"600\" rasterYSize=\"500\"><VRTRasterBand dataType=\"Byte\" band=\"1\">"
    "<ColorInterp>Palette</ColorInterp><ColorTable><Entry c1=\"0\" c2=\"0\" c3=\"0\" c4=\"255\"/>"
    "<Entry c1=\"255\" c2=\"0\" c3=\"0\" c4=\"255\"/><Entry c1=\"0\" c2=\"250\" c3=\"0\" c4=\"255\"/>"
    "<Entry c1=\"0\" c2=\"0\" c3=\"250\" c4=\"255\"/></ColorTable><SimpleSource><SourceFilename relativeToVRT=\"1\">"
    "four.tif</SourceFilename><SourceBand>1</SourceBand></SimpleSource></VRTRasterBand></VRTDataset>' > pal.vrt"
    " && gdal_translate -q -scale 0 255 0 3.99 noise.pgm four.tif && gdal_translate -q pal.vrt ";

const std::vector<std::int64_t> TwoFactors = {2, 4};

TEST(AppendLink, LevelsEqualThoseGdaladdoWritesInPlaceForEveryProvenKind) {
  if (!test::ToolInstalled("gdal_translate") || !test::ToolInstalled("tiffcp")) GTEST_SKIP() << "GDAL or libtiff tools missing";
  const std::vector<Kind> kinds = {
      {"grey-strips", Grey + "kind.tif", ""},
      {"rgb-lzw-tiled", Rgb + "-co COMPRESS=LZW -co TILED=YES kind.tif", "average"},
      {"rgb-zstd-bands", Rgb + "-co COMPRESS=ZSTD -co INTERLEAVE=BAND kind.tif", "cubic"},
      {"uint16-predictor", Grey + "-ot UInt16 -scale 0 255 0 65535 -co COMPRESS=LZW -co PREDICTOR=2 kind.tif",
       "average"},
      {"float32-tiles-512", Grey + "-ot Float32 -co COMPRESS=DEFLATE -co PREDICTOR=3 -co TILED=YES "
                                   "-co BLOCKXSIZE=512 -co BLOCKYSIZE=512 kind.tif", "bilinear"},
      {"int32-oblong-tiles", Grey + "-ot Int32 -co TILED=YES -co BLOCKXSIZE=256 -co BLOCKYSIZE=128 kind.tif", "mode"},
      {"cint16", Grey + "-ot CInt16 kind.tif", "average"},
      {"one-bit", Grey + "-scale 0 255 0 1.99 -co NBITS=1 kind.tif", "average"},
      {"one-bit-white", Grey + "-scale 0 255 0 1.99 -co NBITS=1 -co PHOTOMETRIC=MINISWHITE kind.tif", ""},
      {"palette", Palette + "kind.tif", "average"},
      {"rgba", "gdal_translate -q -b 1 -b 2 -b 3 -b 1 -co PHOTOMETRIC=RGB -co ALPHA=YES noise.ppm kind.tif",
       "average"},
      {"nodata-lzma", Grey + "-a_nodata 0 -co COMPRESS=LZMA kind.tif", "average"},
      {"packbits", Grey + "-co COMPRESS=PACKBITS kind.tif", "lanczos"},
      {"bigtiff", Rgb + "-co BIGTIFF=YES -co TILED=YES kind.tif", "average"},
      {"big-endian", Rgb + "le.tif && tiffcp -B le.tif kind.tif", "average"},
      {"big-endian-bigtiff", Grey + "-co TILED=YES le.tif && tiffcp -B -8 le.tif kind.tif", ""},
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
      {"cmyk", "gdal_translate -q -b 1 -b 2 -b 3 -b 1 -co PHOTOMETRIC=CMYK noise.ppm kind.tif", "",
       AppendLinkRefusal::Photometric},
      {"big-endian-16", Grey + "-ot UInt16 le.tif && tiffcp -B le.tif kind.tif", "", AppendLinkRefusal::BigEndianWideSamples},
      {"masked-average", Masked + "kind.tif", "average", AppendLinkRefusal::MaskWithResampling},
      {"levels-inside", Grey + "kind.tif && gdaladdo -q kind.tif 2", "", AppendLinkRefusal::ExistingLevels},
      {"levels-beside", Grey + "kind.tif && gdaladdo -q -ro kind.tif 2", "", AppendLinkRefusal::OverviewFilePresent},
      {"jpeg-tables-in-tiles", Grey + "-co COMPRESS=JPEG -co JPEGTABLESMODE=0 kind.tif", "",
       AppendLinkRefusal::JpegQualityUnknown},
      {"ccitt", Grey + "-scale 0 255 0 1.99 -co NBITS=1 -co COMPRESS=CCITTFAX4 kind.tif", "",
       AppendLinkRefusal::Compression},
      {"subifds", Grey + "a.tif && " + Grey + "b.tif && tiffcp a.tif b.tif kind.tif && tiffset -d 0 -s 330 1 8 kind.tif",
       "", AppendLinkRefusal::TagsPointIntoFile},
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
    EXPECT_EQ(DecideAppendLink(path, c.resampling).Refusal, c.refusal) << DescribeRefusal(DecideAppendLink(path, c.resampling).Refusal);
  }
}

}  // namespace
}  // namespace kelvory
