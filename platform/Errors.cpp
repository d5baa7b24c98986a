#include "platform/Errors.h"

#include "platform/Paths.h"

namespace kelvory {

EFOpenError::EFOpenError(const std::string& path, std::error_code reason)
    : Exception("Cannot open file \"" + platform::FullPath(path) + "\". " + reason.message()),
      path_(path),
      error_(reason) {}

EFCreateError::EFCreateError(const std::string& path, std::error_code reason)
    : Exception("Cannot create file \"" + platform::FullPath(path) + "\". " + reason.message()) {}

}  // namespace kelvory
