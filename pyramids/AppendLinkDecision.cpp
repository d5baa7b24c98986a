#include "pyramids/AppendLinkDecision.h"

#include <limits>

#include "pyramids/AppendJournal.h"
#include "pyramids/JpegQuality.h"
#include "tiff/TiffAppend.h"

namespace kelvory {
namespace {

using Refusal = AppendLinkRefusal;

constexpr std::uint64_t ClassicLimit = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t SectorSize = 512;

void AddOption(std::vector<std::string>& options, const std::string& key, const std::string& value) {
  options.insert(options.end(), {"--config", key, value});
}

// GDAL's name for the compressions whose levels it writes without loss, or with the
// quality read back from the file (JPEG).
const char* CompressionName(std::uint64_t compression) {
  switch (compression) {
    case 1: return "NONE";
    case 5: return "LZW";
    case 7: return "JPEG";
    case 8: case 32946: return "DEFLATE";
    case 32773: return "PACKBITS";
    case 34925: return "LZMA";
    case 50000: return "ZSTD";
    default: return nullptr;
  }
}

// GDAL makes levels of square power-of-two tiles of 64 to 4096 as big as the image's
// tiles, of any other image 128 pixels square.
std::uint64_t LevelBlockSize(const TiffChain& chain) {
  const auto width = chain.First(0, TiffTag::TileWidth);
  const auto length = chain.First(0, TiffTag::TileLength);
  if (!width || !length || *width != *length) return 128;
  const std::uint64_t side = *width;
  if (side < 64 || side > 4096 || (side & (side - 1)) != 0) return 128;
  return side;
}

bool MaskResamplingAllowed(Resampling method) { return method == Resampling::Nearest || method == Resampling::Mode; }

// The layout of the directories after the first: pages are fine, levels are there
// already, or a mask of the first image.
Refusal CheckDirectories(const TiffChain& chain, bool& hasMask) {
  hasMask = false;
  for (std::size_t i = 0; i < chain.Directories.size(); ++i) {
    if (TagPointingIntoFile(chain.Directories[i]) != 0) return Refusal::TagsPointIntoFile;
    if (i == 0) continue;
    const std::uint64_t type = chain.First(i, TiffTag::NewSubfileType).value_or(0);
    if ((type & SubfileMask) != 0 && (type & SubfileReduced) == 0) {
      const bool firstImages = chain.First(i, TiffTag::ImageWidth) == chain.First(0, TiffTag::ImageWidth) &&
                               chain.First(i, TiffTag::ImageLength) == chain.First(0, TiffTag::ImageLength);
      if (hasMask || !firstImages) return Refusal::MaskLayout;
      hasMask = true;
    } else if ((type & SubfileReduced) != 0) {
      return Refusal::ExistingLevels;
    }
  }
  return Refusal::None;
}

// What of the file's layout refuses the append: its link, its directories, its byte
// order, its size. Sets hasMask for a mask of its first image.
Refusal CheckLayout(const TiffChain& chain, Resampling method, bool& hasMask) {
  if (chain.Directories.empty()) return Refusal::Unreadable;
  // A disk writes a sector whole or not at all: a link within one is never torn by a
  // power cut, so a reader never follows half of it.
  const std::uint64_t link = chain.Directories.back().NextPlace;
  if (link / SectorSize != (link + chain.Layout.WordSize() - 1) / SectorSize) return Refusal::LinkAcrossSectors;
  if (const Refusal layout = CheckDirectories(chain, hasMask); layout != Refusal::None) return layout;
  if (hasMask && !MaskResamplingAllowed(method)) return Refusal::MaskWithResampling;
  if (chain.Layout.BigEndian && chain.First(0, TiffTag::BitsPerSample).value_or(1) > 8) {
    return Refusal::BigEndianWideSamples;
  }
  // Levels take about a third of what the image does; half leaves room for levels
  // that compress worse.
  if (!chain.Layout.BigTiff && chain.FileSize > ClassicLimit - chain.FileSize / 2) return Refusal::ClassicSizeLimit;
  return Refusal::None;
}

// The levels' colour model as in place; palettes and white-is-zero take theirs from
// the bands without being told.
Refusal AddPhotometric(const TiffChain& chain, std::uint64_t compression, std::vector<std::string>& options) {
  switch (chain.First(0, TiffTag::Photometric).value_or(1)) {
    case 0: case 3: return Refusal::None;
    case 1: AddOption(options, "PHOTOMETRIC_OVERVIEW", "MINISBLACK"); return Refusal::None;
    case 2: AddOption(options, "PHOTOMETRIC_OVERVIEW", "RGB"); return Refusal::None;
    case 6:
      if (compression != 7) return Refusal::Photometric;
      AddOption(options, "PHOTOMETRIC_OVERVIEW", "YCBCR");
      return Refusal::None;
    default: return Refusal::Photometric;
  }
}

// The options that make gdaladdo -ro write the levels as it writes them in place: the
// image's compression, predictor, colour model, interleaving, JPEG quality and tables,
// and the levels' block size.
Refusal AddLevelOptions(const TiffChain& chain, Resampling method, std::vector<std::string>& options) {
  const std::uint64_t compression = chain.First(0, TiffTag::Compression).value_or(1);
  const char* compress = CompressionName(compression);
  if (compress == nullptr) return Refusal::Compression;
  // Into an uncompressed level file, -ro takes another code path for nearest, which
  // picks other pixels wherever a level's size is not a whole fraction of the image's.
  if (compression == 1 && method == Resampling::Nearest) return Refusal::NearestUncompressed;
  AddOption(options, "COMPRESS_OVERVIEW", compress);
  const std::uint64_t predictor = chain.First(0, TiffTag::Predictor).value_or(1);
  if (predictor != 1) AddOption(options, "PREDICTOR_OVERVIEW", std::to_string(predictor));
  if (const Refusal colour = AddPhotometric(chain, compression, options); colour != Refusal::None) return colour;
  const bool separate = chain.First(0, TiffTag::PlanarConfig).value_or(1) == 2;
  AddOption(options, "INTERLEAVE_OVERVIEW", separate ? "BAND" : "PIXEL");
  if (compression == 7) {
    const TiffEntry* tables = chain.Directories[0].Find(TiffTag::JpegTables);
    const auto quality = tables ? JpegQualityOf(tables->Values) : std::nullopt;
    if (!quality) return Refusal::JpegQualityUnknown;
    AddOption(options, "JPEG_QUALITY_OVERVIEW", std::to_string(*quality));
    AddOption(options, "JPEG_TABLESMODE_OVERVIEW", std::to_string(JpegTablesModeOf(tables->Values)));
  }
  AddOption(options, "GDAL_TIFF_OVR_BLOCKSIZE", std::to_string(LevelBlockSize(chain)));
  return Refusal::None;
}

// The options for the mask's levels: GDAL keeps masks as one bit, deflated.
std::vector<std::string> MaskOptions(const TiffChain& chain) {
  std::vector<std::string> options;
  AddOption(options, "COMPRESS_OVERVIEW", "DEFLATE");
  AddOption(options, "PHOTOMETRIC_OVERVIEW", "MINISBLACK");
  AddOption(options, "INTERLEAVE_OVERVIEW", "BAND");
  AddOption(options, "GDAL_TIFF_OVR_BLOCKSIZE", std::to_string(LevelBlockSize(chain)));
  return options;
}

}  // namespace

std::uint64_t StructureOf(const TiffChain& chain) {
  std::uint64_t hash = Fnv1a(nullptr, 0);
  const auto add = [&hash](std::uint64_t value) {
    std::uint8_t bytes[8];
    for (std::size_t i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    hash = Fnv1a(bytes, sizeof bytes, hash);
  };
  add(chain.Layout.BigEndian);
  add(chain.Layout.BigTiff);
  add(chain.FileSize);
  for (const TiffDirectory& directory : chain.Directories) {
    add(directory.Offset);
    add(directory.NextPlace);
    add(directory.Entries.size());
    for (const TiffEntry& entry : directory.Entries) {
      add(entry.Tag);
      add(entry.Type);
      add(entry.Count);
      add(entry.Values.size());
      hash = Fnv1a(entry.Values.data(), entry.Values.size(), hash);
    }
  }
  return hash;
}

std::string DescribeRefusal(AppendLinkRefusal refusal) {
  switch (refusal) {
    case Refusal::None: return "its levels can be appended";
    case Refusal::Unreadable: return "its structure could not be read in full";
    case Refusal::OverviewFilePresent: return "an overview file lies beside it";
    case Refusal::MaskFilePresent: return "a mask file lies beside it";
    case Refusal::LinkAcrossSectors: return "its last directory's link crosses a disk sector";
    case Refusal::ExistingLevels: return "it has levels already";
    case Refusal::TagsPointIntoFile: return "it has tags that point into the file";
    case Refusal::BigEndianWideSamples: return "it is big-endian with samples wider than a byte";
    case Refusal::MaskWithResampling: return "its mask's levels would be resampled from one another";
    case Refusal::MaskLayout: return "it has masks other than one of its first image";
    case Refusal::Compression: return "its compression is not one whose levels can be matched";
    case Refusal::Photometric: return "its colour model is not one whose levels can be matched";
    case Refusal::JpegQualityUnknown: return "its JPEG quality cannot be told from its tables";
    case Refusal::ClassicSizeLimit: return "its levels might take it past the 4 GiB of a classic TIFF";
    case Refusal::NearestUncompressed: return "its uncompressed levels by nearest resampling would differ";
  }
  return "unknown";
}

AppendLinkDecision DecideAppendLink(const TiffChain& chain, Resampling method) {
  AppendLinkDecision decision;
  bool hasMask = false;
  decision.Refusal = CheckLayout(chain, method, hasMask);
  if (decision.Proven()) decision.Refusal = AddLevelOptions(chain, method, decision.LevelOptions);
  if (!decision.Proven()) {
    AppendLinkDecision refused;
    refused.Refusal = decision.Refusal;
    return refused;
  }
  if (hasMask) decision.MaskOptions = MaskOptions(chain);
  decision.Width = chain.First(0, TiffTag::ImageWidth).value_or(0);
  decision.Height = chain.First(0, TiffTag::ImageLength).value_or(0);
  decision.Structure = StructureOf(chain);
  return decision;
}

}  // namespace kelvory
