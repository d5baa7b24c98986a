#include "filelist/FolderWalk.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "platform/FsPath.h"
#include "platform/Paths.h"

namespace kelvory {

namespace fs = std::filesystem;

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EndsWithIgnoringCase(const std::string& text, std::string_view ending) {
  if (text.size() < ending.size()) return false;
  return std::equal(ending.begin(), ending.end(), text.end() - static_cast<std::ptrdiff_t>(ending.size()),
                    [](char a, char b) { return a == Lower(b); });
}

class Walk {
 public:
  explicit Walk(std::vector<std::string>& found) : found_(found) {}

  // False when the folder cannot be read at all.
  bool Enter(const std::string& folder, std::error_code& error) {
    // The real folder, so that the same one reached through a link is seen again.
    const fs::path real = fs::canonical(platform::FsPath(folder), error);
    if (error) return false;
    if (!visited_.insert(platform::PathText(real)).second) return true;
    fs::directory_iterator entries(platform::FsPath(folder), error);
    if (error) return false;
    std::vector<std::string> subfolders;
    for (; entries != fs::directory_iterator(); entries.increment(error)) {
      if (error) return true;  // what was read so far is kept
      const std::string path = Joined(folder, platform::PathText(entries->path().filename()));
      std::error_code ignored;
      // Both follow links: a linked file or folder counts as what it points to.
      if (entries->is_directory(ignored)) {
        subfolders.push_back(path);
      } else if (entries->is_regular_file(ignored) && HasTiffExtension(path)) {
        found_.push_back(path);
      }
    }
    for (const std::string& subfolder : subfolders) {
      std::error_code ignored;
      Enter(subfolder, ignored);
    }
    return true;
  }

 private:
  static std::string Joined(const std::string& folder, const std::string& name) {
    return platform::JoinPath(folder, name);
  }

  std::vector<std::string>& found_;
  std::set<std::string> visited_;
};

}  // namespace

bool HasTiffExtension(const std::string& path) {
  return EndsWithIgnoringCase(path, ".tif") || EndsWithIgnoringCase(path, ".tiff");
}

std::vector<std::string> TiffFilesBelow(const std::string& folder, std::error_code& error) {
  error.clear();
  std::vector<std::string> found;
  try {
    Walk walk(found);
    if (!walk.Enter(folder, error)) return {};
  } catch (const std::exception&) {
    error = std::make_error_code(std::errc::not_enough_memory);
    return {};
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<std::string> TiffFilesFor(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    std::error_code error;
    if (fs::is_directory(platform::FsPath(path), error)) {
      std::vector<std::string> below = TiffFilesBelow(path, error);
      files.insert(files.end(), std::make_move_iterator(below.begin()), std::make_move_iterator(below.end()));
    } else if (HasTiffExtension(path) && fs::is_regular_file(platform::FsPath(path), error)) {
      files.push_back(path);
    }
  }
  return files;
}

}  // namespace kelvory
