#pragma once
// Levels built into a file's external overview file (--external). gdaladdo -ro works
// on the file's alias in its hidden work folder (WorkFolder.h), on a copy of the
// overview file there when there is one, so that readers see the old overview file
// until the new one replaces it whole, by one rename. A run that does not finish
// leaves only the work folder, which the next build in that folder removes.
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
  // (source + ".ovr", or the spelling that exists).
  static ExternalLevelsBuild Prepare(const std::string& source, std::error_code& error);

  // The path to give the tool.
  const std::string& ToolTarget() const { return toolTarget_; }
  // The overview file the tool writes in the work folder, and the one it becomes.
  const std::string& Scratch() const { return scratch_; }
  const std::string& Overviews() const { return overviews_; }
  // The run succeeded: the new overview file replaces the old one, durably.
  std::error_code Commit();
  // Removes the work folder; the overview file stays as it was.
  void Undo();

 private:
  std::string source_;
  std::string toolTarget_;
  std::string scratch_;
  std::string overviews_;
};

}  // namespace kelvory
