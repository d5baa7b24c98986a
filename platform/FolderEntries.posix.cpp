#include "platform/FolderEntries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

namespace kelvory::platform {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

// The folder open for reading its entries, or none with error set.
Dir OpenFolder(const std::string& folder, std::error_code& error) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = {errno, std::generic_category()};
    return nullptr;
  }
  Dir dir(::fdopendir(fd));
  if (!dir) {
    error = {errno, std::generic_category()};
    ::close(fd);
  }
  return dir;
}

// The next entry but "." and "..", or none at the end (error set when reading failed).
const dirent* NextEntry(DIR* dir, std::error_code& error) {
  for (;;) {
    errno = 0;
    const dirent* found = ::readdir(dir);
    if (found == nullptr) {
      if (errno != 0) error = {errno, std::generic_category()};
      return nullptr;
    }
    if (std::strcmp(found->d_name, ".") != 0 && std::strcmp(found->d_name, "..") != 0) return found;
  }
}

}  // namespace

std::vector<FolderEntry> ListFolder(const std::string& folder, std::error_code& error) {
  error.clear();
  std::vector<FolderEntry> entries;
  const Dir dir = OpenFolder(folder, error);
  if (!dir) return entries;
  // The listing names the kind of most entries itself, which saves a stat of each of a
  // folder's thousands of files. Links, and whatever the filesystem leaves untold, are
  // looked up; so is everything in a folder that may be listed but not searched, where
  // no entry's kind can be learnt.
  const bool kindsTold = ::faccessat(::dirfd(dir.get()), ".", X_OK, AT_EACCESS) == 0;
  while (const dirent* found = NextEntry(dir.get(), error)) {
    FolderEntry entry;
    entry.name = found->d_name;
    struct stat info {};
    if (kindsTold && (found->d_type == DT_REG || found->d_type == DT_DIR)) {
      entry.kind = found->d_type == DT_DIR ? FolderEntry::Kind::Folder : FolderEntry::Kind::File;
    } else if (::fstatat(::dirfd(dir.get()), found->d_name, &info, 0) == 0) {
      entry.kind = S_ISDIR(info.st_mode)   ? FolderEntry::Kind::Folder
                   : S_ISREG(info.st_mode) ? FolderEntry::Kind::File
                                           : FolderEntry::Kind::Other;
    } else if (errno != ENOENT) {
      entry.error = {errno, std::generic_category()};
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<std::string> ListNames(const std::string& folder, std::error_code& error) {
  error.clear();
  std::vector<std::string> names;
  const Dir dir = OpenFolder(folder, error);
  if (!dir) return names;
  while (const dirent* found = NextEntry(dir.get(), error)) names.emplace_back(found->d_name);
  return names;
}

std::error_code MakeFolders(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return error;
}

std::error_code RemoveFolder(const std::string& path) {
  if (::rmdir(path.c_str()) == 0) return {};
  return {errno, std::generic_category()};
}

std::error_code RemoveTree(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  return error;
}

}  // namespace kelvory::platform
