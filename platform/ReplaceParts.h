#pragma once
// The pieces of a replace that differ between systems, for ReplaceFile.cpp, which puts
// them together in one order for all of them. Only the platform layer includes this.
#include <string>
#include <string_view>
#include <system_error>

#include "platform/UniqueFd.h"

namespace kelvory::platform::replace {

// What a new content meets at a path.
enum class Existing {
  None,        // nothing: a new file is made
  Folder,      // refused
  Renamable,   // a regular file a rename may replace
  InPlaceOnly  // written in place: a device, or a file with other hard links
};

// Existing at target; an error (no existing, nothing else) when target may not be
// written, or cannot be looked at.
Existing Inspect(const std::string& target, std::error_code& error);

// True when something exists at path; an error when that cannot be told.
bool Exists(const std::string& path, std::error_code& error);

// Truncates the file at path and writes bytes into it, durably.
std::error_code WriteInPlace(const std::string& path, std::string_view bytes);

// Makes a new file at path, only if none is there (file_exists otherwise).
UniqueFd CreateNew(const std::string& path, std::error_code& error);

// Writes bytes into a file CreateNew made, and closes it.
std::error_code WriteAndClose(UniqueFd file, std::string_view bytes);

}  // namespace kelvory::platform::replace
