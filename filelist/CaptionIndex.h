#pragma once
// The rows of the file list by their captions, so that adding and loading find a listed
// path without a scan. It keeps no copy of a caption: each slot holds a row and the
// low bits of its caption's hash (8 bytes, the table at most half full), and the
// captions themselves are looked up in the rows. A million rows take 16 MB.
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace kelvory {

class CaptionIndex {
 public:
  // How the index reads a row's caption; rows are 0 to the number of entries - 1.
  using CaptionOf = std::function<std::string_view(int row)>;

  explicit CaptionIndex(CaptionOf captionOf) : captionOf_(std::move(captionOf)) {}

  // The row whose caption equals caption byte for byte, or -1.
  int Find(std::string_view caption) const;
  // The row already listed under caption; or -1 after entering row for it (whose
  // caption the rows must give from then on).
  int FindOrAdd(std::string_view caption, int row);
  // Forgets row, which must be listed and still readable, and moves every later row
  // one up, as removing it from the rows does.
  void Remove(int row);
  void Clear();
  // Room for rows entries without growing on the way.
  void Reserve(std::size_t rows);

 private:
  struct Slot {
    std::uint32_t rowPlusOne = 0;  // 0: empty
    std::uint32_t hash = 0;
  };

  static std::uint32_t HashOf(std::string_view caption);
  std::size_t Mask() const { return slots_.size() - 1; }
  // The slot holding caption, or the empty slot where it belongs.
  std::size_t SlotOf(std::string_view caption, std::uint32_t hash) const;
  void Grow(std::size_t capacity);

  CaptionOf captionOf_;
  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

}  // namespace kelvory
