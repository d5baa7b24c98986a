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
      overviews_(std::move(other.overviews_)),
      maskScratch_(std::move(other.maskScratch_)),
      maskOverviews_(std::move(other.maskOverviews_)),
      unreplaced_(std::move(other.unreplaced_)) {}

ExternalLevelsBuild& ExternalLevelsBuild::operator=(ExternalLevelsBuild&& other) noexcept {
  if (this != &other) {
    Undo();
    source_ = std::exchange(other.source_, {});
    toolTarget_ = std::move(other.toolTarget_);
    scratch_ = std::move(other.scratch_);
    overviews_ = std::move(other.overviews_);
    maskScratch_ = std::move(other.maskScratch_);
    maskOverviews_ = std::move(other.maskOverviews_);
    unreplaced_ = std::move(other.unreplaced_);
  }
  return *this;
}

ExternalLevelsBuild::~ExternalLevelsBuild() { Undo(); }

ExternalLevelsBuild ExternalLevelsBuild::Prepare(const std::string& source, std::error_code& error) {
  const std::string existing = ExternalOverviewsOf(source);
  const std::string mask = MaskFileOf(source);
  const std::string maskExisting = mask.empty() ? std::string() : ExternalOverviewsOf(mask);
  if ((error = MakeWorkFolder(source))) return {};
  ExternalLevelsBuild build;
  build.source_ = source;
  build.toolTarget_ = AliasOf(source);
  build.scratch_ = LevelFileOf(source);
  build.overviews_ = existing.empty() ? source + ".ovr" : existing;
  // The tool adds to the levels there are, in its own copy.
  if (!existing.empty() && (error = platform::CopyFile(existing, build.scratch_))) return {};
  if (!mask.empty()) {
    // The work folder's copy of the mask file is named .msk beside the alias.
    build.maskScratch_ = AliasOf(source) + ".msk.ovr";
    build.maskOverviews_ = maskExisting.empty() ? mask + ".ovr" : maskExisting;
    if (!maskExisting.empty() && (error = platform::CopyFile(maskExisting, build.maskScratch_))) return {};
  }
  return build;
}

std::error_code ExternalLevelsBuild::Commit() {
  if (source_.empty()) return {};
  // The mask's levels first: whoever finds the file's new levels finds theirs too.
  if (!maskScratch_.empty() && platform::FileExists(maskScratch_)) {
    if (auto error = platform::Replace(maskScratch_, maskOverviews_)) {
      unreplaced_ = maskOverviews_;
      return error;
    }
  }
  if (auto error = platform::Replace(scratch_, overviews_)) {
    unreplaced_ = overviews_;
    return error;
  }
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
