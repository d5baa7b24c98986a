#include "platform/Errors.h"

#include "platform/Paths.h"

namespace kelvory {

EFOpenError::EFOpenError(const std::string& path, std::error_code reason)
    : FileError("Cannot open file \"" + platform::FullPath(path) + "\". " + reason.message(), path, reason) {}

EFCreateError::EFCreateError(const std::string& path, std::error_code reason)
    : FileError("Cannot create file \"" + platform::FullPath(path) + "\". " + reason.message(), path, reason) {}

}  // namespace kelvory
