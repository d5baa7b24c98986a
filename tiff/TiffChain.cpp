#include "tiff/TiffChain.h"

#include "tiff/ChainWalker.h"
#include "tiff/TIFFError.h"

namespace kelvory {
namespace {

[[noreturn]] void Fail(TIFFFailure failure, TIFFDetail detail, std::uint16_t tag = 0) {
  throw TIFFError(failure, detail, tag);
}

void ReadAt(platform::Stream& stream, std::uint64_t offset, void* buffer, std::size_t count) {
  stream.SetPosition(offset);
  if (!ReadExact(stream, buffer, count)) Fail(TIFFFailure::ReadError, TIFFDetail::ValuesOutsideFile);
}

// Reads the values of every entry, bounding what a forged file makes us allocate.
class EntryReader {
 public:
  EntryReader(platform::Stream& stream, const FileLayout& layout)
      : FStream(stream), FLayout(layout), FFileSize(stream.Size()) {}

  // The entry whose bytes are at `at`, with its values. A type TIFF does not define
  // keeps none.
  TiffEntry Read(const std::uint8_t* at) {
    const std::size_t word = FLayout.WordSize();
    TiffEntry entry;
    entry.Tag = static_cast<std::uint16_t>(FLayout.Load(at, 2));
    entry.Type = static_cast<std::uint16_t>(FLayout.Load(at + 2, 2));
    entry.Count = FLayout.Load(at + 4, word);
    const std::uint8_t* field = at + 4 + word;
    const std::uint32_t size = TypeSize(entry.Type);
    if (size == 0) return entry;
    if (entry.Count > FFileSize / size) Fail(TIFFFailure::ReadError, TIFFDetail::ValuesOutsideFile, entry.Tag);
    const std::uint64_t bytes = entry.Count * size;
    if (bytes <= word) {
      entry.Values.assign(field, field + bytes);
      return entry;
    }
    const std::uint64_t offset = FLayout.Load(field, word);
    if (FFileSize < offset || FFileSize - offset < bytes)
      Fail(TIFFFailure::ReadError, TIFFDetail::ValuesOutsideFile, entry.Tag);
    // Sound files never share values between entries: more values than the file holds
    // means a forged file.
    FValueBytes += bytes;
    if (FValueBytes > FFileSize) Fail(TIFFFailure::StructureError, TIFFDetail::ValuesSharedPastFileSize, entry.Tag);
    entry.Values.resize(static_cast<std::size_t>(bytes));
    ReadAt(FStream, offset, entry.Values.data(), entry.Values.size());
    return entry;
  }

 private:
  platform::Stream& FStream;
  const FileLayout FLayout;
  const std::uint64_t FFileSize;
  std::uint64_t FValueBytes = 0;
};

TiffDirectory ReadDirectory(platform::Stream& stream, const DirectoryPlace& place, const FileLayout& layout,
                            EntryReader& entries) {
  TiffDirectory directory;
  directory.Offset = place.Offset;
  directory.NextPlace = place.NextPlace;
  // The walk has checked that the entries lie inside the file.
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(place.EntryCount * layout.EntrySize()));
  ReadAt(stream, place.EntriesAt(layout), raw.data(), raw.size());
  directory.Entries.reserve(static_cast<std::size_t>(place.EntryCount));
  for (std::size_t at = 0; at < raw.size(); at += layout.EntrySize()) directory.Entries.push_back(entries.Read(&raw[at]));
  return directory;
}

}  // namespace

std::uint32_t TypeSize(std::uint16_t type) {
  switch (type) {
    case TiffType::Byte: case TiffType::Ascii: case TiffType::SByte: case TiffType::Undefined: return 1;
    case TiffType::Short: case TiffType::SShort: return 2;
    case TiffType::Long: case TiffType::SLong: case TiffType::Float: case TiffType::Ifd: return 4;
    case TiffType::Rational: case TiffType::SRational: case TiffType::Double:
    case TiffType::Long8: case TiffType::SLong8: case TiffType::Ifd8: return 8;
    default: return 0;
  }
}

std::uint32_t TypeUnit(std::uint16_t type) {
  return type == TiffType::Rational || type == TiffType::SRational ? 4 : TypeSize(type);
}

const TiffEntry* TiffDirectory::Find(std::uint16_t tag) const {
  for (const TiffEntry& entry : Entries)
    if (entry.Tag == tag) return &entry;
  return nullptr;
}

std::vector<std::uint64_t> TiffChain::Numbers(const TiffEntry& entry) const {
  switch (entry.Type) {
    case TiffType::Byte: case TiffType::Short: case TiffType::Long: case TiffType::Long8:
    case TiffType::Ifd: case TiffType::Ifd8:
    case TiffType::SByte: case TiffType::SShort: case TiffType::SLong: case TiffType::SLong8: break;
    default: return {};
  }
  const std::uint32_t size = TypeSize(entry.Type);
  std::vector<std::uint64_t> numbers(entry.Values.size() / size);
  for (std::size_t i = 0; i < numbers.size(); ++i) numbers[i] = Layout.Load(entry.Values.data() + i * size, size);
  return numbers;
}

std::optional<std::uint64_t> TiffChain::First(std::size_t index, std::uint16_t tag) const {
  if (index >= Directories.size()) return std::nullopt;
  const TiffEntry* entry = Directories[index].Find(tag);
  if (entry == nullptr) return std::nullopt;
  const std::vector<std::uint64_t> numbers = Numbers(*entry);
  if (numbers.empty()) return std::nullopt;
  return numbers.front();
}

TiffChain ReadTiffChain(platform::Stream& stream) {
  ChainWalker walker(stream, ReadingMode::Widened);
  TiffChain chain;
  chain.Layout = walker.Layout();
  chain.FileSize = stream.Size();
  EntryReader entries(stream, chain.Layout);
  while (const std::optional<DirectoryPlace> place = walker.Next())
    chain.Directories.push_back(ReadDirectory(stream, *place, chain.Layout, entries));
  return chain;
}

}  // namespace kelvory
