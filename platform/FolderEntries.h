#pragma once
// The entries of one folder, for walks of folder trees, and folders made and removed
// whole. On Windows the C runtime's listing behind std::filesystem stops at MAX_PATH
// (past it, it lists another folder); these take paths of any length.
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

// The names alone, as ListFolder lists them, without learning what each is.
std::vector<std::string> ListNames(const std::string& folder, std::error_code& error);

// Makes the folder with any of its parents that are missing; no error when it is there.
std::error_code MakeFolders(const std::string& path);

// Removes the folder, which must be empty.
std::error_code RemoveFolder(const std::string& path);

// Removes what is at path, a folder with everything in it; a link goes as a link,
// whatever it leads to. No error when nothing is there.
std::error_code RemoveTree(const std::string& path);

}  // namespace kelvory::platform
