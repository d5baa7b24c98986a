#include "tiff/ChainWalker.h"

#include <iterator>
#include <limits>

#include "tiff/TIFFError.h"

namespace kelvory {
namespace {

constexpr std::uint16_t ClassicVersion = 42;
constexpr std::uint16_t BigTiffVersion = 43;
constexpr std::size_t LargestHeader = 16;

[[noreturn]] void Fail(TIFFFailure failure, TIFFDetail detail) { throw TIFFError(failure, detail); }

}  // namespace

FileLayout ReadTiffHeader(platform::Stream& stream, ReadingMode mode, std::uint64_t& first) {
  const auto unknown = [] { Fail(TIFFFailure::UnsupportedFileType, TIFFDetail::UnknownHeader); };
  std::uint8_t header[LargestHeader];
  stream.SetPosition(0);
  if (!ReadExact(stream, header, 8)) unknown();
  FileLayout layout;
  if (header[0] == 'M' && header[1] == 'M' && mode == ReadingMode::Widened)
    layout.BigEndian = true;
  else if (header[0] != 'I' || header[1] != 'I')
    unknown();

  const std::uint64_t version = layout.Load(header + 2, 2);
  if (version == ClassicVersion) {
    first = layout.Load(header + 4, 4);
    return layout;
  }
  // A BigTIFF header goes on with the offset width (8), a reserved 0 and a 64-bit
  // first offset.
  if (version != BigTiffVersion || mode != ReadingMode::Widened) unknown();
  layout.BigTiff = true;
  if (layout.Load(header + 4, 2) != 8 || layout.Load(header + 6, 2) != 0 || !ReadExact(stream, header + 8, 8))
    unknown();
  first = layout.Load(header + 8, 8);
  return layout;
}

DirectoryPlace ReadDirectoryPlace(platform::Stream& stream, std::uint64_t offset, const FileLayout& layout) {
  const auto cutShort = [] { Fail(TIFFFailure::ReadError, TIFFDetail::DirectoryCutShort); };
  // Offsets in a classic file are 32-bit: a directory cannot start beyond them.
  if (!layout.BigTiff && offset > std::numeric_limits<std::uint32_t>::max()) cutShort();
  DirectoryPlace place;
  place.Offset = offset;
  std::uint8_t word[8];
  stream.SetPosition(offset);
  if (!ReadExact(stream, word, layout.EntryCountSize())) cutShort();
  place.EntryCount = layout.Load(word, layout.EntryCountSize());
  // Checked by subtraction: a BigTIFF entry count could otherwise carry the position
  // past any 64-bit number.
  const std::uint64_t entries = place.EntriesAt(layout);
  const std::uint64_t fileSize = stream.Size();
  if (fileSize < entries || (fileSize - entries) / layout.EntrySize() < place.EntryCount) cutShort();
  place.NextPlace = entries + layout.EntrySize() * place.EntryCount;
  stream.SetPosition(place.NextPlace);
  if (!ReadExact(stream, word, layout.WordSize())) cutShort();
  place.Next = layout.Load(word, layout.WordSize());
  return place;
}

ChainWalker::ChainWalker(platform::Stream& stream, ReadingMode mode)
    : FStream(stream), FLayout(ReadTiffHeader(stream, mode, FNext)) {}

std::optional<DirectoryPlace> ChainWalker::Next() {
  if (FNext < FLayout.HeaderSize()) return std::nullopt;
  if (FNext >= FStream.Size()) Fail(TIFFFailure::ReadError, TIFFDetail::ChainLeavesFile);
  if (Overlaps(FNext, FNext + 1)) Fail(TIFFFailure::StructureError, TIFFDetail::ChainLoops);
  const DirectoryPlace place = ReadDirectoryPlace(FStream, FNext, FLayout);
  if (Overlaps(place.Offset, place.End(FLayout))) Fail(TIFFFailure::StructureError, TIFFDetail::DirectoriesOverlap);
  FWalked.emplace(place.Offset, place.End(FLayout));
  FNext = place.Next;
  return place;
}

bool ChainWalker::Overlaps(std::uint64_t start, std::uint64_t end) const {
  const auto after = FWalked.upper_bound(start);
  if (after != FWalked.end() && after->first < end) return true;
  return after != FWalked.begin() && std::prev(after)->second > start;
}

}  // namespace kelvory
