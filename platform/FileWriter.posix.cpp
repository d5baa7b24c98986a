#include "platform/FileWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace kelvory::platform {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

std::error_code CopyByReading(int in, std::uint64_t from, int out, std::uint64_t to, std::uint64_t count) {
  std::vector<char> buffer(std::min<std::uint64_t>(count, std::uint64_t{1} << 20));
  while (count > 0) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(count, buffer.size()));
    const std::size_t got = ReadAt(in, buffer.data(), chunk, from);
    if (got == 0) return errno != 0 ? LastError() : std::make_error_code(std::errc::io_error);
    for (std::size_t done = 0; done < got;) {
      const ssize_t n = ::pwrite(out, buffer.data() + done, got - done, static_cast<off_t>(to + done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return LastError();
      done += static_cast<std::size_t>(n);
    }
    from += got;
    to += got;
    count -= got;
  }
  return {};
}

}  // namespace

FileWriter FileWriter::Open(const std::string& path, Access access, std::error_code& error) {
  error.clear();
  int flags = O_CLOEXEC | O_NOCTTY;
  switch (access) {
    case Access::Read: flags |= O_RDONLY; break;
    case Access::Update: flags |= O_RDWR; break;
    case Access::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
  }
  UniqueFd fd(::open(path.c_str(), flags, 0644));
  if (!fd.Valid()) {
    error = LastError();
    return {};
  }
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0) {
    error = LastError();
    return {};
  }
  if (!S_ISREG(info.st_mode)) {
    error = std::make_error_code(S_ISDIR(info.st_mode) ? std::errc::is_a_directory : std::errc::invalid_argument);
    return {};
  }
  return FileWriter(std::move(fd));
}

std::size_t FileWriter::ReadAt(void* buffer, std::size_t count, std::uint64_t offset, std::error_code& error) const {
  error.clear();
  errno = 0;
  const std::size_t got = platform::ReadAt(fd_.Get(), buffer, count, offset);
  if (got < count && errno != 0) error = LastError();
  return got;
}

std::error_code FileWriter::WriteAt(const void* buffer, std::size_t count, std::uint64_t offset) {
  const auto* bytes = static_cast<const char*>(buffer);
  for (std::size_t done = 0; done < count;) {
    const ssize_t n = ::pwrite(fd_.Get(), bytes + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return LastError();
    done += static_cast<std::size_t>(n);
  }
  return {};
}

std::error_code FileWriter::CopyFrom(const FileWriter& from, std::uint64_t fromOffset, std::uint64_t toOffset,
                                     std::uint64_t count) {
  auto in = static_cast<off_t>(fromOffset);
  auto out = static_cast<off_t>(toOffset);
  bool first = true;
  while (count > 0) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(count, std::uint64_t{1} << 30));
    const ssize_t n = ::copy_file_range(from.fd_.Get(), &in, fd_.Get(), &out, chunk, 0);
    if (n > 0) {
      first = false;
      count -= static_cast<std::uint64_t>(n);
      continue;
    }
    if (n == 0) return std::make_error_code(std::errc::io_error);  // the source ended early
    if (errno == EINTR) continue;
    if (first && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
      return CopyByReading(from.fd_.Get(), static_cast<std::uint64_t>(in), fd_.Get(), static_cast<std::uint64_t>(out),
                           count);
    }
    return LastError();
  }
  return {};
}

std::error_code FileWriter::Discard(std::uint64_t offset, std::uint64_t count) {
  while (::fallocate(fd_.Get(), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                     static_cast<off_t>(count)) != 0) {
    if (errno != EINTR) return LastError();
  }
  return {};
}

std::uint64_t FileWriter::Size(std::error_code& error) const {
  error.clear();
  struct stat info {};
  if (::fstat(fd_.Get(), &info) != 0) {
    error = LastError();
    return 0;
  }
  return static_cast<std::uint64_t>(info.st_size);
}

std::error_code FileWriter::Truncate(std::uint64_t length) {
  while (::ftruncate(fd_.Get(), static_cast<off_t>(length)) != 0) {
    if (errno != EINTR) return LastError();
  }
  return {};
}

std::error_code FileWriter::Sync() {
  while (::fsync(fd_.Get()) != 0) {
    if (errno != EINTR) return LastError();
  }
  return {};
}

FileIdentity FileWriter::Identity(std::error_code& error) const {
  error.clear();
  struct stat info {};
  if (::fstat(fd_.Get(), &info) != 0) {
    error = LastError();
    return {};
  }
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

FileTimes FileWriter::Times(std::error_code& error) const {
  error.clear();
  struct stat info {};
  if (::fstat(fd_.Get(), &info) != 0) {
    error = LastError();
    return {};
  }
  const auto nanoseconds = [](const timespec& at) {
    return static_cast<std::int64_t>(at.tv_sec) * 1'000'000'000 + at.tv_nsec;
  };
  return {nanoseconds(info.st_atim), nanoseconds(info.st_mtim)};
}

std::error_code FileWriter::SetTimes(const FileTimes& times) {
  const auto at = [](std::int64_t nanoseconds) {
    return timespec{static_cast<time_t>(nanoseconds / 1'000'000'000), static_cast<long>(nanoseconds % 1'000'000'000)};
  };
  const timespec both[2] = {at(times.Accessed), at(times.Modified)};
  if (::futimens(fd_.Get(), both) != 0) return LastError();
  return {};
}

std::error_code SyncFolder(const std::string& folder) {
  UniqueFd fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.Valid()) return LastError();
  while (::fsync(fd.Get()) != 0) {
    // Some filesystems cannot sync a folder; their entries are as safe as they get.
    if (errno == EINVAL || errno == EROFS) return {};
    if (errno != EINTR) return LastError();
  }
  return {};
}

}  // namespace kelvory::platform
