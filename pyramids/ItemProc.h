#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileClaim.h"
#include "platform/Files.h"
#include "platform/MemoryFile.h"
#include "platform/Process.h"
#include "platform/TempFile.h"
#include "pyramids/AppendLink.h"
#include "pyramids/CopyStamp.h"
#include "pyramids/ExternalLevels.h"
#include "pyramids/FileWorkers.h"

namespace kelvory {

// A sidecar copied beside a destination file, put in place with it.
struct StagedSidecar {
  platform::TempFile Staged;
  std::string Target;
  // A sidecar GDAL reads with the raster is copied beside the working copy under its
  // name instead (Staged empty), for gdaladdo to read and write as it would the
  // source's; it gets Source's permissions when it is put in place.
  std::string Beside;
  std::string Source;
};

// One build slot: idle (Row -1), working on a row (its copy being made, or its tool
// running), or exhausted once the queue had no row left for it.
struct ItemProc {
  int Row = -1;
  bool Exhausted = false;
  bool Running = false;
  // The threads its running tool was given.
  int Threads = 1;
  // The copy into the working file runs beside the tools; the tool starts once it is done.
  std::shared_ptr<FileWork> Preparation;
  platform::Process ProcessHandle;

  // The row's file, as the user named it.
  std::string Source;
  // The file the tool works on, owned until its result has been put in place: the
  // temporary copy, or a new file beside the destination.
  platform::TempFile WorkingCopy;
  // Its path, also once it has been put in place.
  std::string WorkingPath;
  // The source as it was copied: an in-place result replaces only that version.
  platform::FileStamp SourceStamp;
  // Where a destination job's result goes once the tool has succeeded.
  std::string Destination;
  // The sidecars that go with the destination file.
  std::vector<StagedSidecar> Sidecars;
  // An overview file at the destination that the new levels inside the file would
  // leave stale; removed once the file is in place.
  std::string StaleOverviews;
  // What the destination file is made from, recorded in its stamp once it is in place.
  CopyOrigin Origin;
  // The tool's error output, kept in memory: a full disk must not swallow the errors
  // of a tool that ran out of space.
  std::unique_ptr<platform::MemoryFile> ErrorOutput;
  // The tool's standard output, where it reports how far it has got.
  std::unique_ptr<platform::MemoryFile> ToolOutput;
  // The last percentage told for this slot's row; -1 for none yet.
  int ReportedPercent = -1;
  // Levels go into the source's external overview file (gdaladdo -ro), built in its
  // work folder until they are in; there is no working copy then.
  bool External = false;
  ExternalLevelsBuild ExternalBuild;
  // Levels built beside the file and appended to it: the build (its journal written),
  // and which of its tool runs is under way. The file is the resolved source.
  std::unique_ptr<AppendLinkBuild> Append;
  std::size_t AppendRun = 0;
  std::string AppendTarget;
  // A Cloud Optimized GeoTIFF: once gdaladdo has built the working copy's levels,
  // gdal_translate writes it out as a COG with these creation options into CogCopy,
  // which then takes the working copy's place.
  bool AsCog = false;
  std::vector<std::string> CogOptions;
  // The chosen level compression cannot apply to the file: its levels are compressed as
  // its image is.
  bool OwnCompression = false;
  platform::TempFile CogCopy;
  // The factors the tool is asked for.
  std::vector<std::int64_t> Factors;
  // The levels the working copy must hold once the tool has succeeded.
  std::int32_t Levels = 0;
  // Keeps other processes off the source from before it is read until the result is
  // in place.
  platform::FileClaim Claim;
};

}  // namespace kelvory
