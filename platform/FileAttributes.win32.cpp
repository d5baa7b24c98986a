#include "platform/FileAttributes.h"

#include "platform/Files.h"

namespace kelvory::platform {

// A new file takes its folder's access rules; the file attributes a user sets himself
// are what goes over.
std::error_code CopyAttributes(const std::string& model, const std::string& path) {
  return CopyPermissions(model, path);
}

AttributeLoss TryAttributes(const std::string&, const std::string&) { return {}; }

}  // namespace kelvory::platform
