#include "platform/FolderEntries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace kelvory::platform {

std::vector<FolderEntry> ListFolder(const std::string& folder, std::error_code& error) {
  error.clear();
  std::vector<FolderEntry> entries;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = {errno, std::generic_category()};
    return entries;
  }
  struct Closer {
    void operator()(DIR* dir) const { ::closedir(dir); }
  };
  const std::unique_ptr<DIR, Closer> dir(::fdopendir(fd));
  if (!dir) {
    error = {errno, std::generic_category()};
    ::close(fd);
    return entries;
  }
  for (;;) {
    errno = 0;
    const dirent* found = ::readdir(dir.get());
    if (found == nullptr) {
      if (errno != 0) error = {errno, std::generic_category()};
      return entries;
    }
    if (std::strcmp(found->d_name, ".") == 0 || std::strcmp(found->d_name, "..") == 0) continue;
    FolderEntry entry;
    entry.name = found->d_name;
    struct stat info {};
    if (::fstatat(fd, found->d_name, &info, 0) == 0) {
      entry.kind = S_ISDIR(info.st_mode)   ? FolderEntry::Kind::Folder
                   : S_ISREG(info.st_mode) ? FolderEntry::Kind::File
                                           : FolderEntry::Kind::Other;
    } else if (errno != ENOENT) {
      entry.error = {errno, std::generic_category()};
    }
    entries.push_back(std::move(entry));
  }
}

}  // namespace kelvory::platform
