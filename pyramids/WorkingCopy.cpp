#include "pyramids/WorkingCopy.h"

#include "platform/Files.h"
#include "platform/ReplaceFile.h"

namespace kelvory {
std::error_code StageCopy(const std::string& source, const std::string& folder, platform::TempFile& staged) {
  std::error_code error;
  platform::TempFile file = platform::TempFile::Create(folder, StagePrefix, error);
  if (error) return error;
  if ((error = platform::CopyFile(source, file.Path()))) return error;
  if ((error = platform::CopyPermissions(source, file.Path()))) return error;
  staged = std::move(file);
  return {};
}

std::error_code MoveIntoPlace(platform::TempFile& staged, const std::string& target) {
  if (auto error = platform::Replace(staged.Path(), target)) {
    // A failure after the rename (syncing the folder) leaves the new file in place.
    if (!platform::FileExists(staged.Path())) staged.Keep();
    return error;
  }
  staged.Keep();
  return {};
}

std::error_code ReplaceWithWorkingCopy(const std::string& source, platform::TempFile& working) {
  std::error_code error;
  const std::string target = platform::ResolvedPath(source, error);
  if (error) return error;
  const std::string folder = platform::FolderOf(target);
  if (platform::SameFileSystem(working.Path(), folder)) return MoveIntoPlace(working, target);
  platform::TempFile staged;
  if ((error = StageCopy(working.Path(), folder, staged))) return error;
  return MoveIntoPlace(staged, target);
}

}  // namespace kelvory
