#include "tiff/TiffAppend.h"

#include <algorithm>
#include <limits>
#include <map>
#include <optional>
#include <tuple>
#include <utility>

#include "tiff/TIFFError.h"

namespace kelvory {
namespace {

constexpr std::uint64_t Alignment = 8;

std::uint64_t AlignUp(std::uint64_t value) { return (value + Alignment - 1) / Alignment * Alignment; }

[[noreturn]] void Fail(TIFFFailure failure, TIFFDetail detail, std::uint16_t tag = 0) {
  throw TIFFError(failure, detail, tag);
}

// What a sound file may hold but the target cannot take as it stands.
[[noreturn]] void CannotCarry(TIFFDetail detail, std::uint16_t tag = 0) {
  Fail(TIFFFailure::UnsupportedImageFormat, detail, tag);
}

// A directory as it will be written: its entries in increasing tag order, their values
// in the target's byte order and types, and where its blocks come from.
struct OutDirectory {
  std::vector<TiffEntry> Entries;
  std::size_t Source = 0;
  // The entry that holds the block offsets, filled in once the blocks have their places.
  std::size_t OffsetsEntry = 0;
  std::vector<std::uint64_t> From;
  std::vector<std::uint64_t> Lengths;
};

void Store(std::uint8_t* at, std::uint64_t value, std::size_t width, bool bigEndian) {
  for (std::size_t i = 0; i < width; ++i) {
    const std::size_t byte = bigEndian ? width - 1 - i : i;
    at[byte] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

std::vector<std::uint8_t> Numbers(const std::vector<std::uint64_t>& values, std::uint32_t width, bool bigEndian) {
  std::vector<std::uint8_t> bytes(values.size() * width);
  for (std::size_t i = 0; i < values.size(); ++i) Store(bytes.data() + i * width, values[i], width, bigEndian);
  return bytes;
}

TiffEntry NumberEntry(std::uint16_t tag, std::uint16_t type, std::uint64_t value, bool bigEndian) {
  return {tag, type, 1, Numbers({value}, TypeSize(type), bigEndian)};
}

// The entry's values in the target's byte order. 64-bit integers become 32-bit ones in
// a classic target, where they must fit.
TiffEntry Convert(const TiffEntry& entry, const TiffChain& from, const FileLayout& target) {
  const std::uint32_t unit = TypeUnit(entry.Type);
  if (unit == 0) CannotCarry(TIFFDetail::TagOfUnknownType, entry.Tag);
  TiffEntry out = entry;
  const bool wide = entry.Type == TiffType::Long8 || entry.Type == TiffType::SLong8;
  if (wide && !target.BigTiff) {
    const std::vector<std::uint64_t> values = from.Numbers(entry);
    for (std::uint64_t value : values)
      if (value > std::numeric_limits<std::uint32_t>::max()) CannotCarry(TIFFDetail::WideValueInClassic, entry.Tag);
    out.Type = entry.Type == TiffType::Long8 ? TiffType::Long : TiffType::SLong;
    out.Values = Numbers(values, 4, target.BigEndian);
    return out;
  }
  if (from.Layout.BigEndian != target.BigEndian && unit > 1)
    for (std::size_t at = 0; at + unit <= out.Values.size(); at += unit)
      std::reverse(out.Values.begin() + static_cast<std::ptrdiff_t>(at),
                   out.Values.begin() + static_cast<std::ptrdiff_t>(at + unit));
  return out;
}

// The tags of a directory's one list of blocks: tiles when it has tile offsets, else strips.
struct BlockTags {
  std::uint16_t Offsets;
  std::uint16_t Counts;
};

BlockTags BlockTagsOf(const TiffDirectory& directory) {
  if (directory.Find(TiffTag::TileOffsets) != nullptr) return {TiffTag::TileOffsets, TiffTag::TileByteCounts};
  return {TiffTag::StripOffsets, TiffTag::StripByteCounts};
}

// Where the directory's blocks lie in its file, and how long each is.
void ReadBlockList(const TiffDirectory& directory, const TiffChain& chain, BlockTags tags, OutDirectory& out) {
  const TiffEntry* offsets = directory.Find(tags.Offsets);
  const TiffEntry* counts = directory.Find(tags.Counts);
  if (offsets == nullptr || counts == nullptr) Fail(TIFFFailure::StructureError, TIFFDetail::BlockListUnusable);
  // A second list of blocks would keep its old offsets, and its own count of them.
  for (const std::uint16_t tag : {tags.Offsets, tags.Counts}) {
    const auto listed = std::count_if(directory.Entries.begin(), directory.Entries.end(),
                                      [tag](const TiffEntry& entry) { return entry.Tag == tag; });
    if (listed != 1) Fail(TIFFFailure::StructureError, TIFFDetail::BlockListTwice, tag);
  }
  out.From = chain.Numbers(*offsets);
  out.Lengths = chain.Numbers(*counts);
  if (out.From.size() != offsets->Count || out.Lengths.size() != out.From.size())
    Fail(TIFFFailure::StructureError, TIFFDetail::BlockListUnusable);
}

// The entry as a level's directory holds it; none for an entry a level leaves out. GDAL
// writes no metadata of its own into levels inside a file; a level of a mask is a
// one-sample mask image without colours.
std::optional<TiffEntry> Carried(const TiffEntry& entry, const TiffChain& chain, AppendedRole role,
                                 const FileLayout& target, std::uint16_t offsetsTag) {
  if (!target.BigTiff && entry.Count > std::numeric_limits<std::uint32_t>::max())
    CannotCarry(TIFFDetail::TooManyValuesForClassic, entry.Tag);
  const bool mask = role == AppendedRole::MaskLevels;
  switch (entry.Tag) {
    case TiffTag::NewSubfileType:
    case TiffTag::GdalMetadata:
      return std::nullopt;
    case TiffTag::Photometric:
      if (mask) return NumberEntry(entry.Tag, TiffType::Short, 4, target.BigEndian);
      break;
    case TiffTag::PlanarConfig:
      if (mask) return NumberEntry(entry.Tag, TiffType::Short, 1, target.BigEndian);
      break;
    case TiffTag::ColorMap:
      if (mask) return std::nullopt;
      break;
    default:
      break;
  }
  if (entry.Tag == offsetsTag) {
    const std::uint16_t type = target.BigTiff ? TiffType::Long8 : TiffType::Long;
    return TiffEntry{entry.Tag, type, entry.Count,
                     std::vector<std::uint8_t>(static_cast<std::size_t>(entry.Count) * TypeSize(type))};
  }
  return Convert(entry, chain, target);
}

OutDirectory Rewrite(const TiffDirectory& directory, const TiffChain& chain, AppendedRole role, std::size_t source,
                     const FileLayout& target) {
  if (const std::uint16_t tag = TagPointingIntoFile(directory)) CannotCarry(TIFFDetail::TagPointsIntoFile, tag);
  const BlockTags tags = BlockTagsOf(directory);
  OutDirectory out;
  out.Source = source;
  ReadBlockList(directory, chain, tags, out);
  for (const TiffEntry& entry : directory.Entries)
    if (std::optional<TiffEntry> carried = Carried(entry, chain, role, target, tags.Offsets))
      out.Entries.push_back(std::move(*carried));
  const std::uint32_t subfile = role == AppendedRole::MaskLevels ? SubfileReduced | SubfileMask : SubfileReduced;
  out.Entries.push_back(NumberEntry(TiffTag::NewSubfileType, TiffType::Long, subfile, target.BigEndian));
  if (!target.BigTiff && out.Entries.size() > std::numeric_limits<std::uint16_t>::max())
    CannotCarry(TIFFDetail::TooManyEntriesForClassic);
  // Readers look entries up in increasing tag order.
  std::stable_sort(out.Entries.begin(), out.Entries.end(),
                   [](const TiffEntry& a, const TiffEntry& b) { return a.Tag < b.Tag; });
  for (std::size_t i = 0; i < out.Entries.size(); ++i)
    if (out.Entries[i].Tag == tags.Offsets) out.OffsetsEntry = i;
  return out;
}

// Where the appended structure goes: every directory, then the values too long for
// their entries, then the blocks.
struct StructurePlaces {
  std::vector<std::uint64_t> Directories;
  std::uint64_t Values = 0;
  std::uint64_t Blocks = 0;
};

StructurePlaces PlaceStructure(const std::vector<OutDirectory>& directories, const FileLayout& target,
                               std::uint64_t start) {
  StructurePlaces places;
  std::uint64_t at = start;
  for (const OutDirectory& directory : directories) {
    places.Directories.push_back(at);
    at = AlignUp(at + target.EntryCountSize() + directory.Entries.size() * target.EntrySize() + target.WordSize());
  }
  places.Values = at;
  for (const OutDirectory& directory : directories)
    for (const TiffEntry& entry : directory.Entries)
      if (entry.Values.size() > target.WordSize()) at += AlignUp(entry.Values.size());
  places.Blocks = at;
  return places;
}

// A block by its source and its range there: offset and length.
using BlockKey = std::tuple<std::size_t, std::uint64_t, std::uint64_t>;

// Where each distinct block goes. Each is copied once, in the order it lies in its
// source, so that the copies read each source from front to back and neighbours copy as
// one run. Empty blocks (GDAL's sparse ones) keep offset 0. Returns where the last ends.
std::uint64_t PlaceBlocks(const std::vector<OutDirectory>& directories, const std::vector<AppendSource>& sources,
                          std::uint64_t at, std::map<BlockKey, std::uint64_t>& places,
                          std::vector<BlockCopy>& copies) {
  for (const OutDirectory& directory : directories) {
    const std::uint64_t size = sources[directory.Source].Chain->FileSize;
    for (std::size_t i = 0; i < directory.From.size(); ++i) {
      const std::uint64_t from = directory.From[i];
      const std::uint64_t length = directory.Lengths[i];
      if (from == 0 || length == 0) continue;
      if (from > size || size - from < length) Fail(TIFFFailure::ReadError, TIFFDetail::BlockOutsideFile);
      places.emplace(BlockKey{directory.Source, from, length}, 0);
    }
  }
  for (auto& [block, to] : places) {
    to = at;
    const auto [source, from, length] = block;
    const bool sameSource = !copies.empty() && copies.back().Source == source;
    // Overlapping blocks are no sound file's.
    if (sameSource && copies.back().From + copies.back().Length > from)
      Fail(TIFFFailure::StructureError, TIFFDetail::BlocksOverlap);
    if (sameSource && copies.back().From + copies.back().Length == from)
      copies.back().Length += length;
    else
      copies.push_back({source, from, at, length});
    at += length;
  }
  return at;
}

void FillBlockOffsets(std::vector<OutDirectory>& directories, const std::map<BlockKey, std::uint64_t>& places,
                      const FileLayout& target) {
  for (OutDirectory& directory : directories) {
    std::vector<std::uint64_t> offsets(directory.From.size(), 0);
    for (std::size_t i = 0; i < offsets.size(); ++i)
      if (directory.From[i] != 0 && directory.Lengths[i] != 0)
        offsets[i] = places.at({directory.Source, directory.From[i], directory.Lengths[i]});
    TiffEntry& entry = directory.Entries[directory.OffsetsEntry];
    entry.Values = Numbers(offsets, TypeSize(entry.Type), target.BigEndian);
  }
}

// The bytes from the start to the blocks: the directories, linked in order, and their
// long values.
std::vector<std::uint8_t> WriteStructure(const std::vector<OutDirectory>& directories, const StructurePlaces& places,
                                         const FileLayout& target, std::uint64_t start) {
  const std::size_t word = target.WordSize();
  const bool big = target.BigEndian;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(places.Blocks - start), 0);
  std::uint64_t valueAt = places.Values;
  for (std::size_t d = 0; d < directories.size(); ++d) {
    std::uint8_t* out = bytes.data() + (places.Directories[d] - start);
    const std::vector<TiffEntry>& entries = directories[d].Entries;
    Store(out, entries.size(), target.EntryCountSize(), big);
    out += target.EntryCountSize();
    for (const TiffEntry& entry : entries) {
      Store(out, entry.Tag, 2, big);
      Store(out + 2, entry.Type, 2, big);
      Store(out + 4, entry.Count, word, big);
      std::uint8_t* field = out + 4 + word;
      if (entry.Values.size() <= word) {
        std::copy(entry.Values.begin(), entry.Values.end(), field);
      } else {
        Store(field, valueAt, word, big);
        std::copy(entry.Values.begin(), entry.Values.end(), bytes.data() + (valueAt - start));
        valueAt += AlignUp(entry.Values.size());
      }
      out += target.EntrySize();
    }
    Store(out, d + 1 < directories.size() ? places.Directories[d + 1] : 0, word, big);
  }
  return bytes;
}

}  // namespace

std::uint16_t TagPointingIntoFile(const TiffDirectory& directory) {
  for (const TiffEntry& entry : directory.Entries) {
    switch (entry.Tag) {
      case TiffTag::SubIfds: case TiffTag::ExifIfd: case TiffTag::GpsIfd: case TiffTag::InteroperabilityIfd:
      case TiffTag::JpegInterchangeFormat: case TiffTag::JpegQTables: case TiffTag::JpegDcTables:
      case TiffTag::JpegAcTables:
        return entry.Tag;
      default:
        if (entry.Type == TiffType::Ifd || entry.Type == TiffType::Ifd8) return entry.Tag;
    }
  }
  return 0;
}

std::uint64_t AppendStart(std::uint64_t length) { return AlignUp(length); }

AppendPlan PlanAppend(const std::vector<AppendSource>& sources, const FileLayout& target, std::uint64_t length) {
  std::vector<OutDirectory> directories;
  for (std::size_t s = 0; s < sources.size(); ++s)
    for (const TiffDirectory& directory : sources[s].Chain->Directories)
      directories.push_back(Rewrite(directory, *sources[s].Chain, sources[s].Role, s, target));
  // The link would point at the file's end.
  if (directories.empty()) Fail(TIFFFailure::StructureError, TIFFDetail::NoDirectory);

  AppendPlan plan;
  plan.Start = AppendStart(length);
  const StructurePlaces places = PlaceStructure(directories, target, plan.Start);
  std::map<BlockKey, std::uint64_t> blockPlaces;
  plan.End = PlaceBlocks(directories, sources, places.Blocks, blockPlaces, plan.Blocks);
  if (!target.BigTiff && plan.End > std::numeric_limits<std::uint32_t>::max())
    CannotCarry(TIFFDetail::PastClassicSize);
  FillBlockOffsets(directories, blockPlaces, target);
  plan.Structure = WriteStructure(directories, places, target, plan.Start);
  return plan;
}

}  // namespace kelvory
