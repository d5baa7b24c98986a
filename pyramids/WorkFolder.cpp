#include "pyramids/WorkFolder.h"

#include "platform/Alias.h"
#include "platform/FileClaim.h"
#include "platform/Files.h"
#include "platform/FolderEntries.h"
#include "platform/Paths.h"
#include "pyramids/AppendLink.h"
#include "pyramids/Sidecars.h"

namespace kelvory {
namespace {

constexpr std::string_view WorkSuffix = ".kelvory-build";

// The work folder as a folder is named when it is made or removed: without a trailing
// separator.
std::string WorkFolderPath(const std::string& source) {
  const std::string folder = WorkFolderOf(source);
  return folder.substr(0, folder.size() - 1);
}

}  // namespace

std::string WorkFolderOf(const std::string& source) {
  const std::string folder = platform::FolderOf(source);
  return platform::JoinPath(folder, "." + platform::FileNameOf(source) + std::string(WorkSuffix)) +
         (folder.empty() ? "/" : std::string(1, folder.back()));
}

std::string AliasOf(const std::string& source) { return WorkFolderOf(source) + platform::FileNameOf(source); }

std::string LevelFileOf(const std::string& source) { return AliasOf(source) + ".ovr"; }

namespace {

// The work folder made anew, or kept when it cannot go yet: on Windows a deleted second
// name of a file stays until the file's last handle (the build's claim) is closed, and
// its folder with it. What else is in it goes.
std::error_code MakeEmptyWorkFolder(const std::string& source) {
  RemoveWorkFolder(source);
  const std::string folder = WorkFolderPath(source);
  const std::error_code error = platform::MakeHiddenFolder(folder);
  if (!error) return {};
  if (!platform::FolderExists(folder)) return error;
  std::error_code ignored;
  for (const std::string& name : platform::ListNames(folder, ignored)) {
    platform::RemoveTree(platform::JoinPath(folder, name));
  }
  return {};
}

}  // namespace

std::error_code MakeWorkFolder(const std::string& source) {
  if (auto error = MakeEmptyWorkFolder(source)) return error;
  std::error_code error = platform::MakeAlias(source, AliasOf(source));
  // An empty work folder is removed by the build that let the file go just before.
  if (error == std::errc::no_such_file_or_directory && !MakeEmptyWorkFolder(source))
    error = platform::MakeAlias(source, AliasOf(source));
  // What GDAL reads beside the raster changes the levels (a nodata value), and a copy
  // keeps what it writes there apart from the file's own.
  for (const ReadSidecar& sidecar : SidecarsReadWithLevels(source)) {
    if (!error) error = platform::CopyFile(sidecar.Path, AliasOf(source) + sidecar.Suffix);
  }
  if (error) RemoveWorkFolder(source);
  return error;
}

bool WorkFolderPossible(const std::string& source) {
  if (MakeEmptyWorkFolder(source)) return false;
  // Under a name of its own, which on Windows may linger until the claim is let go.
  const std::string probe = WorkFolderOf(source) + "probe";
  const bool made = !platform::MakeAlias(source, probe);
  platform::DeleteFile(probe);
  RemoveWorkFolder(source);
  return made;
}

void RemoveWorkFolder(const std::string& source) { platform::RemoveTree(WorkFolderPath(source)); }

void RemoveEmptyWorkFolder(const std::string& source) { platform::RemoveFolder(WorkFolderPath(source)); }

int RemoveOrphanWorkFolders(const std::string& folder) {
  std::vector<std::string> sources;
  std::error_code error;
  for (const std::string& name : platform::ListNames(folder, error)) {
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
