#pragma once
#include <string>
#include <system_error>

#include "platform/UniqueFd.h"

namespace kelvory::platform {

// A new, empty file with a unique name, removed again when its owner goes away unless
// it has been kept (for example after being renamed into place). While it is owned it
// is marked as in use, so that RemoveOrphans in another run leaves it alone; once
// this process is gone, however it ended, the mark is gone with it.
class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  TempFile(TempFile&& other) noexcept : path_(std::move(other.path_)), mark_(std::move(other.mark_)) {
    other.path_.clear();
  }
  TempFile& operator=(TempFile&& other) noexcept;
  ~TempFile() { Remove(); }

  // Creates folder + prefix + six unique characters; folder ends with '/'.
  static TempFile Create(const std::string& folder, const std::string& prefix, std::error_code& error);

  const std::string& Path() const { return path_; }
  bool Valid() const { return !path_.empty(); }
  // Forgets the file without removing it.
  void Keep();
  // Removes the file now.
  void Remove();

 private:
  TempFile(std::string path, UniqueFd mark) : path_(std::move(path)), mark_(std::move(mark)) {}
  std::string path_;
  UniqueFd mark_;
};

// Removes the files in folder (ending with '/') that TempFile::Create made with this
// prefix and whose owner is gone, with the .ovr, .aux.xml and .msk beside them.
// Returns how many it removed; failures are skipped.
int RemoveOrphans(const std::string& folder, const std::string& prefix);

}  // namespace kelvory::platform
