#include "platform/TempFile.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <vector>

namespace kelvory::platform {
namespace {

constexpr std::size_t UniquePart = 6;

bool SameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool LooksMade(const char* name, const std::string& prefix) {
  if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0 || std::strlen(name) != prefix.size() + UniquePart)
    return false;
  for (const char* c = name + prefix.size(); *c != '\0'; ++c) {
    const bool alnum = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
    if (!alnum) return false;
  }
  return true;
}

}  // namespace

TempFile TempFile::Create(const std::string& folder, const std::string& prefix, std::error_code& error) {
  error.clear();
  const std::string pattern = folder + prefix + "XXXXXX";
  for (int attempt = 0; attempt < 10; ++attempt) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
    if (!fd.Valid()) break;
    // A shared lock marks the file as in use; it goes with the last descriptor of it,
    // so also when this process dies. Readers of the file take shared locks too.
    if (::flock(fd.Get(), LOCK_SH) != 0) {
      // No mark, no safe working copy (a filesystem without locks): say so, leave nothing.
      error.assign(errno, std::generic_category());
      ::unlink(name.data());
      return {};
    }
    struct stat made {};
    struct stat named {};
    if (::fstat(fd.Get(), &made) == 0 && ::stat(name.data(), &named) == 0 && SameInode(made, named))
      return TempFile(std::string(name.data()), std::move(fd));
    // Another run took it for an orphan before the mark was on it: make another.
  }
  error.assign(errno != 0 ? errno : EEXIST, std::generic_category());
  return {};
}

int RemoveOrphans(const std::string& folder, const std::string& prefix) {
  const auto close = [](DIR* open) { ::closedir(open); };
  std::unique_ptr<DIR, decltype(close)> dir(::opendir(folder.c_str()), close);
  if (!dir) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (!LooksMade(entry->d_name, prefix)) continue;
    const std::string path = folder + entry->d_name;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened {};
    if (!fd.Valid() || ::fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode)) continue;
    // Nobody holds a mark on it: its owner is gone.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) continue;
    struct stat named {};
    if (::lstat(path.c_str(), &named) == 0 && SameInode(opened, named) && ::unlink(path.c_str()) == 0) {
      ++removed;
      // What the tool may have made beside it.
      for (const char* suffix : {".ovr", ".aux.xml", ".msk"}) ::unlink((path + suffix).c_str());
    }
  }
  return removed;
}

}  // namespace kelvory::platform
