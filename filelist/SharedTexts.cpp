#include "filelist/SharedTexts.h"

namespace kelvory {

std::uint32_t SharedTexts::Acquire(std::string_view text) {
  if (text.empty()) return kEmpty;
  if (const auto found = ids_.find(text); found != ids_.end()) {
    ++entries_[found->second].users;
    return found->second;
  }
  std::uint32_t id = 0;
  if (free_.empty()) {
    id = static_cast<std::uint32_t>(entries_.size());
    entries_.emplace_back();
  } else {
    id = free_.back();
    free_.pop_back();
  }
  Entry& entry = entries_[id];
  entry.text.assign(text);
  entry.users = 1;
  ids_.emplace(entry.text, id);
  return id;
}

void SharedTexts::Release(std::uint32_t id) {
  if (id == kEmpty) return;
  Entry& entry = entries_[id];
  if (--entry.users > 0) return;
  ids_.erase(entry.text);
  std::string().swap(entry.text);
  free_.push_back(id);
}

const std::string& SharedTexts::Text(std::uint32_t id) const { return entries_[id].text; }

void SharedTexts::Clear() {
  entries_ = std::deque<Entry>(1);
  ids_ = {};
  free_ = {};
}

}  // namespace kelvory
