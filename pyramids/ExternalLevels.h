#pragma once
// Levels built into a file's external overview file (--external). gdaladdo -ro works
// on the file's alias in its hidden work folder (WorkFolder.h), on a copy of the
// overview file there when there is one, so that readers see the old overview file
// until the new one replaces it whole, by one rename. A file's mask file (NAME.msk)
// gets its levels in its own overview file (NAME.msk.ovr), as gdaladdo -ro gives it,
// built and put in place the same way just before the file's. A run that does not
// finish leaves only the work folder, which the next build in that folder removes.
#include <string>
#include <system_error>

namespace kelvory {

class ExternalLevelsBuild {
 public:
  ExternalLevelsBuild() = default;
  ExternalLevelsBuild(ExternalLevelsBuild&& other) noexcept;
  ExternalLevelsBuild& operator=(ExternalLevelsBuild&& other) noexcept;
  ExternalLevelsBuild(const ExternalLevelsBuild&) = delete;
  ExternalLevelsBuild& operator=(const ExternalLevelsBuild&) = delete;
  // Undoes the run unless it was committed.
  ~ExternalLevelsBuild();

  // Makes the work folder for a run of the tool that writes source's overviews
  // (source + ".ovr", or the spelling that exists), and its mask file's.
  static ExternalLevelsBuild Prepare(const std::string& source, std::error_code& error);

  // The path to give the tool.
  const std::string& ToolTarget() const { return toolTarget_; }
  // The overview file the tool writes in the work folder.
  const std::string& Scratch() const { return scratch_; }
  // The run succeeded: the new overview files replace the old ones, durably, the
  // mask file's first.
  std::error_code Commit();
  // The overview file a failed Commit could not replace.
  const std::string& Unreplaced() const { return unreplaced_; }
  // Removes the work folder; the overview file stays as it was.
  void Undo();

 private:
  std::string source_;
  std::string toolTarget_;
  std::string scratch_;
  std::string overviews_;
  // Empty when the file has no mask file.
  std::string maskScratch_;
  std::string maskOverviews_;
  std::string unreplaced_;
};

}  // namespace kelvory
