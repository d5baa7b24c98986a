#include "platform/Alias.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"

namespace kelvory::platform {

std::error_code MakeAlias(const std::string& target, const std::string& alias) {
  // Relative where the alias lies in the target's folder or one below, so that the link
  // stays right whatever the folder is called or wherever it is mounted.
  const std::string aliasFolder = FolderOf(alias);
  const std::string parent = aliasFolder.size() > 1 ? FolderOf(aliasFolder.substr(0, aliasFolder.size() - 1)) : "";
  std::string linked = target;
  if (aliasFolder == FolderOf(target)) {
    linked = FileNameOf(target);
  } else if (parent == FolderOf(target)) {
    linked = "../" + FileNameOf(target);
  }
  if (::symlink(linked.c_str(), alias.c_str()) == 0) return {};
  return {errno, std::generic_category()};
}

std::error_code MakeHiddenFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return {};
  return {errno, std::generic_category()};
}

}  // namespace kelvory::platform
