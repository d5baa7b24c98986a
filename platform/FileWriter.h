#pragma once
// A file read and written at explicit offsets, for changing a file where it lies: the
// file keeps its identity, so its other names, owner, permissions and attributes stay
// as they are. Nothing here throws: failures come back as error codes with the
// system's reason.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "platform/Stream.h"
#include "platform/UniqueFd.h"

namespace kelvory::platform {

// Which file a descriptor reaches, whatever name it was opened by.
struct FileIdentity {
  std::uint64_t Device = 0;
  std::uint64_t Index = 0;
  bool operator==(const FileIdentity&) const = default;
};

// When a file was last read and written, in nanoseconds since 1970.
struct FileTimes {
  std::int64_t Accessed = 0;
  std::int64_t Modified = 0;
  bool operator==(const FileTimes&) const = default;
};

class FileWriter {
 public:
  enum class Access {
    Read,       // an existing file, read only
    Update,     // an existing file, read and written
    CreateNew,  // a new file, read and written; fails when the name is taken
  };

  FileWriter() = default;
  // Opens without taking any lock: a claim this process holds on the file stays the
  // only one.
  static FileWriter Open(const std::string& path, Access access, std::error_code& error);

  // The file's bytes as a stream at positions of its own, read through this open file.
  std::unique_ptr<Stream> Contents(std::error_code& error) const;
  // Reads up to count bytes at offset; fewer only at the end of the file or with error set.
  std::size_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset, std::error_code& error) const;
  // Writes all count bytes at offset, or fails.
  std::error_code WriteAt(const void* buffer, std::size_t count, std::uint64_t offset);
  // Copies count bytes of from, starting at fromOffset, to toOffset of this file; the
  // kernel copies them where it can.
  std::error_code CopyFrom(const FileWriter& from, std::uint64_t fromOffset, std::uint64_t toOffset,
                           std::uint64_t count);
  // Gives the disk space of count bytes at offset back; they read as zeros after. An
  // error means the space stays taken, nothing worse.
  std::error_code Discard(std::uint64_t offset, std::uint64_t count);
  std::uint64_t Size(std::error_code& error) const;
  std::error_code Truncate(std::uint64_t length);
  // Returns once the file's data and size are on the disk.
  std::error_code Sync();
  FileIdentity Identity(std::error_code& error) const;
  FileTimes Times(std::error_code& error) const;
  // Gives the file these times again, as a change undone leaves it.
  std::error_code SetTimes(const FileTimes& times);

 private:
  explicit FileWriter(UniqueFd fd) : fd_(std::move(fd)) {}
  UniqueFd fd_;
};

// Returns once the folder's entries (files made, renamed or removed in it) are on the
// disk; a no-op where the system keeps them safe itself.
std::error_code SyncFolder(const std::string& folder);

}  // namespace kelvory::platform
