#include "filelist/FolderWalk.h"

#include <algorithm>
#include <set>
#include <utility>

#include "platform/Files.h"
#include "platform/FolderEntries.h"
#include "platform/Paths.h"

namespace kelvory {

namespace {

using platform::FolderEntry;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EndsWithIgnoringCase(const std::string& text, std::string_view ending) {
  if (text.size() < ending.size()) return false;
  return std::equal(ending.begin(), ending.end(), text.end() - static_cast<std::ptrdiff_t>(ending.size()),
                    [](char a, char b) { return a == Lower(b); });
}

class Walk {
 public:
  explicit Walk(FolderFiles& found) : found_(found) {}

  // False, with error, when nothing of the folder can be read.
  bool Enter(const std::string& folder, std::error_code& error) {
    // The folder's identity, so that the same one reached through a link is seen again;
    // Wine gives no real path past MAX_PATH, but an identity at any length.
    const platform::FileStamp stamp = platform::StampOf(folder, error);
    if (error) return false;
    if (!visited_.insert({stamp.Device, stamp.Inode}).second) return true;
    const std::vector<FolderEntry> entries = platform::ListFolder(folder, error);
    if (error && entries.empty()) return false;
    // What was read before the listing broke off is kept; the folder is reported.
    if (error) found_.unreadable.push_back({folder, error});
    error.clear();
    std::vector<std::string> subfolders;
    for (const FolderEntry& entry : entries) {
      const std::string path = platform::JoinPath(folder, entry.name);
      if (entry.error) {
        found_.unreadable.push_back({path, entry.error});
      } else if (entry.kind == FolderEntry::Kind::Folder) {
        subfolders.push_back(path);
      } else if (entry.kind == FolderEntry::Kind::File && HasTiffExtension(path)) {
        found_.files.push_back(path);
      }
    }
    for (const std::string& subfolder : subfolders) {
      std::error_code failed;
      if (!Enter(subfolder, failed)) found_.unreadable.push_back({subfolder, failed});
    }
    return true;
  }

 private:
  FolderFiles& found_;
  std::set<std::pair<unsigned long long, unsigned long long>> visited_;
};

}  // namespace

bool HasTiffExtension(const std::string& path) {
  return EndsWithIgnoringCase(path, ".tif") || EndsWithIgnoringCase(path, ".tiff");
}

FolderFiles TiffFilesBelow(const std::string& folder, std::error_code& error) {
  error.clear();
  FolderFiles found;
  try {
    Walk walk(found);
    if (!walk.Enter(folder, error)) return {};
  } catch (const std::exception&) {
    error = std::make_error_code(std::errc::not_enough_memory);
    return {};
  }
  found.files.Sort();
  std::sort(found.unreadable.begin(), found.unreadable.end(),
            [](const UnreadablePath& a, const UnreadablePath& b) { return a.path < b.path; });
  return found;
}

FolderFiles TiffFilesFor(const std::vector<std::string>& paths) {
  FolderFiles all;
  for (const std::string& path : paths) {
    if (platform::FolderExists(path)) {
      std::error_code error;
      FolderFiles below = TiffFilesBelow(path, error);
      if (error) all.unreadable.push_back({path, error});
      all.files.Append(std::move(below.files));
      all.unreadable.insert(all.unreadable.end(), below.unreadable.begin(), below.unreadable.end());
    } else if (HasTiffExtension(path) && platform::FileExists(path)) {
      all.files.push_back(path);
    }
  }
  return all;
}

}  // namespace kelvory
