#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/Errors.h"

namespace kelvory {

// The decoded values of one directory entry: count slots, each empty (not decoded), an
// integer, or a rational (numerator, denominator). Integers are held in 64 bits; a
// negative value of a signed type is held sign-extended, so it is out of range wherever
// it is taken as a number. Only slots up to the last
// one set take memory, so a large count that is never decoded costs nothing.
class TagValues {
 public:
  TagValues() = default;
  explicit TagValues(std::size_t count) : FCount(count) {}

  std::size_t Count() const { return FCount; }

  bool IsEmpty(std::size_t index) const { return At(index).kind == Kind::Empty; }
  bool IsRational(std::size_t index) const { return At(index).kind == Kind::Rational; }

  void SetInteger(std::size_t index, std::uint64_t value) { Place(index) = {Kind::Integer, value, 0}; }
  void SetRational(std::size_t index, std::uint32_t numerator, std::uint32_t denominator) {
    Place(index) = {Kind::Rational, numerator, denominator};
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

  // The slot as an unsigned 32-bit number, for flag words; empty counts as 0.
  std::uint32_t Unsigned(std::size_t index) const {
    const Slot& slot = At(index);
    if (slot.kind == Kind::Rational) throw ERangeError("Range check error: rational value taken as integer");
    if (slot.first > std::numeric_limits<std::uint32_t>::max())
      throw ERangeError("Range check error: value does not fit an unsigned 32-bit integer");
    return static_cast<std::uint32_t>(slot.first);
  }

  // The slot as held, for values that are compared rather than taken: empty counts as 0,
  // a negative value is above every valid one.
  std::uint64_t Unsigned64(std::size_t index) const {
    const Slot& slot = At(index);
    if (slot.kind == Kind::Rational) throw ERangeError("Range check error: rational value taken as integer");
    return slot.first;
  }

  std::uint32_t Numerator(std::size_t index) const { return static_cast<std::uint32_t>(RationalSlot(index).first); }
  std::uint32_t Denominator(std::size_t index) const { return RationalSlot(index).second; }

 private:
  enum class Kind : std::uint8_t { Empty, Integer, Rational };
  struct Slot {
    Kind kind = Kind::Empty;
    std::uint64_t first = 0;
    std::uint32_t second = 0;
  };

  const Slot& At(std::size_t index) const {
    static constexpr Slot Empty{};
    if (index >= FCount) throw ERangeError("Range check error: no such value");
    return index < FSlots.size() ? FSlots[index] : Empty;
  }
  Slot& Place(std::size_t index) {
    if (index >= FCount) throw ERangeError("Range check error: no such value");
    if (index >= FSlots.size()) FSlots.resize(index + 1);
    return FSlots[index];
  }
  const Slot& RationalSlot(std::size_t index) const {
    const Slot& slot = At(index);
    if (slot.kind != Kind::Rational) throw ERangeError("Range check error: value is not a rational");
    return slot;
  }

  std::size_t FCount = 0;
  std::vector<Slot> FSlots;
};

}  // namespace kelvory
