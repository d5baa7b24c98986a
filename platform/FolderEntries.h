#pragma once
// The entries of one folder, for walks of folder trees. On Windows the C runtime's
// listing behind std::filesystem stops at MAX_PATH; this one takes paths of any length.
#include <string>
#include <system_error>
#include <vector>

namespace kelvory::platform {

struct FolderEntry {
  enum class Kind { File, Folder, Other };
  std::string name;
  // What a link leads to; a dangling link is Other.
  Kind kind = Kind::Other;
  // Why the kind could not be learnt (a link that loops, no permission); kind is Other.
  std::error_code error;
};

// The entries of folder without "." and "..", in the system's order. error is set when
// the folder cannot be listed, or listing stopped halfway; the entries read are kept.
std::vector<FolderEntry> ListFolder(const std::string& folder, std::error_code& error);

}  // namespace kelvory::platform
