#pragma once
// The command line of kelvory-batch, parsed without touching the file system.
#include <string>
#include <utility>
#include <vector>

#include "batch/Shard.h"
#include "batch/UsageError.h"
#include "pyramids/BuildOptions.h"

namespace kelvory {

// One row source, in command-line order: a path taken as it stands, or a list file
// whose lines become rows.
struct BatchSource {
  enum class Kind { Path, ListFile };
  Kind kind = Kind::Path;
  std::string value;

  bool operator==(const BatchSource&) const = default;
};

struct BatchOptions {
  enum class Action { Build, Help, Version };
  Action action = Action::Build;
  std::string destFolder;  // empty: every file is updated in place
  int jobs = 0;            // 0: one tool process per processor
  std::vector<BatchSource> sources;
  bool classic = false;     // only the classic TIFF rules
  Resampling resampling = Resampling::Nearest;  // gdaladdo's own default
  Shard shard;              // this process's share of the rows
  bool json = false;        // one JSON object per file instead of the text lines
  bool events = false;      // JSON events: the plan, each start, progress and file, the summary
  bool force = false;       // every level rebuilt
  bool external = false;    // levels into NAME.ovr beside the file (gdaladdo -ro)
  bool cog = false;         // a COG in place is written anew as a COG with its levels
  bool dryRun = false;      // say what each file would get; write nothing
  bool quiet = false;       // only the files that did not work out
  std::string tempFolder;   // in-place working copies; empty: the system's
  std::vector<std::pair<std::string, std::string>> config;  // --config KEY VALUE, in order
};

// The largest --jobs accepted; more processes than this only thrash the disk.
inline constexpr int kMaxJobs = 256;

// args excludes the program name. Throws UsageError.
BatchOptions ParseArguments(const std::vector<std::string>& args);


}  // namespace kelvory
