#include "pyramids/WorkFolder.h"

#include <filesystem>

#include "platform/Alias.h"
#include "platform/FileClaim.h"
#include "platform/Files.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"
#include "pyramids/AppendLink.h"

namespace kelvory {
namespace {

constexpr std::string_view WorkSuffix = ".kelvory-build";

// GDAL's metadata beside the raster: what it holds (a nodata value, scales) changes the
// levels it computes.
constexpr const char* ReadSidecarSuffixes[] = {".aux.xml"};

}  // namespace

std::string WorkFolderOf(const std::string& source) {
  const std::string folder = platform::FolderOf(source);
  return platform::JoinPath(folder, "." + platform::FileNameOf(source) + std::string(WorkSuffix)) +
         (folder.empty() ? "/" : std::string(1, folder.back()));
}

std::string AliasOf(const std::string& source) { return WorkFolderOf(source) + platform::FileNameOf(source); }

std::string LevelFileOf(const std::string& source) { return AliasOf(source) + ".ovr"; }

std::error_code MakeWorkFolder(const std::string& source) {
  RemoveWorkFolder(source);
  const std::string folder = WorkFolderOf(source);
  if (auto error = platform::MakeHiddenFolder(folder.substr(0, folder.size() - 1))) return error;
  std::error_code error = platform::MakeAlias(source, AliasOf(source));
  for (const char* suffix : ReadSidecarSuffixes) {
    if (!error && platform::FileExists(source + suffix)) error = platform::CopyFile(source + suffix, AliasOf(source) + suffix);
  }
  if (error) RemoveWorkFolder(source);
  return error;
}

void RemoveWorkFolder(const std::string& source) {
  std::error_code error;
  std::filesystem::remove_all(platform::FsPath(WorkFolderOf(source)), error);
}

int RemoveOrphanWorkFolders(const std::string& folder) {
  std::vector<std::string> sources;
  std::error_code error;
  for (std::filesystem::directory_iterator it(platform::FsPath(folder), error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = platform::PathText(it->path().filename());
    if (name.size() <= 1 + WorkSuffix.size() || name[0] != '.' || !name.ends_with(WorkSuffix)) continue;
    sources.push_back(folder + name.substr(1, name.size() - 1 - WorkSuffix.size()));
  }
  int removed = 0;
  for (const std::string& source : sources) {
    // Recovery settles the file first, then removes the folder itself.
    if (platform::FileExists(JournalOf(source))) continue;
    std::error_code claimError;
    const platform::FileClaim claim = platform::FileClaim::Take(source, claimError);
    if (claimError == std::errc::device_or_resource_busy) continue;
    RemoveWorkFolder(source);
    ++removed;
  }
  return removed;
}

}  // namespace kelvory
