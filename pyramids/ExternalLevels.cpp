#include "pyramids/ExternalLevels.h"

#include <utility>

#include "platform/Files.h"
#include "platform/ReplaceFile.h"
#include "pyramids/Sidecars.h"
#include "pyramids/WorkFolder.h"

namespace kelvory {

ExternalLevelsBuild::ExternalLevelsBuild(ExternalLevelsBuild&& other) noexcept
    : source_(std::exchange(other.source_, {})),
      toolTarget_(std::move(other.toolTarget_)),
      scratch_(std::move(other.scratch_)),
      overviews_(std::move(other.overviews_)) {}

ExternalLevelsBuild& ExternalLevelsBuild::operator=(ExternalLevelsBuild&& other) noexcept {
  if (this != &other) {
    Undo();
    source_ = std::exchange(other.source_, {});
    toolTarget_ = std::move(other.toolTarget_);
    scratch_ = std::move(other.scratch_);
    overviews_ = std::move(other.overviews_);
  }
  return *this;
}

ExternalLevelsBuild::~ExternalLevelsBuild() { Undo(); }

ExternalLevelsBuild ExternalLevelsBuild::Prepare(const std::string& source, std::error_code& error) {
  const std::string existing = ExternalOverviewsOf(source);
  if ((error = MakeWorkFolder(source))) return {};
  ExternalLevelsBuild build;
  build.source_ = source;
  build.toolTarget_ = AliasOf(source);
  build.scratch_ = LevelFileOf(source);
  build.overviews_ = existing.empty() ? source + ".ovr" : existing;
  // The tool adds to the levels there are, in its own copy.
  if (!existing.empty() && (error = platform::CopyFile(existing, build.scratch_))) return {};
  return build;
}

std::error_code ExternalLevelsBuild::Commit() {
  if (source_.empty()) return {};
  if (auto error = platform::Replace(scratch_, overviews_)) return error;
  RemoveWorkFolder(source_);
  source_.clear();
  return {};
}

void ExternalLevelsBuild::Undo() {
  if (source_.empty()) return;
  RemoveWorkFolder(source_);
  source_.clear();
}

}  // namespace kelvory
