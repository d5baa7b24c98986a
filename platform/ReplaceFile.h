#pragma once
#include <string>
#include <string_view>
#include <system_error>

namespace kelvory::platform {

// Gives the file at path exactly the bytes given, without ever leaving it half
// written: the bytes go to a new file in the same folder, which then takes the old
// file's place (and its permissions). A symbolic link is followed, so the file it
// points to is replaced, not the link. On failure the old file is unchanged and the
// new one is gone. A writable file in a folder that takes no new file is truncated and
// written in place instead. Returns the reason of a failure; throws nothing.
std::error_code ReplaceFileContents(const std::string& path, std::string_view bytes) noexcept;

}  // namespace kelvory::platform
