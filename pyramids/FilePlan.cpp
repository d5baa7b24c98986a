#include "pyramids/FilePlan.h"

#include <memory>
#include <optional>
#include <set>

#include "pyramids/LevelRule.h"
#include "pyramids/Reason.h"
#include "pyramids/Sidecars.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "tiff/TIFFError.h"

namespace kelvory {
namespace {

// Loads the source into bitmap: through the claim's own descriptor while it holds the
// file, since over NFS a second open's lock would meet the claim's.
void LoadSource(TTIFFBitmap& bitmap, const std::string& source, const platform::FileClaim& claim,
                std::unique_ptr<platform::Stream>& contents) {
  if (!claim.Held()) {
    bitmap.LoadFromFile(source);
    return;
  }
  std::error_code error;
  contents = claim.Contents(error);
  if (error) throw EFOpenError(source, error);
  bitmap.LoadFromStream(*contents);
}

// True when the widened reading takes a file the classic one refused.
bool ReadableWidened(const std::string& source, const platform::FileClaim& claim) {
  try {
    std::unique_ptr<platform::Stream> contents;
    TTIFFBitmap widened(ReadingMode::Widened);
    LoadSource(widened, source, claim, contents);
    ReadLevelInventory(widened);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

ReasonCode CodeOf(TIFFFailure failure) {
  switch (failure) {
    case TIFFFailure::UnsupportedFileType: return ReasonCode::UnsupportedFileType;
    case TIFFFailure::ReadError: return ReasonCode::FileReadError;
    case TIFFFailure::StructureError: return ReasonCode::FileStructureError;
    case TIFFFailure::UnsupportedImageFormat: return ReasonCode::UnsupportedImageFormat;
  }
  return ReasonCode::FileStructureError;
}

// The levels the file holds. A file the classic rules refuse but the widened ones
// read says so, for the user to be told where to switch them on.
LevelInventory ReadInventory(TTIFFBitmap& reader, const std::string& source, const platform::FileClaim& claim) {
  std::unique_ptr<platform::Stream> contents;
  try {
    LoadSource(reader, source, claim, contents);
    LevelInventory inventory = ReadLevelInventory(reader);
    reader.Close();
    return inventory;
  } catch (const TIFFError& refusal) {
    reader.Close();
    Reason why = MakeReason(CodeOf(refusal.Failure()));
    const bool classicOnly = refusal.Failure() == TIFFFailure::UnsupportedFileType ||
                             refusal.Failure() == TIFFFailure::UnsupportedImageFormat;
    why.ReadableWidened = reader.Mode() == ReadingMode::Classic && classicOnly && ReadableWidened(source, claim);
    throw BuildError(why);
  } catch (const EFOpenError& error) {
    reader.Close();
    Refuse(ReasonCode::CannotOpen, {platform::FullPath(error.Path())}, error.Error());
  } catch (const ERangeError& error) {
    reader.Close();
    Refuse(ReasonCode::RangeCheck, {error.what()});
  } catch (...) {
    reader.Close();
    throw;
  }
}

// The levels of an external overview file added to those of the file; unreadable
// overviews add none.
LevelInventory WithExternalLevels(TTIFFBitmap& reader, LevelInventory inventory, const std::string& overviews) {
  try {
    reader.LoadFromFile(overviews);
    AddExternalLevels(inventory, reader);
  } catch (const std::exception&) {
  }
  reader.Close();
  return inventory;
}

// The levels a file holds, those of its external overview file included.
LevelInventory CountedLevels(TTIFFBitmap& reader, const LevelInventory& inventory, const std::string& overviews) {
  return overviews.empty() ? inventory : WithExternalLevels(reader, inventory, overviews);
}

// A copy made from this very version of the source and its sidecars, with these
// options, that still holds enough levels is up to date: the levels it holds, or none
// when it is not.
std::optional<int> UpToDateCopy(TTIFFBitmap& reader, const std::string& destination, const CopyOrigin& origin,
                                std::int32_t wanted) {
  if (!MadeFrom(destination, origin)) return std::nullopt;
  try {
    const LevelInventory levels = CountedLevelsOf(reader, destination, platform::FileClaim());
    if (!HasEnoughLevels(levels, wanted)) return std::nullopt;
    return levels.Levels - 1;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// The factors 2, 4, ..., 2^wanted.
std::vector<std::int64_t> AllFactors(std::int32_t wanted) {
  std::vector<std::int64_t> factors;
  for (std::int32_t level = 1; level <= wanted; ++level) factors.push_back(std::int64_t{1} << level);
  return factors;
}

// How many levels a file holding inventory's reduced images holds once factors are built.
int LevelsWith(const LevelInventory& inventory, const std::vector<std::int64_t>& factors) {
  std::set<std::int64_t> all = inventory.Factors;
  all.insert(factors.begin(), factors.end());
  return static_cast<int>(all.size());
}

}  // namespace

LevelInventory CountedLevelsOf(TTIFFBitmap& reader, const std::string& path, const platform::FileClaim& claim) {
  return CountedLevelsOf(reader, path, claim, ExternalOverviewsOf(path));
}

LevelInventory CountedLevelsOf(TTIFFBitmap& reader, const std::string& path, const platform::FileClaim& claim,
                               const std::string& overviews) {
  LevelInventory inventory;
  try {
    std::unique_ptr<platform::Stream> contents;
    LoadSource(reader, path, claim, contents);
    inventory = ReadLevelInventory(reader);
    reader.Close();
  } catch (...) {
    reader.Close();
    throw;
  }
  return CountedLevels(reader, inventory, overviews);
}

FilePlan PlanFile(TTIFFBitmap& reader, const std::string& source, const std::string& destination,
                  const std::vector<std::string>& sidecars, const platform::FileClaim& claim,
                  const BuildOptions& options) {
  FilePlan plan;
  plan.Inventory = ReadInventory(reader, source, claim);
  plan.LevelsWanted = LevelCount(plan.Inventory.Width, plan.Inventory.Height);
  plan.Overviews = ExternalOverviewsOf(source);
  const LevelInventory counted = CountedLevels(reader, plan.Inventory, plan.Overviews);
  plan.LevelsBefore = counted.Levels - 1;
  plan.LevelsAfter = plan.LevelsBefore;

  if (!destination.empty()) plan.Origin = OriginOf(source, sidecars, claim, options, plan.LevelsWanted);
  if (!destination.empty() && options.KeepUpToDateCopies && !options.Force) {
    if (const std::optional<int> copyLevels = UpToDateCopy(reader, destination, plan.Origin, plan.LevelsWanted)) {
      plan.Do = FilePlan::Action::UpToDate;
      plan.LevelsAfter = *copyLevels;
      return plan;
    }
  }
  if (plan.LevelsWanted < 1 || (HasEnoughLevels(counted, plan.LevelsWanted) && !options.Force)) {
    plan.Do = destination.empty() ? FilePlan::Action::UpToDate : FilePlan::Action::CopyToDestination;
    return plan;
  }
  if (plan.LevelsWanted > MaxLevels) {
    Refuse(ReasonCode::TooManyLevels, {std::to_string(plan.Inventory.Width), std::to_string(plan.Inventory.Height),
                                       std::to_string(plan.LevelsWanted), std::to_string(MaxLevels)});
  }
  // A COG keeps its layout only written anew as a whole: in place when asked for, into
  // a destination folder always.
  const bool asCog = plan.Inventory.CogLayout && (!destination.empty() || options.RewriteCogs);
  if (destination.empty() && options.External && !asCog) {
    // gdaladdo -ro refuses a file with levels inside; the file itself is never written.
    if (plan.Inventory.Levels > 1) {
      Refuse(plan.Inventory.CogLayout ? ReasonCode::CogInPlace : ReasonCode::ExternalBesideInternal, {source});
    }
    plan.Do = FilePlan::Action::BuildExternal;
    plan.Factors = options.Force ? AllFactors(plan.LevelsWanted) : MissingFactors(counted, plan.LevelsWanted);
    plan.LevelsAfter = LevelsWith(counted, plan.Factors);
    return plan;
  }
  if (destination.empty()) {
    // New levels inside the file would hide those of its overview file from GDAL,
    // and in a COG they would break the layout that makes it one.
    if (!plan.Overviews.empty()) Refuse(ReasonCode::ExternalOverviews, {source, plan.Overviews});
    if (plan.Inventory.CogLayout && !asCog) Refuse(ReasonCode::CogInPlace, {source});
  }
  plan.Do = FilePlan::Action::Build;
  plan.AsCog = asCog;
  // Levels the file already has are kept as they are: only the others are asked for.
  // A copy gets its levels inside it and no overview file.
  plan.Factors = options.Force ? AllFactors(plan.LevelsWanted) : MissingFactors(plan.Inventory, plan.LevelsWanted);
  plan.LevelsAfter = LevelsWith(plan.Inventory, plan.Factors);
  return plan;
}

}  // namespace kelvory
