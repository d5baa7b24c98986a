#include "filelist/CaptionIndex.h"

#include <bit>

namespace kelvory {

std::uint32_t CaptionIndex::HashOf(std::string_view caption) {
  return static_cast<std::uint32_t>(std::hash<std::string_view>{}(caption));
}

std::size_t CaptionIndex::SlotOf(std::string_view caption, std::uint32_t hash) const {
  std::size_t at = hash & Mask();
  while (slots_[at].rowPlusOne != 0) {
    const Slot& slot = slots_[at];
    // The captions are compared only when the hashes agree, which is seldom in vain.
    if (slot.hash == hash && captionOf_(static_cast<int>(slot.rowPlusOne - 1)) == caption) return at;
    at = (at + 1) & Mask();
  }
  return at;
}

int CaptionIndex::Find(std::string_view caption) const {
  if (slots_.empty()) return -1;
  return static_cast<int>(slots_[SlotOf(caption, HashOf(caption))].rowPlusOne) - 1;
}

int CaptionIndex::FindOrAdd(std::string_view caption, int row) {
  if ((count_ + 1) * 2 > slots_.size()) Grow(slots_.empty() ? 16 : slots_.size() * 2);
  const std::uint32_t hash = HashOf(caption);
  Slot& slot = slots_[SlotOf(caption, hash)];
  if (slot.rowPlusOne != 0) return static_cast<int>(slot.rowPlusOne) - 1;
  slot = {static_cast<std::uint32_t>(row) + 1, hash};
  ++count_;
  return -1;
}

void CaptionIndex::Remove(int row) {
  const std::string_view caption = captionOf_(row);
  std::size_t hole = SlotOf(caption, HashOf(caption));
  if (slots_[hole].rowPlusOne == 0) return;
  // Later slots of the same run move back into the hole unless that would put them
  // before their own place, so that every entry stays reachable from where it belongs.
  for (std::size_t next = (hole + 1) & Mask(); slots_[next].rowPlusOne != 0; next = (next + 1) & Mask()) {
    const std::size_t home = slots_[next].hash & Mask();
    const bool staysPut = hole < next ? (hole < home && home <= next) : (hole < home || home <= next);
    if (staysPut) continue;
    slots_[hole] = slots_[next];
    hole = next;
  }
  slots_[hole] = {};
  --count_;
  const auto removed = static_cast<std::uint32_t>(row) + 1;
  for (Slot& slot : slots_) {
    if (slot.rowPlusOne > removed) --slot.rowPlusOne;
  }
}

void CaptionIndex::Clear() {
  std::vector<Slot>().swap(slots_);
  count_ = 0;
}

void CaptionIndex::Reserve(std::size_t rows) {
  const std::size_t capacity = std::bit_ceil(rows * 2 < 16 ? std::size_t{16} : rows * 2);
  if (capacity > slots_.size()) Grow(capacity);
}

void CaptionIndex::Grow(std::size_t capacity) {
  std::vector<Slot> old(capacity);
  old.swap(slots_);
  for (const Slot& slot : old) {
    if (slot.rowPlusOne == 0) continue;
    std::size_t at = slot.hash & Mask();
    while (slots_[at].rowPlusOne != 0) at = (at + 1) & Mask();
    slots_[at] = slot;
  }
}

}  // namespace kelvory
