#include "pyramids/CogLayout.h"

#include <utility>

#include "pyramids/AppendLink.h"
#include "pyramids/JpegQuality.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Program.h"
#include "tiff/TiffAppend.h"

namespace kelvory {
namespace {

// The COG driver's name for a TIFF compression; none for one it does not write, which
// then gets the driver's default.
const char* CogCompressionName(std::uint64_t compression) {
  switch (compression) {
    case 1: return "NONE";
    case 5: return "LZW";
    case 7: return "JPEG";
    case 8: case 32946: return "DEFLATE";
    case 32773: return "PACKBITS";
    case 34887: return "LERC";
    case 34925: return "LZMA";
    case 50000: return "ZSTD";
    case 50001: return "WEBP";
    default: return nullptr;
  }
}

// GDAL's options for levels written by gdaladdo, and the COG driver's for the same.
constexpr std::pair<const char*, const char*> kLevelOptions[] = {
    {"COMPRESS_OVERVIEW", "OVERVIEW_COMPRESS"},
    {"PREDICTOR_OVERVIEW", "OVERVIEW_PREDICTOR"},
    {"JPEG_QUALITY_OVERVIEW", "OVERVIEW_QUALITY"},
};

// The driver names predictors where gdaladdo's option numbers them.
std::string CogValue(const std::string& key, const std::string& value) {
  if (key != "PREDICTOR_OVERVIEW") return value;
  if (value == "1") return "NO";
  if (value == "2") return "STANDARD";
  if (value == "3") return "FLOATING_POINT";
  return value;
}

void AddCreation(std::vector<std::string>& options, const std::string& key, const std::string& value) {
  options.insert(options.end(), {"-co", key + "=" + value});
}

}  // namespace

std::vector<std::string> CogCreationOptions(const std::string& path) {
  const TiffChain chain = ReadChainOf(path);
  std::vector<std::string> options;
  if (chain.Directories.empty()) return options;
  const std::uint64_t compression = chain.First(0, TiffTag::Compression).value_or(1);
  if (const char* name = CogCompressionName(compression)) AddCreation(options, "COMPRESS", name);
  if (const auto predictor = chain.First(0, TiffTag::Predictor); predictor && *predictor != 1) {
    AddCreation(options, "PREDICTOR", CogValue("PREDICTOR_OVERVIEW", std::to_string(*predictor)));
  }
  // A COG is tiled in squares; the driver takes powers of two from 64 up.
  if (const auto tile = chain.First(0, TiffTag::TileWidth); tile && *tile >= 64 && (*tile & (*tile - 1)) == 0) {
    AddCreation(options, "BLOCKSIZE", std::to_string(*tile));
  }
  if (compression == 7) {
    const TiffEntry* tables = chain.Directories[0].Find(TiffTag::JpegTables);
    if (const auto quality = tables ? JpegQualityOf(tables->Values) : std::nullopt) {
      AddCreation(options, "QUALITY", std::to_string(*quality));
    }
  }
  return options;
}

std::vector<std::string> CogTranslateArguments(const std::string& from, const std::string& to,
                                               const std::vector<std::string>& creationOptions,
                                               const BuildOptions& options) {
  std::vector<std::string> arguments;
  for (const auto& [key, value] : options.Config) arguments.insert(arguments.end(), {"--config", key, value});
  arguments.insert(arguments.end(), {"-q", "-of", "COG"});
  arguments.insert(arguments.end(), creationOptions.begin(), creationOptions.end());
  // The driver writes the levels again with its own options: the user's choice for
  // levels goes to them, so that they stay as gdaladdo made them.
  for (const auto& [key, value] : options.Config) {
    for (const auto& [config, creation] : kLevelOptions) {
      if (key == config) arguments.insert(arguments.end(), {"-co", std::string(creation) + "=" + CogValue(key, value)});
    }
  }
  arguments.insert(arguments.end(), {"-co", "OVERVIEWS=FORCE_USE_EXISTING", from, to});
  return arguments;
}

std::string FindTranslateTool(const std::string& gdaladdo) {
  const std::string beside = platform::JoinPath(platform::FolderOf(gdaladdo), platform::ExecutableName("gdal_translate"));
  if (platform::FileExists(beside)) return beside;
  const std::string onPath = platform::FindOnPath(platform::ExecutableName("gdal_translate"));
  // A failed start then names where it was looked for first.
  return onPath.empty() ? beside : onPath;
}

}  // namespace kelvory
