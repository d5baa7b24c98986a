#pragma once
// An exclusive claim on a file among processes and hosts: an advisory record lock on
// the whole file, which NFS passes on to the server. The lock belongs to the claim's
// own open file, so other descriptors of the same file opened and closed meanwhile in
// this process leave it in place; it ends with the claim or with the process.
#include <memory>
#include <string>
#include <system_error>

#include "platform/Stream.h"
#include "platform/UniqueFd.h"

namespace kelvory::platform {

class FileClaim {
 public:
  FileClaim() = default;
  FileClaim(FileClaim&&) noexcept = default;
  FileClaim& operator=(FileClaim&&) noexcept = default;
  FileClaim(const FileClaim&) = delete;
  FileClaim& operator=(const FileClaim&) = delete;

  // Claims the file now at path. device_or_resource_busy when another process holds
  // it, at once, or another program holds it locked for writing (so that readers could
  // not open it); on Windows, where a reader keeps writers out for as long as it reads,
  // that hold is waited out for up to two seconds first. permission_denied or
  // read_only_file_system when this process may not write the file (a write lock needs
  // a file open for writing).
  static FileClaim Take(const std::string& path, std::error_code& error);

  bool Held() const { return fd_.Valid(); }
  // The claimed file's bytes, read through the claim's own descriptor: over NFS, where
  // a reader's shared lock becomes a record lock too, a reader's own open would meet
  // the claim. Only while the claim is held.
  std::unique_ptr<Stream> Contents(std::error_code& error) const;
  void Release() { fd_.Reset(); }

 private:
  explicit FileClaim(UniqueFd fd) : fd_(std::move(fd)) {}
  UniqueFd fd_;
};

}  // namespace kelvory::platform
