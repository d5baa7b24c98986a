#pragma once
// Paths held back to back in one buffer: a walk of a million files keeps 9 bytes for
// each besides its bytes, where a string apiece would take 40 more and an allocation.
// A path holds no NUL byte.
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace kelvory {

class PathList {
 public:
  PathList() = default;
  PathList(std::initializer_list<std::string_view> paths);

  void push_back(std::string_view path);
  // All of other's paths after these.
  void Append(PathList other);
  // In the order of their bytes.
  void Sort();

  std::size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.empty(); }
  // The bytes of all the paths together.
  std::size_t Bytes() const { return bytes_.size() - size(); }
  std::string_view operator[](std::size_t i) const;
  std::string_view back() const { return (*this)[size() - 1]; }

  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;

    Iterator() = default;
    Iterator(const PathList* list, std::size_t at) : list_(list), at_(at) {}
    std::string_view operator*() const { return (*list_)[at_]; }
    Iterator& operator++() {
      ++at_;
      return *this;
    }
    Iterator operator++(int) {
      Iterator was = *this;
      ++at_;
      return was;
    }
    bool operator==(const Iterator& other) const { return at_ == other.at_; }

   private:
    const PathList* list_ = nullptr;
    std::size_t at_ = 0;
  };
  Iterator begin() const { return {this, 0}; }
  Iterator end() const { return {this, size()}; }

  bool operator==(const PathList& other) const;
  friend bool operator==(const PathList& list, const std::vector<std::string>& paths);

 private:
  // Every path followed by a NUL, in the order added.
  std::string bytes_;
  // Where each path starts in bytes_, in the list's order.
  std::vector<std::uint64_t> starts_;
};

}  // namespace kelvory
