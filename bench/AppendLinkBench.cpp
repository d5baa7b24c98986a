// Builds files' levels in place by appending and linking, as the runner will: for each
// file in turn claim it, settle what an earlier run left, decide, journal and run the
// tool (the gdaladdo on the PATH); its merge then runs on a second thread while the next
// file's tool runs. For timing the way against gdaladdo in place.
//   kelvory-bench-append-link [-r METHOD] -f "FACTOR..." FILE...
// Exit status: 0 every file built, 1 a failure, else 2 when some file was not provable
// (the reason on standard error).
#include <cstdio>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#include "platform/FileClaim.h"
#include "platform/Process.h"
#include "platform/Program.h"
#include "pyramids/AppendLink.h"
#include "pyramids/AppendRecovery.h"

namespace {

using kelvory::platform::FileClaim;

// Claims, decides, journals and runs the tool for one file; the build is left to merge.
// Returns 0, or the exit status for the file.
int BuildLevels(const std::string& tool, const std::string& file, const std::vector<std::int64_t>& factors,
                kelvory::Resampling method, FileClaim& claim, kelvory::AppendLinkBuild& build) {
  std::error_code error;
  claim = FileClaim::Take(file, error);
  if (error) {
    std::fprintf(stderr, "%s: %s\n", file.c_str(), error.message().c_str());
    return 1;
  }
  kelvory::RecoverClaimedAppendLink(file);
  const kelvory::AppendLinkDecision decision = kelvory::DecideAppendLink(file, method);
  if (!decision.Proven()) {
    std::fprintf(stderr, "%s: %s\n", file.c_str(), kelvory::DescribeRefusal(decision.Refusal).c_str());
    return 2;
  }
  build = kelvory::AppendLinkBuild::Begin(file, decision, factors, method);
  for (const std::vector<std::string>& run : build.ToolRuns()) {
    kelvory::platform::Process process = kelvory::platform::Process::Start(tool, run, 2, error);
    while (!error && process.Wait(60000, error) == kelvory::platform::WaitResult::TimedOut) {
    }
    if (error || !process.Exit().Success()) {
      std::fprintf(stderr, "%s: gdaladdo failed\n", file.c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  kelvory::Resampling method = kelvory::Resampling::Nearest;
  std::vector<std::int64_t> factors;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-r" && i + 1 < args.size()) {
      method = kelvory::ResamplingNamed(args[++i]).value_or(kelvory::Resampling::Nearest);
    } else if (args[i] == "-f" && i + 1 < args.size()) {
      std::istringstream list(args[++i]);
      for (std::int64_t factor = 0; list >> factor;) factors.push_back(factor);
    } else {
      files.push_back(args[i]);
    }
  }
  if (factors.empty() || files.empty()) {
    std::fputs("usage: kelvory-bench-append-link [-r METHOD] -f \"FACTOR...\" FILE...\n", stderr);
    return 1;
  }
  const std::string tool = kelvory::platform::FindOnPath("gdaladdo");

  bool failed = false;
  bool refused = false;
  std::future<bool> merging;
  const auto merged = [&merging] { return !merging.valid() || merging.get(); };
  for (const std::string& file : files) {
    FileClaim claim;
    kelvory::AppendLinkBuild build;
    try {
      const int built = BuildLevels(tool, file, factors, method, claim, build);
      failed = failed || built == 1;
      refused = refused || built == 2;
      if (built != 0) continue;
    } catch (const std::exception& failure) {
      std::fprintf(stderr, "%s\n", failure.what());
      failed = true;
      continue;
    }
    failed = !merged() || failed;
    // The claim holds the file until its merge has ended.
    merging = std::async(std::launch::async, [claim = std::move(claim), build = std::move(build)]() mutable {
      try {
        build.Finish();
        return true;
      } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return false;
      }
    });
  }
  failed = !merged() || failed;
  return failed ? 1 : refused ? 2 : 0;
}
