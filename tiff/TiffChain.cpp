#include "tiff/TiffChain.h"

#include <algorithm>
#include <map>
#include <string>

#include "platform/Errors.h"
#include "tiff/TIFFConst.h"

namespace kelvory {
namespace {

constexpr std::uint16_t ClassicVersion = 42;
constexpr std::uint16_t BigTiffVersion = 43;

[[noreturn]] void Fail(const char* message) { throw Exception(message); }

void ReadAt(platform::Stream& stream, std::uint64_t offset, void* buffer, std::size_t count) {
  stream.SetPosition(offset);
  if (!ReadExact(stream, buffer, count)) Fail(SReadError);
}

// Both TIFF byte orders and both versions.
FileLayout ReadHeader(platform::Stream& stream, std::uint64_t& first) {
  std::uint8_t header[16] = {};
  stream.SetPosition(0);
  if (!ReadExact(stream, header, 8)) Fail(SUnsupportedFileType);
  FileLayout layout;
  if (header[0] == 'M' && header[1] == 'M')
    layout.BigEndian = true;
  else if (header[0] != 'I' || header[1] != 'I')
    Fail(SUnsupportedFileType);
  const std::uint64_t version = layout.Load(header + 2, 2);
  if (version == ClassicVersion) {
    first = layout.Load(header + 4, 4);
    return layout;
  }
  if (version != BigTiffVersion || layout.Load(header + 4, 2) != 8 || layout.Load(header + 6, 2) != 0 ||
      !ReadExact(stream, header + 8, 8))
    Fail(SUnsupportedFileType);
  layout.BigTiff = true;
  first = layout.Load(header + 8, 8);
  return layout;
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
  TiffChain chain;
  std::uint64_t next = 0;
  chain.Layout = ReadHeader(stream, next);
  chain.FileSize = stream.Size();
  const FileLayout& layout = chain.Layout;
  const std::uint64_t fileSize = chain.FileSize;
  const std::size_t word = layout.WordSize();
  // The byte ranges [start, end) of the directories read so far: a chain that comes
  // back into one of them is broken.
  std::map<std::uint64_t, std::uint64_t> ranges;
  const auto overlaps = [&ranges](std::uint64_t start, std::uint64_t end) {
    auto after = ranges.upper_bound(start);
    if (after != ranges.end() && after->first < end) return true;
    return after != ranges.begin() && std::prev(after)->second > start;
  };
  std::uint64_t valueBytes = 0;

  while (next >= layout.HeaderSize()) {
    if (next >= fileSize || overlaps(next, next + 1)) Fail(next >= fileSize ? SReadError : SStructureError);
    TiffDirectory directory;
    directory.Offset = next;
    std::uint8_t word8[8];
    ReadAt(stream, next, word8, layout.EntryCountSize());
    const std::uint64_t count = layout.Load(word8, layout.EntryCountSize());
    const std::uint64_t entries = next + layout.EntryCountSize();
    if (fileSize < entries || (fileSize - entries) / layout.EntrySize() < count ||
        (fileSize - entries - count * layout.EntrySize()) < word)
      Fail(SReadError);
    directory.NextPlace = entries + count * layout.EntrySize();
    const std::uint64_t end = directory.NextPlace + word;
    if (overlaps(next, end)) Fail(SStructureError);
    ranges.emplace(next, end);

    std::vector<std::uint8_t> raw(static_cast<std::size_t>(count * layout.EntrySize()));
    ReadAt(stream, entries, raw.data(), raw.size());
    directory.Entries.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
      const std::uint8_t* at = raw.data() + i * layout.EntrySize();
      TiffEntry entry;
      entry.Tag = static_cast<std::uint16_t>(layout.Load(at, 2));
      entry.Type = static_cast<std::uint16_t>(layout.Load(at + 2, 2));
      entry.Count = layout.Load(at + 4, word);
      const std::uint8_t* field = at + 4 + word;
      const std::uint32_t size = TypeSize(entry.Type);
      if (size != 0) {
        if (entry.Count > fileSize / size) Fail(SReadError);
        const std::uint64_t bytes = entry.Count * size;
        if (bytes <= word) {
          entry.Values.assign(field, field + bytes);
        } else {
          const std::uint64_t offset = layout.Load(field, word);
          if (fileSize < offset || fileSize - offset < bytes) Fail(SReadError);
          // Sound files never share values between entries: more values than the
          // file holds means a forged file.
          valueBytes += bytes;
          if (valueBytes > fileSize) Fail(SStructureError);
          entry.Values.resize(static_cast<std::size_t>(bytes));
          ReadAt(stream, offset, entry.Values.data(), entry.Values.size());
        }
      }
      directory.Entries.push_back(std::move(entry));
    }
    ReadAt(stream, directory.NextPlace, word8, word);
    next = layout.Load(word8, word);
    chain.Directories.push_back(std::move(directory));
  }
  return chain;
}

}  // namespace kelvory
