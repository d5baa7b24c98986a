#pragma once
// Turns the command line's paths, folders and list files into the build's rows.
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "batch/BatchOptions.h"
#include "filelist/FolderWalk.h"

namespace kelvory {

// Reads a list file into its lines; throws when the file cannot be read.
using ListReader = std::function<std::vector<std::string>(const std::string& path)>;

// The TIFF files below a folder as folder + "/" + the names on the way, and what could
// not be read there (the folder itself, when nothing of it could); no value when path
// is not a folder.
using FolderLister = std::function<std::optional<FolderFiles>(const std::string& path)>;

// One file of the build, and the subfolder of the destination its copy goes to: the
// path of its folder below a folder argument, empty for the destination's top.
struct BatchRow {
  std::string path;
  std::string subfolder;
  // Set for a folder or entry below a folder argument that could not be read: the row
  // fails with it, so that nothing is passed over unseen.
  std::error_code unreadable;

  bool operator==(const BatchRow&) const = default;
};

// The rows in source order. A folder argument adds the files below it; a list line
// that is a relative path is taken relative to the list file's folder. Empty entries
// are skipped, and so is an entry whose bytes equal those of an earlier row: the same
// rule as loading a list in the window. What a folder argument could not read follows
// its files, as rows of their own.
std::vector<BatchRow> CollectBatchRows(const std::vector<BatchSource>& sources, const ListReader& readList,
                                       const FolderLister& listFolder);

}  // namespace kelvory
