#pragma once
#include <memory>
#include <string>
#include <system_error>

#include "platform/Stream.h"
#include "platform/UniqueFd.h"

namespace kelvory::platform {

// An anonymous file held in memory: what a child process writes to it survives a full
// disk, and nothing is left behind when its owner goes away. Read from the start.
class MemoryFile final : public Stream {
 public:
  // Returns null and sets error when the file cannot be made; name only labels it.
  static std::unique_ptr<MemoryFile> Create(const std::string& name, std::error_code& error);

  // The descriptor to hand to a child (it is close-on-exec here).
  NativeFd Fd() const { return fd_.Get(); }

  std::size_t Read(void* buffer, std::size_t count) override;
  std::uint64_t Position() const override { return position_; }
  void SetPosition(std::uint64_t position) override { position_ = position; }
  // The size as it is now: a child may still be writing.
  std::uint64_t Size() const override;

 private:
  explicit MemoryFile(UniqueFd fd) : fd_(std::move(fd)) {}

  UniqueFd fd_;
  std::uint64_t position_ = 0;
};

}  // namespace kelvory::platform
