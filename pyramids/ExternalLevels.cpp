#include "pyramids/ExternalLevels.h"

#include <filesystem>
#include <utility>

#include "platform/FileClaim.h"
#include "platform/Files.h"
#include "platform/FsPath.h"
#include "platform/ReplaceFile.h"
#include "platform/TempFile.h"
#include "pyramids/Sidecars.h"
#include "pyramids/WorkingCopy.h"

namespace kelvory {
namespace {

// The undo's name beside the overview file: hidden, and telling which it is.
constexpr const char* KeptSuffix = ".kelvory-kept";
constexpr const char* NewSuffix = ".kelvory-new";

std::string UndoPath(const std::string& overviews, const char* suffix) {
  return platform::FolderOf(overviews) + "." + platform::FileNameOf(overviews) + suffix;
}

// Writes a file aside and renames it to path, durably, so that a half-written undo
// never has its name.
std::error_code PlaceDurably(const std::string& contentsFrom, const std::string& path) {
  std::error_code error;
  platform::TempFile staged = platform::TempFile::Create(platform::FolderOf(path), StagePrefix, error);
  if (error) return error;
  if (!contentsFrom.empty() && (error = platform::CopyFile(contentsFrom, staged.Path()))) return error;
  return MoveIntoPlace(staged, path);
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

ExternalLevelsGuard::ExternalLevelsGuard(ExternalLevelsGuard&& other) noexcept
    : overviews_(std::move(other.overviews_)),
      undo_(std::exchange(other.undo_, {})),
      hadOverviews_(other.hadOverviews_) {}

ExternalLevelsGuard& ExternalLevelsGuard::operator=(ExternalLevelsGuard&& other) noexcept {
  if (this != &other) {
    Undo();
    overviews_ = std::move(other.overviews_);
    undo_ = std::exchange(other.undo_, {});
    hadOverviews_ = other.hadOverviews_;
  }
  return *this;
}

ExternalLevelsGuard::~ExternalLevelsGuard() { Undo(); }

ExternalLevelsGuard ExternalLevelsGuard::Prepare(const std::string& source, std::error_code& error) {
  ExternalLevelsGuard guard;
  const std::string existing = ExternalOverviewsOf(source);
  guard.hadOverviews_ = !existing.empty();
  guard.overviews_ = guard.hadOverviews_ ? existing : source + ".ovr";
  const std::string undo = UndoPath(guard.overviews_, guard.hadOverviews_ ? KeptSuffix : NewSuffix);
  if ((error = PlaceDurably(existing, undo))) return {};
  guard.undo_ = undo;
  return guard;
}

std::error_code ExternalLevelsGuard::Commit() {
  if (undo_.empty()) return {};
  if (auto error = platform::SystemReplaceSteps().SyncFile(overviews_)) return error;
  platform::DeleteFile(undo_);
  undo_.clear();
  return {};
}

void ExternalLevelsGuard::Undo() {
  if (undo_.empty()) return;
  if (hadOverviews_) {
    platform::Replace(undo_, overviews_);
  } else {
    platform::DeleteFile(overviews_);
    platform::DeleteFile(undo_);
  }
  undo_.clear();
}

int RecoverExternalLevels(const std::string& folder) {
  int recovered = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it(platform::FsPath(folder), error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = platform::PathText(it->path().filename());
    const bool kept = EndsWith(name, KeptSuffix);
    if (name.empty() || name[0] != '.' || (!kept && !EndsWith(name, NewSuffix))) continue;
    const std::string overviewsName =
        name.substr(1, name.size() - 1 - std::string(kept ? KeptSuffix : NewSuffix).size());
    const std::string overviews = folder + overviewsName;
    // The raster is the overview file's name without ".ovr": a live run holds it.
    const std::string raster = overviews.substr(0, overviews.size() - 4);
    std::error_code claimError;
    const platform::FileClaim claim = platform::FileClaim::Take(raster, claimError);
    if (claimError == std::errc::device_or_resource_busy) continue;
    ExternalLevelsGuard guard;
    guard.overviews_ = overviews;
    guard.undo_ = folder + name;
    guard.hadOverviews_ = kept;
    guard.Undo();
    ++recovered;
  }
  return recovered;
}

}  // namespace kelvory
