#pragma once
// How many threads a tool gets. One tool per processor keeps every processor busy while
// there are more files than slots; with fewer, a tool that starts takes its share of
// the processors no other tool will use while it runs, which gdaladdo then spends on
// reading, computing and compressing its levels (GDAL_NUM_THREADS).
#include <string>
#include <utility>
#include <vector>

namespace kelvory {

// The GDAL configuration option that says how many threads GDAL uses.
inline constexpr char ThreadsOption[] = "GDAL_NUM_THREADS";

// The build as a tool is about to start.
struct CoreUse {
  // The processors of the machine, and how many tools the build may run at once: the
  // build uses no more processors than it may run tools.
  int Cores = 1;
  int Slots = 1;
  // The threads given to the tools running now, theirs until they end.
  int RunningThreads = 0;
  // The files that will want a tool after this one: rows not yet started, and rows
  // whose tool waits for its working copy or journal.
  int Waiting = 0;
};

// The threads for the tool about to start: its share of the free processors with the
// files still waiting, at least one (gdaladdo's own way). With as many files left as
// slots there is nothing to share; the files after those that start now find the
// processors of the tools that end before them.
int ToolThreads(const CoreUse& use);

// The user's own thread count among the GDAL configuration options, as the tool's
// arguments (--config GDAL_NUM_THREADS VALUE); empty when there is none.
std::vector<std::string> ChosenThreadArguments(const std::vector<std::pair<std::string, std::string>>& config);

// True when every option only says how many threads GDAL uses: such options give the
// same levels as none.
bool OnlyThreadOptions(const std::vector<std::pair<std::string, std::string>>& config);

// The arguments that give the tool that many threads; none for one.
std::vector<std::string> ThreadArguments(int threads);

}  // namespace kelvory
