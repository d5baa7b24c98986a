#include "platform/FileAttributes.h"

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace kelvory::platform {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

// The names of path's extended attributes that this process can see; none where the
// filesystem keeps none.
std::vector<std::string> AttributeNames(const std::string& path, std::error_code& error) {
  error.clear();
  std::vector<char> names;
  for (;;) {
    const ssize_t size = ::listxattr(path.c_str(), nullptr, 0);
    if (size < 0 && errno == ENOTSUP) return {};
    if (size < 0) break;
    names.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::listxattr(path.c_str(), names.data(), names.size());
    // Another attribute may have come between the two calls.
    if (got < 0 && errno == ERANGE) continue;
    if (got < 0) break;
    std::vector<std::string> list;
    for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
      list.emplace_back(names.data() + at);
      at += list.back().size() + 1;
    }
    return list;
  }
  error = LastError();
  return {};
}

std::string AttributeValue(const std::string& path, const std::string& name, std::error_code& error) {
  error.clear();
  std::string value;
  for (;;) {
    const ssize_t size = ::getxattr(path.c_str(), name.c_str(), nullptr, 0);
    if (size < 0) break;
    value.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::getxattr(path.c_str(), name.c_str(), value.data(), value.size());
    if (got < 0 && errno == ERANGE) continue;
    if (got < 0) break;
    value.resize(static_cast<std::size_t>(got));
    return value;
  }
  error = LastError();
  return {};
}

// "alice:staff", numbers where the names are unknown.
std::string OwnerText(uid_t uid, gid_t gid) {
  std::vector<char> buffer(16384);
  passwd user {};
  passwd* foundUser = nullptr;
  group grp {};
  group* foundGroup = nullptr;
  const bool named = ::getpwuid_r(uid, &user, buffer.data(), buffer.size() / 2, &foundUser) == 0 && foundUser;
  const bool groupNamed =
      ::getgrgid_r(gid, &grp, buffer.data() + buffer.size() / 2, buffer.size() / 2, &foundGroup) == 0 && foundGroup;
  return (named ? std::string(user.pw_name) : std::to_string(uid)) + ":" +
         (groupNamed ? std::string(grp.gr_name) : std::to_string(gid));
}

AttributeLoss GiveAttributes(const std::string& model, const std::string& path, bool ownerRequired) {
  struct stat info {};
  if (::stat(model.c_str(), &info) != 0) return {false, {}, LastError()};
  // The owner first, since a change of owner clears set-id bits and file capabilities.
  if (::chown(path.c_str(), info.st_uid, info.st_gid) != 0 && (ownerRequired || errno != EPERM)) {
    const std::error_code error = LastError();
    return {true, OwnerText(info.st_uid, info.st_gid), error};
  }
  std::error_code error;
  const std::vector<std::string> names = AttributeNames(model, error);
  if (error) return {false, {}, error};
  for (const std::string& name : names) {
    const std::string value = AttributeValue(model, name, error);
    if (error == std::errc::no_message_available) continue;  // removed meanwhile
    if (error) return {false, name, error};
    if (::setxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) != 0) return {false, name, LastError()};
  }
  for (const std::string& name : AttributeNames(path, error)) {
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    if (::removexattr(path.c_str(), name.c_str()) != 0 && errno != ENODATA) return {false, name, LastError()};
  }
  if (error) return {false, {}, error};
  // Last: an ACL set before has the same mask as these group bits.
  if (::chmod(path.c_str(), info.st_mode & 07777) != 0) return {false, {}, LastError()};
  return {};
}

}  // namespace

std::error_code CopyAttributes(const std::string& model, const std::string& path) {
  return GiveAttributes(model, path, false).Error;
}

AttributeLoss TryAttributes(const std::string& model, const std::string& probe) {
  return GiveAttributes(model, probe, true);
}

}  // namespace kelvory::platform
