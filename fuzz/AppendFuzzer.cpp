// Feeds arbitrary bytes to the append planner as a user's file, its levels file and
// optionally its mask's levels file. The chain walk and the planner may refuse them only
// with the reader's exceptions. A plan they accept, carried out in memory and linked,
// must leave the file's own bytes alone but for the link, and read back as the file's
// old directories followed by every level's directory with its tags and blocks.
//
// Input: two little-endian 32-bit lengths, then the file, the levels file and, in
// whatever is left, the mask's levels file. Lengths longer than the bytes left are cut.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/MemoryStream.h"
#include "tiff/TIFFError.h"
#include "tiff/TiffAppend.h"
#include "tiff/TiffChain.h"

namespace {

using kelvory::AppendedRole;
using kelvory::TiffChain;
using kelvory::TiffDirectory;
using kelvory::TiffEntry;
using kelvory::TiffTag;
using kelvory::TiffType;
using Bytes = std::vector<std::uint8_t>;

// Names the broken promise before stopping, so that a finding says what it broke.
#define CHECK(condition) \
  ((condition) ? void() : (std::fprintf(stderr, "broken: %s (line %d)\n", #condition, __LINE__), __builtin_trap()))

std::optional<TiffChain> ChainOf(const Bytes& bytes) {
  kelvory::platform::MemoryStream stream(bytes);
  try {
    return kelvory::ReadTiffChain(stream);
  } catch (const kelvory::TIFFError&) {
    return std::nullopt;
  }
}

// An entry's values as numbers of the width a change of byte order reverses, so that
// values compare across layouts; integers whole, so that LONG8 compares with LONG.
std::vector<std::uint64_t> Units(const TiffChain& chain, const TiffEntry& entry) {
  std::vector<std::uint64_t> units = chain.Numbers(entry);
  if (!units.empty() || entry.Values.empty()) return units;
  const std::uint32_t unit = kelvory::TypeUnit(entry.Type);
  for (std::size_t at = 0; at + unit <= entry.Values.size(); at += unit)
    units.push_back(chain.Layout.Load(entry.Values.data() + at, unit));
  return units;
}

bool SameKind(std::uint16_t from, std::uint16_t to) {
  if (from == TiffType::Long8) return to == TiffType::Long8 || to == TiffType::Long;
  if (from == TiffType::SLong8) return to == TiffType::SLong8 || to == TiffType::SLong;
  return from == to;
}

// Whether an appended directory is the level's as the planner promises: the level's
// entries in increasing tag order, less GDAL's metadata and the subfile type (and the
// colours of a mask), plus a subfile type marking a reduced image; every block's bytes
// where its new offset points.
void CheckLevel(const TiffChain& levels, const Bytes& levelBytes, const TiffDirectory& level, AppendedRole role,
                const TiffChain& result, const Bytes& resultBytes, const TiffDirectory& appended) {
  const bool mask = role == AppendedRole::MaskLevels;
  const auto dropped = [mask](std::uint16_t tag) {
    return tag == TiffTag::NewSubfileType || tag == TiffTag::GdalMetadata || (mask && tag == TiffTag::ColorMap);
  };
  // Entries of one tag keep their order: a directory that repeats a tag reads alike.
  std::vector<const TiffEntry*> kept;
  for (const TiffEntry& entry : level.Entries)
    if (!dropped(entry.Tag)) kept.push_back(&entry);
  std::stable_sort(kept.begin(), kept.end(), [](const TiffEntry* a, const TiffEntry* b) { return a->Tag < b->Tag; });
  std::vector<const TiffEntry*> copies;
  for (const TiffEntry& entry : appended.Entries)
    if (entry.Tag != TiffTag::NewSubfileType) copies.push_back(&entry);
  CHECK(copies.size() == kept.size() && appended.Entries.size() == kept.size() + 1);
  for (std::size_t i = 1; i < appended.Entries.size(); ++i)
    CHECK(appended.Entries[i - 1].Tag <= appended.Entries[i].Tag);
  const TiffEntry* subfile = appended.Find(TiffTag::NewSubfileType);
  CHECK(subfile != nullptr);
  const std::vector<std::uint64_t> subfileValues = result.Numbers(*subfile);
  CHECK(subfileValues.size() == 1 &&
        subfileValues[0] == (mask ? kelvory::SubfileReduced | kelvory::SubfileMask : kelvory::SubfileReduced));

  const bool tiled = level.Find(TiffTag::TileOffsets) != nullptr;
  const std::uint16_t offsetsTag = tiled ? TiffTag::TileOffsets : TiffTag::StripOffsets;
  const std::uint16_t countsTag = tiled ? TiffTag::TileByteCounts : TiffTag::StripByteCounts;
  for (std::size_t k = 0; k < kept.size(); ++k) {
    const TiffEntry& entry = *kept[k];
    const TiffEntry& copy = *copies[k];
    CHECK(copy.Tag == entry.Tag);
    // A mask's are replaced: a transparency mask, in one plane.
    if (mask && (entry.Tag == TiffTag::Photometric || entry.Tag == TiffTag::PlanarConfig)) {
      CHECK(result.Numbers(copy) == std::vector<std::uint64_t>{entry.Tag == TiffTag::Photometric ? 4u : 1u});
      continue;
    }
    CHECK(copy.Count == entry.Count);
    if (entry.Tag == offsetsTag) {
      const std::vector<std::uint64_t> from = levels.Numbers(*level.Find(offsetsTag));
      const std::vector<std::uint64_t> lengths = levels.Numbers(*level.Find(countsTag));
      const std::vector<std::uint64_t> to = result.Numbers(copy);
      CHECK(to.size() == from.size() && lengths.size() == from.size());
      for (std::size_t i = 0; i < to.size(); ++i) {
        const bool empty = from[i] == 0 || lengths[i] == 0;
        CHECK((to[i] == 0) == empty);
        if (empty) continue;
        CHECK(to[i] <= resultBytes.size() && resultBytes.size() - to[i] >= lengths[i]);
        CHECK(std::memcmp(resultBytes.data() + to[i], levelBytes.data() + from[i], lengths[i]) == 0);
      }
      continue;
    }
    CHECK(SameKind(entry.Type, copy.Type));
    CHECK(Units(levels, entry) == Units(result, copy));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  const auto length = [](const std::uint8_t* p) {
    return std::uint64_t{p[0]} | std::uint64_t{p[1]} << 8 | std::uint64_t{p[2]} << 16 | std::uint64_t{p[3]} << 24;
  };
  const std::uint8_t* at = data + 8;
  std::size_t left = size - 8;
  const auto take = [&at, &left](std::uint64_t wanted) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, left));
    Bytes part(at, at + n);
    at += n;
    left -= n;
    return part;
  };
  const Bytes file = take(length(data));
  const Bytes levelBytes = take(length(data + 4));
  const Bytes maskBytes = take(left);

  const std::optional<TiffChain> target = ChainOf(file);
  // Without a directory there is no link to write; the build refuses such a file first.
  if (!target || target->Directories.empty()) return 0;
  const std::optional<TiffChain> levels = ChainOf(levelBytes);
  if (!levels) return 0;
  std::optional<TiffChain> maskLevels;
  std::vector<kelvory::AppendSource> sources{{&*levels, AppendedRole::Levels}};
  std::vector<const Bytes*> sourceBytes{&levelBytes};
  if (!maskBytes.empty()) {
    maskLevels = ChainOf(maskBytes);
    if (!maskLevels) return 0;
    sources.push_back({&*maskLevels, AppendedRole::MaskLevels});
    sourceBytes.push_back(&maskBytes);
  }

  kelvory::AppendPlan plan;
  try {
    plan = kelvory::PlanAppend(sources, target->Layout, file.size());
  } catch (const kelvory::TIFFError&) {
    return 0;
  }

  // Nothing inside the file's length is written but the link.
  CHECK(plan.Start == kelvory::AppendStart(file.size()) && plan.Start >= file.size());
  CHECK(plan.End >= plan.Start && plan.End - plan.Start >= plan.Structure.size());
  // Bounded by the inputs, so that carrying the plan out costs what they are long.
  std::uint64_t copied = 0;
  std::uint64_t blocksAt = plan.Start + plan.Structure.size();
  for (const kelvory::BlockCopy& block : plan.Blocks) {
    CHECK(block.Source < sources.size() && block.Length > 0);
    const Bytes& from = *sourceBytes[block.Source];
    CHECK(block.From <= from.size() && from.size() - block.From >= block.Length);
    CHECK(block.To >= blocksAt && block.To <= plan.End && plan.End - block.To >= block.Length);
    blocksAt = block.To + block.Length;
    copied += block.Length;
  }
  CHECK(copied <= levelBytes.size() + maskBytes.size());
  if (!target->Layout.BigTiff) CHECK(plan.End <= 0xFFFFFFFFu);

  Bytes result = file;
  result.resize(static_cast<std::size_t>(plan.End), 0);
  std::copy(plan.Structure.begin(), plan.Structure.end(), result.begin() + static_cast<std::ptrdiff_t>(plan.Start));
  for (const kelvory::BlockCopy& block : plan.Blocks)
    std::memcpy(result.data() + block.To, sourceBytes[block.Source]->data() + block.From, block.Length);
  const TiffDirectory& last = target->Directories.back();
  const std::size_t word = target->Layout.WordSize();
  for (std::size_t i = 0; i < word; ++i) {
    const std::size_t byte = target->Layout.BigEndian ? word - 1 - i : i;
    result[last.NextPlace + byte] = static_cast<std::uint8_t>(plan.Start >> (8 * i));
  }

  const std::optional<TiffChain> linked = ChainOf(result);
  CHECK(linked.has_value());
  std::size_t expected = target->Directories.size();
  for (const kelvory::AppendSource& source : sources) expected += source.Chain->Directories.size();
  CHECK(linked->Directories.size() == expected);
  std::size_t index = 0;
  for (const TiffDirectory& old : target->Directories) {
    const TiffDirectory& now = linked->Directories[index++];
    CHECK(now.Offset == old.Offset && now.Entries.size() == old.Entries.size());
    // Values are not compared: a forged file's values may take in its link.
    for (std::size_t e = 0; e < old.Entries.size(); ++e)
      CHECK(now.Entries[e].Tag == old.Entries[e].Tag && now.Entries[e].Type == old.Entries[e].Type &&
            now.Entries[e].Count == old.Entries[e].Count);
  }
  for (std::size_t s = 0; s < sources.size(); ++s)
    for (const TiffDirectory& level : sources[s].Chain->Directories)
      CheckLevel(*sources[s].Chain, *sourceBytes[s], level, sources[s].Role, *linked, result,
                 linked->Directories[index++]);
  return 0;
}
