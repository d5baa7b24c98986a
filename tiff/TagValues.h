#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/Errors.h"

namespace kelvory {

// The decoded values of one directory entry: one slot per value, each empty (not
// decoded), an unsigned integer, or a rational (numerator, denominator).
class TagValues {
 public:
  TagValues() = default;
  explicit TagValues(std::size_t count) : FSlots(count) {}

  std::size_t Count() const { return FSlots.size(); }

  bool IsEmpty(std::size_t index) const { return At(index).kind == Kind::Empty; }
  bool IsRational(std::size_t index) const { return At(index).kind == Kind::Rational; }

  void SetInteger(std::size_t index, std::uint32_t value) { FSlots.at(index) = {Kind::Integer, value, 0}; }
  void SetRational(std::size_t index, std::uint32_t numerator, std::uint32_t denominator) {
    FSlots.at(index) = {Kind::Rational, numerator, denominator};
  }

  // The slot as a signed 32-bit number; an empty slot counts as 0. A value that does
  // not fit, or a rational, is a range error rather than a wrapped number.
  std::int32_t Integer(std::size_t index) const {
    const Slot& slot = At(index);
    if (slot.kind == Kind::Rational) throw ERangeError("Range check error: rational value taken as integer");
    if (slot.first > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
      throw ERangeError("Range check error: value does not fit a signed 32-bit integer");
    return static_cast<std::int32_t>(slot.first);
  }

  std::uint32_t Numerator(std::size_t index) const { return RationalSlot(index).first; }
  std::uint32_t Denominator(std::size_t index) const { return RationalSlot(index).second; }

 private:
  enum class Kind : std::uint8_t { Empty, Integer, Rational };
  struct Slot {
    Kind kind = Kind::Empty;
    std::uint32_t first = 0;
    std::uint32_t second = 0;
  };

  const Slot& At(std::size_t index) const {
    if (index >= FSlots.size()) throw ERangeError("Range check error: no such value");
    return FSlots[index];
  }
  const Slot& RationalSlot(std::size_t index) const {
    const Slot& slot = At(index);
    if (slot.kind != Kind::Rational) throw ERangeError("Range check error: value is not a rational");
    return slot;
  }

  std::vector<Slot> FSlots;
};

}  // namespace kelvory
