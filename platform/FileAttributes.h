#pragma once
// What a file carries beside its bytes, which a new file that takes its place must be
// given for the replace to go unnoticed: its owner and group, its extended attributes
// (on Linux its ACLs among them, as system.posix_acl_*) and its permission bits.
// Nothing here throws.
#include <string>
#include <system_error>

namespace kelvory::platform {

// What could not be given, and the system's reason; none when Error is empty.
struct AttributeLoss {
  // The owner and group, as "owner:group".
  bool Owner = false;
  // The owner and group, else the attribute's name; empty when the model itself could
  // not be read or the permission bits not be set.
  std::string What;
  std::error_code Error;
  explicit operator bool() const { return static_cast<bool>(Error); }
};

// Gives path, a file this process has just made, the owner and group of the file at
// model (only where this process may: as its owner in one of its groups, or as the
// superuser), every extended attribute of model this process can read, and model's
// permission bits; attributes path has and model lacks (an ACL inherited from the
// folder) are removed. Stops at the first attribute that cannot be given.
std::error_code CopyAttributes(const std::string& model, const std::string& path);

// Tries the same on probe, a scratch file of this process's in the folder where a new
// file would take model's place, but fails on the owner too: says what of model such a
// file would lose. Windows keeps what a rename can keep and reports no loss.
AttributeLoss TryAttributes(const std::string& model, const std::string& probe);

}  // namespace kelvory::platform
