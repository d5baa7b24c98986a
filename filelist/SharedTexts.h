#pragma once
// Texts that many rows may share: a build gives most of its rows the same reason, and a
// million rows must not hold a million copies of it. Each text is kept once, with the
// number of its users, and dropped when the last one lets it go.
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kelvory {

class SharedTexts {
 public:
  // The empty text, which costs nothing.
  static constexpr std::uint32_t kEmpty = 0;

  // The id of text, with one user more.
  std::uint32_t Acquire(std::string_view text);
  // One user fewer of id.
  void Release(std::uint32_t id);
  // Stays valid until the id's last user lets it go.
  const std::string& Text(std::uint32_t id) const;
  void Clear();

 private:
  struct Entry {
    std::string text;
    std::uint32_t users = 0;
  };

  // A deque keeps every text where it is, so the views the lookup keeps stay valid.
  std::deque<Entry> entries_ = std::deque<Entry>(1);
  std::unordered_map<std::string_view, std::uint32_t> ids_;
  std::vector<std::uint32_t> free_;
};

}  // namespace kelvory
