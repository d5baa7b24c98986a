#pragma once
// Levels built into a file's external overview file (gdaladdo -ro) change that file in
// place, so what undoes an unfinished run is put beside it first: a copy of the
// overview file as it was, or a mark that there was none. A failed or stopped run is
// undone at once; a run that died is undone by the next build in that folder.
#include <string>
#include <system_error>

namespace kelvory {

int RecoverExternalLevels(const std::string& folder);

class ExternalLevelsGuard {
 public:
  ExternalLevelsGuard() = default;
  ExternalLevelsGuard(ExternalLevelsGuard&& other) noexcept;
  ExternalLevelsGuard& operator=(ExternalLevelsGuard&& other) noexcept;
  ExternalLevelsGuard(const ExternalLevelsGuard&) = delete;
  ExternalLevelsGuard& operator=(const ExternalLevelsGuard&) = delete;
  // Undoes the run unless it was committed.
  ~ExternalLevelsGuard();

  // Readies the undo for a run of the tool that writes overviews (source + ".ovr", or
  // the spelling that exists). Durable before it returns.
  static ExternalLevelsGuard Prepare(const std::string& source, std::error_code& error);

  const std::string& Overviews() const { return overviews_; }
  // The run succeeded: makes the overview file durable and drops the undo.
  std::error_code Commit();
  // Puts the overview file back as it was before the run.
  void Undo();

 private:
  friend int RecoverExternalLevels(const std::string& folder);

  std::string overviews_;
  std::string undo_;  // the copy or the mark; empty when disarmed
  bool hadOverviews_ = false;
};

// Undoes, in folder (ending with a separator), the runs of dead processes: every undo
// left beside an overview file whose raster no live process holds. Returns how many.
int RecoverExternalLevels(const std::string& folder);

}  // namespace kelvory
