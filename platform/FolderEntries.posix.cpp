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
  // The listing names the kind of most entries itself, which saves a stat of each of a
  // folder's thousands of files. Links, and whatever the filesystem leaves untold, are
  // looked up; so is everything in a folder that may be listed but not searched, where
  // no entry's kind can be learnt.
  const bool kindsTold = ::faccessat(fd, ".", X_OK, AT_EACCESS) == 0;
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
    if (kindsTold && (found->d_type == DT_REG || found->d_type == DT_DIR)) {
      entry.kind = found->d_type == DT_DIR ? FolderEntry::Kind::Folder : FolderEntry::Kind::File;
    } else if (::fstatat(fd, found->d_name, &info, 0) == 0) {
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
