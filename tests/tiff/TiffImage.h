#pragma once
// Builds little-endian TIFF byte images by hand: a header, blocks of values and
// directories appended one after the other, with offsets handed back for linking.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kelvory::test {

enum FieldType : std::uint16_t {
  Byte = 1, Ascii = 2, Short = 3, Long = 4, Rational = 5,
  SLong = 9, Float = 11, Double = 12,
};

struct Entry {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t count;
  std::uint32_t field;
};

inline Entry ShortTag(std::uint16_t tag, std::uint16_t value) { return {tag, Short, 1, value}; }
inline Entry LongTag(std::uint16_t tag, std::uint32_t value) { return {tag, Long, 1, value}; }

class TiffImage {
 public:
  explicit TiffImage(std::uint32_t firstOffset = 8, std::string order = "II", std::uint16_t version = 42) {
    bytes_.push_back(static_cast<std::uint8_t>(order.at(0)));
    bytes_.push_back(static_cast<std::uint8_t>(order.at(1)));
    Put16(version);
    Put32(firstOffset);
  }

  std::uint32_t Size() const { return static_cast<std::uint32_t>(bytes_.size()); }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::vector<std::uint8_t> Prefix(std::size_t length) const {
    return {bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(length)};
  }

  void SetFirst(std::uint32_t offset) { Patch32(4, offset); }

  // An entry whose values are stored inline when they fit, out of line otherwise.
  Entry Values(std::uint16_t tag, std::uint16_t type, const std::vector<std::uint32_t>& values) {
    const std::uint32_t size = type == Byte || type == Ascii ? 1 : type == Short ? 2 : 4;
    std::vector<std::uint8_t> packed;
    for (std::uint32_t v : values)
      for (std::uint32_t i = 0; i < size; ++i) packed.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    const auto count = static_cast<std::uint32_t>(values.size());
    if (packed.size() <= 4) {
      std::uint32_t field = 0;
      for (std::size_t i = 0; i < packed.size(); ++i) field |= std::uint32_t{packed[i]} << (8 * i);
      return {tag, type, count, field};
    }
    return {tag, type, count, Data(packed)};
  }

  Entry Rationals(std::uint16_t tag, std::initializer_list<std::uint32_t> numbersInPairs) {
    const std::uint32_t at = Size();
    for (std::uint32_t v : numbersInPairs) Put32(v);
    return {tag, Rational, static_cast<std::uint32_t>(numbersInPairs.size() / 2), at};
  }

  std::uint32_t Data(const std::vector<std::uint8_t>& data) {
    const std::uint32_t at = Size();
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return at;
  }

  // Appends a directory and returns its offset.
  std::uint32_t Directory(const std::vector<Entry>& entries, std::uint32_t next = 0) {
    const std::uint32_t at = Size();
    Put16(static_cast<std::uint16_t>(entries.size()));
    for (const Entry& e : entries) {
      Put16(e.tag);
      Put16(e.type);
      Put32(e.count);
      Put32(e.field);
    }
    Put32(next);
    return at;
  }

  void SetNext(std::uint32_t directory, std::uint32_t next) {
    const std::uint32_t count = bytes_[directory] | (bytes_[directory + 1] << 8);
    Patch32(directory + 2 + 12 * count, next);
  }

  // Points entry `index` of a directory at values appended later.
  void SetValueOffset(std::uint32_t directory, std::uint32_t index, std::uint32_t offset) {
    Patch32(directory + 2 + 12 * index + 8, offset);
  }

  // A plain 8-bit grey image of the given size, compression none.
  static std::vector<Entry> Grey(std::uint32_t width, std::uint32_t height) {
    return {LongTag(256, width), LongTag(257, height), ShortTag(258, 8), ShortTag(259, 1), ShortTag(262, 1)};
  }

 private:
  void Put16(std::uint16_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void Put32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void Patch32(std::uint32_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }

  std::vector<std::uint8_t> bytes_;
};

}  // namespace kelvory::test
