// Every way kelvory-batch builds a file's levels against plain gdaladdo in place on a
// copy of the file with its sidecars: every band's, level's and mask level's checksum.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/NoiseImage.h"
#include "tests/batch/GisFixture.h"

namespace kelvory::test {
namespace {

namespace fs = std::filesystem;

// 900 x 700 asks for three levels. Detail everywhere but a blank rectangle whose edges
// fall inside the blocks every level averages, and which holds whole 128-pixel tiles.
std::string Noise(int bands) { return NoiseImage(900, 700, bands, {101, 523, 91, 391}); }

const std::string Grey = "gdal_translate -q noise.pgm ";
const std::string Rgb = "gdal_translate -q -co PHOTOMETRIC=RGB noise.ppm ";
// -9999 where the image is blank.
const std::string Dem = "gdal_translate -q -scale 0 255 -9999 -8979 noise.pgm ";
const std::string PamNodata =
    "printf '<PAMDataset><PAMRasterBand band=\"1\"><NoDataValue>-9999</NoDataValue></PAMRasterBand></PAMDataset>' > ";
const std::string Palette =
    "printf '%s' '<VRTDataset rasterXSize=\"900\" rasterYSize=\"700\"><VRTRasterBand dataType=\"Byte\" band=\"1\">"
    "<ColorInterp>Palette</ColorInterp><ColorTable><Entry c1=\"0\" c2=\"0\" c3=\"0\" c4=\"255\"/>"
    "<Entry c1=\"255\" c2=\"0\" c3=\"0\" c4=\"255\"/><Entry c1=\"0\" c2=\"250\" c3=\"0\" c4=\"255\"/>"
    "<Entry c1=\"0\" c2=\"0\" c3=\"250\" c4=\"255\"/></ColorTable><SimpleSource><SourceFilename relativeToVRT=\"1\">"
    "four.tmp</SourceFilename><SourceBand>1</SourceBand></SimpleSource></VRTRasterBand></VRTDataset>' > pal.vrt"
    " && gdal_translate -q -of GTiff -scale 0 255 0 3.99 noise.pgm four.tmp && gdal_translate -q pal.vrt ";

TEST_F(GisFiles, EveryWayGivesTheLevelsGdaladdoGivesInPlace) {
  // Ways, in the order of each kind's outcomes: the working copy (forced by a --config
  // option that changes nothing), the append way (forced by a second hard link) and a
  // destination folder, each with nearest and with average resampling.
  struct Way {
    std::string name;
    std::vector<std::string> args;
    std::size_t outcome;  // the column of the kinds' outcomes
  };
  std::vector<Way> ways = {
      {"copy-nearest", {"--config", "CPL_DEBUG", "OFF"}, 0},
      {"copy-average", {"-r", "average", "--config", "CPL_DEBUG", "OFF"}, 1},
      {"append-nearest", {}, 2},
      {"append-average", {"-r", "average"}, 3},
      {"dest-nearest", {"--dest"}, 4},
      {"dest-average", {"-r", "average", "--dest"}, 5},
  };
  // The copy and the append way again with GDAL's threads, which must give the same
  // levels (a destination's tool runs as the copy's does).
  for (std::size_t w = 0; w < 4; ++w) {
    Way threaded = ways[w];
    threaded.name += "-threads";
    threaded.args.insert(threaded.args.end(), {"--config", "GDAL_NUM_THREADS", "4"});
    ways.push_back(threaded);
  }
  struct Kind {
    const char* name;
    std::string make;  // makes kind.tif (and its sidecars) from noise.pgm and noise.ppm
    // Per way: done (levels as in place), kept (hard_links: the append way refuses the
    // kind) or the code of the reason.
    std::vector<std::string> outcomes;
    // The kind whose levels in place are the ones expected, when gdaladdo in place
    // breaks this one's.
    const char* levelsOf = nullptr;
    std::string factors = "2 4 8";
  };
  const std::vector<std::string> allDone(6, "done");
  const std::vector<std::string> appendNearestOnly{"done", "done", "done", "kept", "done", "done"};
  // gdaladdo -ro picks other pixels by nearest for uncompressed levels of odd sizes.
  const std::vector<std::string> appendAverageOnly{"done", "done", "kept", "done", "done", "done"};
  const std::vector<std::string> workingCopyOnly{"done", "done", "kept", "kept", "done", "done"};
  std::vector<Kind> kinds = {
      {"rgb-lzw", Rgb + "-co COMPRESS=LZW -co TILED=YES kind.tif", allDone},
      {"rgb-deflate-predictor", Rgb + "-co COMPRESS=DEFLATE -co PREDICTOR=2 kind.tif", allDone},
      {"jpeg-ycbcr", Rgb + "-co COMPRESS=JPEG -co PHOTOMETRIC=YCBCR -co TILED=YES kind.tif", allDone},
      {"zstd", Grey + "-co COMPRESS=ZSTD kind.tif", allDone},
      {"lzma-tiled", Grey + "-co COMPRESS=LZMA -co TILED=YES kind.tif", allDone},
      {"rgb-packbits", Rgb + "-co COMPRESS=PACKBITS kind.tif", allDone},
      {"webp", Rgb + "-co COMPRESS=WEBP kind.tif", workingCopyOnly},
      {"lerc", Dem + "-ot Float32 -co COMPRESS=LERC kind.tif", workingCopyOnly},
      {"float32-nodata", Dem + "-ot Float32 -a_nodata -9999 kind.tif", appendAverageOnly},
      // gdaladdo in place leaves a broken chain with one level and exits 0: the copies
      // fail with its error, the append way gives the levels nodata in the file gives.
      {"float32-nodata-aux-xml", Dem + "-ot Float32 kind.tif && " + PamNodata + "kind.tif.aux.xml",
       {"failed", "failed", "kept", "done", "failed", "failed"}, "float32-nodata"},
      {"int16-dem", Dem + "-ot Int16 -a_nodata -9999 -co TILED=YES kind.tif", appendAverageOnly},
      {"one-bit", Grey + "-scale 0 255 0 1.99 -co NBITS=1 kind.tif", appendAverageOnly},
      {"palette", Palette + "kind.tif", appendAverageOnly},
      {"mask-internal", Grey + "-mask 1 --config GDAL_TIFF_INTERNAL_MASK YES -co COMPRESS=LZW kind.tif",
       appendNearestOnly},
      // Its levels go into the mask file too, which cannot be replaced with the file.
      {"mask-file", Grey + "-mask 1 --config GDAL_TIFF_INTERNAL_MASK NO kind.tif",
       {"mask_file_in_place", "mask_file_in_place", "mask_file_in_place", "mask_file_in_place", "done", "done"}},
      {"bigtiff", Rgb + "-co BIGTIFF=YES -co TILED=YES kind.tif", appendAverageOnly},
      {"big-endian-8", Rgb + "-of GTiff le.tmp && tiffcp -B le.tmp kind.tif", appendAverageOnly},
      {"big-endian-16", Grey + "-of GTiff -ot UInt16 -scale 0 255 0 65535 le.tmp && tiffcp -B le.tmp kind.tif", workingCopyOnly},
      {"uint16-8-bands", Grey + "-ot UInt16 -scale 0 255 0 65535 -b 1 -b 1 -b 1 -b 1 -b 1 -b 1 -b 1 -b 1 kind.tif",
       appendAverageOnly},
      {"existing-levels", Grey + "-co TILED=YES kind.tif && gdaladdo -q kind.tif 2", workingCopyOnly, nullptr, "4 8"},
      {"sparse", Grey + "-co SPARSE_OK=TRUE -co TILED=YES -co BLOCKXSIZE=128 -co BLOCKYSIZE=128 kind.tif", appendAverageOnly},
  };
  // A kind whose compression this GDAL's GeoTIFF driver lacks is left out.
  const std::string driver = Sh("gdalinfo --format GTiff");
  std::erase_if(kinds, [&](const Kind& kind) {
    const std::size_t at = kind.make.find("COMPRESS=");
    if (at == std::string::npos) return false;
    const std::string compression = kind.make.substr(at + 9, kind.make.find(' ', at) - at - 9);
    if (driver.find("<Value>" + compression + "</Value>") != std::string::npos) return false;
    RecordProperty(std::string("left out: ") + kind.name, "no " + compression + " in GDAL's GeoTIFF driver");
    return true;
  });
  fs::create_directories(root_ / "kinds");
  WriteAll(root_ / "kinds" / "noise.pgm", Noise(1));
  WriteAll(root_ / "kinds" / "noise.ppm", Noise(3));

  // What GDAL reads of a file, and what it says while it reads it.
  const auto checksums = [&](const std::string& path) {
    const ChildResult info = RunChild({GDALINFO, "-checksum", path});
    std::string lines;
    std::istringstream text(info.out + info.err);
    for (std::string line; std::getline(text, line);)
      if (line.find("Checksum") != std::string::npos || line.find("Overviews") != std::string::npos ||
          line.find("Mask Flags") != std::string::npos || line.find("ERROR") != std::string::npos)
        lines += line + "\n";
    if (lines.find("PER_DATASET") == std::string::npos) return lines;
    for (int level = -1; level < 3; ++level) {
      const std::string open = level < 0 ? "" : " -oo OVERVIEW_LEVEL=" + std::to_string(level);
      lines += "mask " + std::to_string(level) + ": " +
               Sh("gdal_translate -q -of GTiff -b mask" + open + " '" + path + "' mask.tmp && gdalinfo -checksum mask.tmp | "
                  "grep Checksum; rm -f mask.tmp");
    }
    return lines;
  };

  const std::vector<std::string> sidecars = {"", ".aux.xml", ".msk"};
  // A kind's file with its sidecars, as name.tif in folder.
  const auto place = [&](const Kind& kind, const std::string& folder) {
    fs::create_directories(root_ / folder);
    for (const std::string& sidecar : sidecars)
      if (fs::exists(root_ / "kinds" / (std::string(kind.name) + ".tif" + sidecar)))
        fs::copy_file(root_ / "kinds" / (std::string(kind.name) + ".tif" + sidecar),
                      root_ / folder / (std::string(kind.name) + ".tif" + sidecar));
  };

  std::map<std::string, std::string> expected;  // kind and method: levels in place
  std::string makeAll = "cd kinds";
  for (const Kind& kind : kinds)
    makeAll += " && " + kind.make + " && for f in kind.tif*; do mv \"$f\" " + kind.name + "\"${f#kind}\"; done";
  Sh(makeAll);
  std::string inPlace = "true";
  for (const Kind& kind : kinds) {
    for (const char* method : {"nearest", "average"}) {
      const std::string folder = std::string("ref-") + method;
      place(kind, folder);
      inPlace += std::string(" && gdaladdo -q -r ") + method + " " + folder + "/" + kind.name + ".tif " + kind.factors;
    }
  }
  Sh(inPlace);
  for (const Kind& kind : kinds)
    for (const char* method : {"nearest", "average"})
      expected[std::string(kind.name) + method] = checksums(Path(std::string("ref-") + method + "/" + kind.name + ".tif"));

  for (const Way& way : ways) {
    const bool dest = way.name.starts_with("dest");
    const bool append = way.name.starts_with("append");
    std::vector<std::string> args = way.args;
    if (dest) {
      fs::create_directories(root_ / way.name);
      args.push_back(Path(way.name));
    }
    for (const Kind& kind : kinds) {
      const std::string file = way.name + "/" + kind.name + ".tif";
      if (dest) {
        args.push_back(Path(std::string("kinds/") + kind.name + ".tif"));
        continue;
      }
      place(kind, way.name);
      if (append) {
        fs::create_directories(root_ / way.name / "links");
        fs::create_hard_link(Path(file), root_ / way.name / "links" / (std::string(kind.name) + ".tif"));
      }
      args.push_back(Path(file));
    }
    const ChildResult run = Batch(args);
    for (const Kind& kind : kinds) {
      SCOPED_TRACE(way.name + " " + kind.name);
      const std::string file = Path(std::string(dest ? "kinds/" : "") + (dest ? "" : std::string(way.name) + "/") +
                                    kind.name + ".tif");
      const std::string& want = kind.outcomes[way.outcome];
      const std::size_t line = run.out.find(": " + file + (want == "done" ? "\n" : ": "));
      ASSERT_NE(line, std::string::npos) << run.out << run.err;
      const std::string said = run.out.substr(run.out.rfind('\n', line) + 1,
                                              run.out.find('\n', line) - run.out.rfind('\n', line) - 1);
      if (want != "done") {
        EXPECT_TRUE(said.starts_with(want == "kept" || want == "mask_file_in_place" ? "kept: " : "failed: ") &&
                    (want != "kept" || said.find("other hard links") != std::string::npos) &&
                    (want != "mask_file_in_place" || said.find("keeps its mask in") != std::string::npos))
            << said;
        continue;
      }
      EXPECT_TRUE(said.starts_with("done: ")) << said;
      const std::string method = way.name.find("average") != std::string::npos ? "average" : "nearest";
      const std::string built = Path(way.name + "/" + kind.name + ".tif");
      EXPECT_EQ(checksums(built), expected[std::string(kind.levelsOf ? kind.levelsOf : kind.name) + method]);
      // The sidecars arrive with the copy as gdaladdo leaves them beside a file.
      for (const std::string& sidecar : {std::string(".aux.xml"), std::string(".msk")}) {
        const fs::path reference = root_ / ("ref-" + method) / (std::string(kind.name) + ".tif" + sidecar);
        EXPECT_EQ(fs::exists(built + sidecar), fs::exists(reference)) << sidecar;
        if (dest && fs::exists(reference) && kind.levelsOf == nullptr) {
          EXPECT_EQ(ReadAll(built + sidecar), ReadAll(reference)) << sidecar;
        }
      }
    }
  }
  EXPECT_TRUE(TempFolderEmpty());
}

}  // namespace
}  // namespace kelvory::test
