#pragma once
#include <string>
#include <system_error>

namespace kelvory::platform {

// A new, empty file with a unique name, removed again when its owner goes away unless
// it has been kept (for example after being renamed into place).
class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  TempFile(TempFile&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
  TempFile& operator=(TempFile&& other) noexcept;
  ~TempFile() { Remove(); }

  // Creates folder + prefix + six unique characters; folder ends with '/'.
  static TempFile Create(const std::string& folder, const std::string& prefix, std::error_code& error);

  const std::string& Path() const { return path_; }
  bool Valid() const { return !path_.empty(); }
  // Forgets the file without removing it.
  void Keep() { path_.clear(); }
  // Removes the file now.
  void Remove();

 private:
  explicit TempFile(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

}  // namespace kelvory::platform
