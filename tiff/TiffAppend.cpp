#include "tiff/TiffAppend.h"

#include <algorithm>
#include <limits>
#include <map>
#include <utility>

#include "platform/Errors.h"
#include "tiff/TIFFConst.h"

namespace kelvory {
namespace {

constexpr std::uint64_t Alignment = 8;

std::uint64_t AlignUp(std::uint64_t value) { return (value + Alignment - 1) / Alignment * Alignment; }

// An entry as it will be written: values already in the target's order and type.
struct OutEntry {
  std::uint16_t Tag = 0;
  std::uint16_t Type = 0;
  std::uint64_t Count = 0;
  std::vector<std::uint8_t> Values;
};

struct OutDirectory {
  std::vector<OutEntry> Entries;
  std::size_t Source = 0;
  // The entry that holds the block offsets, and the blocks' source ranges.
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

OutEntry NumberEntry(std::uint16_t tag, std::uint16_t type, std::uint64_t value, bool bigEndian) {
  return {tag, type, 1, Numbers({value}, TypeSize(type), bigEndian)};
}

// The entry's values in the target's byte order. 64-bit integers become 32-bit ones in
// a classic target, where they must fit.
OutEntry Convert(const TiffEntry& entry, const TiffChain& from, const FileLayout& target) {
  const std::uint32_t unit = TypeUnit(entry.Type);
  if (unit == 0) throw Exception("the overview file has a tag (" + std::to_string(entry.Tag) + ") of unknown type");
  OutEntry out{entry.Tag, entry.Type, entry.Count, entry.Values};
  const bool wide = entry.Type == TiffType::Long8 || entry.Type == TiffType::SLong8;
  if (wide && !target.BigTiff) {
    const std::vector<std::uint64_t> values = from.Numbers(entry);
    for (std::uint64_t value : values)
      if (value > std::numeric_limits<std::uint32_t>::max())
        throw Exception("the overview file holds a 64-bit value that a classic TIFF cannot");
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

OutDirectory Rewrite(const TiffDirectory& directory, const TiffChain& chain, AppendedRole role, std::size_t source,
                     const FileLayout& target) {
  if (const std::uint16_t tag = TagPointingIntoFile(directory))
    throw Exception("the overview file has a tag (" + std::to_string(tag) + ") that points into it");
  const bool mask = role == AppendedRole::MaskLevels;
  OutDirectory out;
  out.Source = source;
  const std::uint16_t offsetsTag = directory.Find(TiffTag::TileOffsets) ? TiffTag::TileOffsets : TiffTag::StripOffsets;
  const std::uint16_t countsTag =
      offsetsTag == TiffTag::TileOffsets ? TiffTag::TileByteCounts : TiffTag::StripByteCounts;
  const TiffEntry* offsets = directory.Find(offsetsTag);
  const TiffEntry* counts = directory.Find(countsTag);
  if (offsets == nullptr || counts == nullptr) throw Exception(SStructureError);
  // A second list of blocks would keep its old offsets, and its own count of them.
  const auto listed = [&directory](std::uint16_t tag) {
    return std::count_if(directory.Entries.begin(), directory.Entries.end(),
                         [tag](const TiffEntry& entry) { return entry.Tag == tag; });
  };
  if (listed(offsetsTag) != 1 || listed(countsTag) != 1) throw Exception(SStructureError);
  out.From = chain.Numbers(*offsets);
  out.Lengths = chain.Numbers(*counts);
  if (out.From.size() != offsets->Count || out.Lengths.size() != out.From.size()) throw Exception(SStructureError);

  const bool big = target.BigEndian;
  // GDAL writes no metadata of its own into levels inside a file; a level of a mask
  // is a one-sample mask image without colours.
  for (const TiffEntry& entry : directory.Entries) {
    switch (entry.Tag) {
      case TiffTag::NewSubfileType:
      case TiffTag::GdalMetadata:
        continue;
      case TiffTag::Photometric:
        if (mask) {
          out.Entries.push_back(NumberEntry(entry.Tag, TiffType::Short, 4, big));
          continue;
        }
        break;
      case TiffTag::PlanarConfig:
        if (mask) {
          out.Entries.push_back(NumberEntry(entry.Tag, TiffType::Short, 1, big));
          continue;
        }
        break;
      case TiffTag::ColorMap:
        if (mask) continue;
        break;
      default:
        break;
    }
    if (entry.Tag == offsetsTag) {
      // Filled in once the blocks have their places.
      out.Entries.push_back({entry.Tag, target.BigTiff ? TiffType::Long8 : TiffType::Long, entry.Count, {}});
      continue;
    }
    out.Entries.push_back(Convert(entry, chain, target));
  }
  out.Entries.push_back(
      NumberEntry(TiffTag::NewSubfileType, TiffType::Long, mask ? SubfileReduced | SubfileMask : SubfileReduced, big));
  // Readers look entries up in increasing tag order.
  std::stable_sort(out.Entries.begin(), out.Entries.end(),
                   [](const OutEntry& a, const OutEntry& b) { return a.Tag < b.Tag; });
  for (std::size_t i = 0; i < out.Entries.size(); ++i)
    if (out.Entries[i].Tag == offsetsTag) out.OffsetsEntry = i;
  return out;
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
  if (directories.empty()) throw Exception("the overview file holds no images");

  const std::size_t word = target.WordSize();
  AppendPlan plan;
  plan.Start = AppendStart(length);

  // The directories first, then the values too long for their entries, then the blocks.
  std::uint64_t at = plan.Start;
  std::vector<std::uint64_t> directoryAt;
  for (const OutDirectory& directory : directories) {
    if (!target.BigTiff && directory.Entries.size() > std::numeric_limits<std::uint16_t>::max())
      throw Exception("the overview file has a directory with more entries than a classic TIFF can count");
    directoryAt.push_back(at);
    at = AlignUp(at + target.EntryCountSize() + directory.Entries.size() * target.EntrySize() + word);
  }
  std::uint64_t values = 0;
  for (OutDirectory& directory : directories) {
    // The offsets' size is known before their values are.
    OutEntry& offsets = directory.Entries[directory.OffsetsEntry];
    offsets.Values.resize(static_cast<std::size_t>(offsets.Count) * TypeSize(offsets.Type));
    for (const OutEntry& entry : directory.Entries)
      if (entry.Values.size() > word) values += AlignUp(entry.Values.size());
  }
  const std::uint64_t blocksAt = at + values;

  // Each distinct block once, in the order it lies in its source, so that the copies
  // read each source from front to back and neighbours copy as one run. Empty blocks
  // (GDAL's sparse ones) keep offset 0.
  std::map<std::pair<std::size_t, std::pair<std::uint64_t, std::uint64_t>>, std::uint64_t> placed;
  for (const OutDirectory& directory : directories) {
    const std::uint64_t size = sources[directory.Source].Chain->FileSize;
    for (std::size_t i = 0; i < directory.From.size(); ++i) {
      const std::uint64_t from = directory.From[i];
      const std::uint64_t count = directory.Lengths[i];
      if (from == 0 || count == 0) continue;
      if (from > size || size - from < count) throw Exception(SReadError);
      placed.emplace(std::make_pair(directory.Source, std::make_pair(from, count)), 0);
    }
  }
  std::uint64_t next = blocksAt;
  for (auto& [block, to] : placed) {
    to = next;
    const auto [source, range] = block;
    if (!plan.Blocks.empty() && plan.Blocks.back().Source == source &&
        plan.Blocks.back().From + plan.Blocks.back().Length == range.first) {
      plan.Blocks.back().Length += range.second;
    } else if (!plan.Blocks.empty() && plan.Blocks.back().Source == source &&
               plan.Blocks.back().From + plan.Blocks.back().Length > range.first) {
      // Overlapping blocks are no sound file's.
      throw Exception(SStructureError);
    } else {
      plan.Blocks.push_back({source, range.first, next, range.second});
    }
    next += range.second;
  }
  plan.End = next;
  if (!target.BigTiff && plan.End > std::numeric_limits<std::uint32_t>::max())
    throw Exception("the levels would take the file past the 4 GiB a classic TIFF can address");

  for (OutDirectory& directory : directories) {
    std::vector<std::uint64_t> offsets(directory.From.size(), 0);
    for (std::size_t i = 0; i < offsets.size(); ++i)
      if (directory.From[i] != 0 && directory.Lengths[i] != 0)
        offsets[i] = placed.at({directory.Source, {directory.From[i], directory.Lengths[i]}});
    OutEntry& entry = directory.Entries[directory.OffsetsEntry];
    entry.Values = Numbers(offsets, TypeSize(entry.Type), target.BigEndian);
  }

  plan.Structure.assign(static_cast<std::size_t>(blocksAt - plan.Start), 0);
  std::uint64_t valueAt = at;
  for (std::size_t d = 0; d < directories.size(); ++d) {
    std::uint8_t* out = plan.Structure.data() + (directoryAt[d] - plan.Start);
    const std::vector<OutEntry>& entries = directories[d].Entries;
    Store(out, entries.size(), target.EntryCountSize(), target.BigEndian);
    out += target.EntryCountSize();
    for (const OutEntry& entry : entries) {
      Store(out, entry.Tag, 2, target.BigEndian);
      Store(out + 2, entry.Type, 2, target.BigEndian);
      Store(out + 4, entry.Count, word, target.BigEndian);
      if (entry.Count > std::numeric_limits<std::uint32_t>::max() && !target.BigTiff)
        throw Exception("the overview file has more values than a classic TIFF can count");
      std::uint8_t* field = out + 4 + word;
      if (entry.Values.size() <= word) {
        std::copy(entry.Values.begin(), entry.Values.end(), field);
      } else {
        Store(field, valueAt, word, target.BigEndian);
        std::copy(entry.Values.begin(), entry.Values.end(), plan.Structure.data() + (valueAt - plan.Start));
        valueAt += AlignUp(entry.Values.size());
      }
      out += target.EntrySize();
    }
    Store(out, d + 1 < directories.size() ? directoryAt[d + 1] : 0, word, target.BigEndian);
  }
  return plan;
}

}  // namespace kelvory
