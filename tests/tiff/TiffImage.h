#pragma once
// Builds TIFF byte images by hand: a header, blocks of values and directories appended
// one after the other, with offsets handed back for linking. Little-endian classic TIFF
// unless made with Wide(), which also writes big-endian numbers and BigTIFF layouts.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kelvory::test {

enum FieldType : std::uint16_t {
  Byte = 1, Ascii = 2, Short = 3, Long = 4, Rational = 5,
  SByte = 6, Undefined = 7, SShort = 8, SLong = 9, Float = 11, Double = 12,
  Long8 = 16, SLong8 = 17, Ifd8 = 18,
};

// One directory entry; count and field are written 32 or 64 bits wide as the image's
// layout asks.
struct Entry {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint64_t count;
  std::uint64_t field;
};

// Little-endian classic entries holding one value.
inline Entry ShortTag(std::uint16_t tag, std::uint16_t value) { return {tag, Short, 1, value}; }
inline Entry LongTag(std::uint16_t tag, std::uint32_t value) { return {tag, Long, 1, value}; }

class TiffImage {
 public:
  // A little-endian classic image; order and version are written as given, so that
  // malformed headers can be made.
  explicit TiffImage(std::uint32_t firstOffset = 8, std::string order = "II", std::uint16_t version = 42) {
    bytes_.push_back(static_cast<std::uint8_t>(order.at(0)));
    bytes_.push_back(static_cast<std::uint8_t>(order.at(1)));
    Put(version, 2);
    Put(firstOffset, 4);
  }

  // An image in the given byte order ("II" or "MM") and layout, with its first
  // directory right after the header (8 bytes, or 16 for a BigTIFF).
  static TiffImage Wide(bool bigEndian, bool bigTiff) {
    TiffImage image(Layout{bigEndian, bigTiff});
    image.bytes_ = {bigEndian ? std::uint8_t{'M'} : std::uint8_t{'I'}, bigEndian ? std::uint8_t{'M'} : std::uint8_t{'I'}};
    if (bigTiff) {
      image.Put(43, 2);
      image.Put(8, 2);
      image.Put(0, 2);
      image.Put(16, 8);
    } else {
      image.Put(42, 2);
      image.Put(8, 4);
    }
    return image;
  }

  std::uint32_t Size() const { return static_cast<std::uint32_t>(bytes_.size()); }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::vector<std::uint8_t> Prefix(std::size_t length) const {
    return {bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(length)};
  }
  std::uint32_t HeaderSize() const { return layout_.bigTiff ? 16 : 8; }

  void SetFirst(std::uint64_t offset) { Patch(layout_.bigTiff ? 8 : 4, offset, Word()); }

  // An entry whose values are stored inline when they fit, out of line otherwise.
  Entry Values(std::uint16_t tag, std::uint16_t type, std::initializer_list<std::uint64_t> values) {
    return Pack(tag, type, values.begin(), values.size());
  }
  Entry Values(std::uint16_t tag, std::uint16_t type, const std::vector<std::uint64_t>& values) {
    return Pack(tag, type, values.data(), values.size());
  }
  Entry Values(std::uint16_t tag, std::uint16_t type, const std::vector<std::uint32_t>& values) {
    return Values(tag, type, std::vector<std::uint64_t>(values.begin(), values.end()));
  }
  // One SHORT or LONG value, placed right in any byte order.
  Entry ShortValue(std::uint16_t tag, std::uint64_t value) { return Values(tag, Short, {value}); }
  Entry LongValue(std::uint16_t tag, std::uint64_t value) { return Values(tag, Long, {value}); }

  Entry Rationals(std::uint16_t tag, std::initializer_list<std::uint32_t> numbersInPairs) {
    const std::uint32_t at = Size();
    for (std::uint32_t v : numbersInPairs) Put(v, 4);
    return {tag, Rational, static_cast<std::uint32_t>(numbersInPairs.size() / 2), at};
  }

  std::uint32_t Data(const std::vector<std::uint8_t>& data) {
    const std::uint32_t at = Size();
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return at;
  }

  // Appends a directory and returns its offset.
  std::uint32_t Directory(const std::vector<Entry>& entries, std::uint64_t next = 0) {
    const std::uint32_t at = Size();
    Put(entries.size(), CountWidth());
    for (const Entry& e : entries) {
      Put(e.tag, 2);
      Put(e.type, 2);
      Put(e.count, Word());
      Put(e.field, Word());
    }
    Put(next, Word());
    return at;
  }

  void SetNext(std::uint32_t directory, std::uint64_t next) {
    Patch(directory + CountWidth() + EntryWidth() * EntryCount(directory), next, Word());
  }

  // Points entry `index` of a directory at values appended later.
  void SetValueOffset(std::uint32_t directory, std::uint32_t index, std::uint64_t offset) {
    Patch(directory + CountWidth() + EntryWidth() * index + 4 + Word(), offset, Word());
  }

  // A plain 8-bit grey image of the given size, compression none.
  static std::vector<Entry> Grey(std::uint32_t width, std::uint32_t height) {
    return {LongTag(256, width), LongTag(257, height), ShortTag(258, 8), ShortTag(259, 1), ShortTag(262, 1)};
  }
  // The same in this image's byte order and layout.
  std::vector<Entry> GreyEntries(std::uint64_t width, std::uint64_t height) {
    return {LongValue(256, width), LongValue(257, height), ShortValue(258, 8), ShortValue(259, 1), ShortValue(262, 1)};
  }

 private:
  struct Layout {
    bool bigEndian = false;
    bool bigTiff = false;
  };
  explicit TiffImage(Layout layout) : layout_(layout) {}

  std::uint32_t Word() const { return layout_.bigTiff ? 8 : 4; }
  std::uint32_t CountWidth() const { return layout_.bigTiff ? 8 : 2; }
  std::uint32_t EntryWidth() const { return layout_.bigTiff ? 20 : 12; }
  std::uint64_t EntryCount(std::uint32_t directory) const { return Get(directory, CountWidth()); }

  static std::uint32_t TypeSize(std::uint16_t type) {
    switch (type) {
      case Byte: case Ascii: case SByte: case Undefined: return 1;
      case Short: case SShort: return 2;
      case Long: case SLong: case Float: return 4;
      default: return 8;
    }
  }

  Entry Pack(std::uint16_t tag, std::uint16_t type, const std::uint64_t* values, std::size_t count) {
    const std::uint32_t size = TypeSize(type);
    TiffImage packed(layout_);
    for (std::size_t i = 0; i < count; ++i) packed.Put(values[i], size);
    if (packed.bytes_.size() <= Word()) {
      // Inline values sit at the start of the field in either byte order.
      packed.bytes_.resize(Word(), 0);
      return {tag, type, count, packed.Get(0, Word())};
    }
    return {tag, type, count, Data(packed.bytes_)};
  }

  void Put(std::uint64_t v, std::uint32_t width) {
    bytes_.resize(bytes_.size() + width);
    Patch(static_cast<std::uint32_t>(bytes_.size() - width), v, width);
  }
  void Patch(std::uint32_t at, std::uint64_t v, std::uint32_t width) {
    for (std::uint32_t i = 0; i < width; ++i) {
      const std::uint32_t shift = 8 * (layout_.bigEndian ? width - 1 - i : i);
      bytes_[at + i] = static_cast<std::uint8_t>(v >> shift);
    }
  }
  std::uint64_t Get(std::uint32_t at, std::uint32_t width) const {
    std::uint64_t v = 0;
    for (std::uint32_t i = 0; i < width; ++i) {
      const std::uint32_t shift = 8 * (layout_.bigEndian ? width - 1 - i : i);
      v |= std::uint64_t{bytes_[at + i]} << shift;
    }
    return v;
  }

  Layout layout_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace kelvory::test
