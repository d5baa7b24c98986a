#pragma once
#include <memory>
#include <string>
#include <system_error>

#include "platform/Stream.h"
#include "platform/UniqueFd.h"

namespace kelvory::platform {

// A file opened read-only while others may read it but not write it: the open takes
// a shared lock and fails when another process holds the file locked for writing.
class FileStream final : public Stream {
 public:
  // Returns null and sets error when the file cannot be opened.
  static std::unique_ptr<FileStream> Open(const std::string& path, std::error_code& error);

  std::size_t Read(void* buffer, std::size_t count) override;
  std::uint64_t Position() const override { return position_; }
  void SetPosition(std::uint64_t position) override { position_ = position; }
  std::uint64_t Size() const override { return size_; }

 private:
  FileStream(UniqueFd fd, std::uint64_t size) : fd_(std::move(fd)), size_(size) {}

  UniqueFd fd_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
};

}  // namespace kelvory::platform
