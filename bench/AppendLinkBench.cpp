// Builds one file's levels in place by appending and linking, as the job will: claim,
// recover what an earlier run left, decide, journal, the tool's runs (the gdaladdo on
// the PATH), the merge. For timing the way against gdaladdo in place.
//   kelvory-bench-append-link [-r METHOD] FILE FACTOR...
// Exit status: 0 built, 2 not provable (the reason on standard error), 1 a failure.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/FileClaim.h"
#include "platform/Process.h"
#include "platform/Program.h"
#include "pyramids/AppendLink.h"
#include "pyramids/AppendRecovery.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string resampling;
  if (args.size() >= 2 && args[0] == "-r") {
    resampling = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() < 2) {
    std::fputs("usage: kelvory-bench-append-link [-r METHOD] FILE FACTOR...\n", stderr);
    return 1;
  }
  const std::string file = args[0];
  std::vector<std::int64_t> factors;
  for (std::size_t i = 1; i < args.size(); ++i) factors.push_back(std::stoll(args[i]));
  const std::string tool = kelvory::platform::FindOnPath("gdaladdo");

  std::error_code error;
  const kelvory::platform::FileClaim claim = kelvory::platform::FileClaim::Take(file, error);
  if (error) {
    std::fprintf(stderr, "%s: %s\n", file.c_str(), error.message().c_str());
    return 1;
  }
  kelvory::RecoverClaimedAppendLink(file);
  const kelvory::AppendLinkDecision decision = kelvory::DecideAppendLink(file, resampling);
  if (!decision.Proven()) {
    std::fprintf(stderr, "%s: %s\n", file.c_str(), kelvory::DescribeRefusal(decision.Refusal).c_str());
    return 2;
  }
  try {
    kelvory::AppendLinkBuild build = kelvory::AppendLinkBuild::Begin(file, decision, factors, resampling);
    for (const std::vector<std::string>& run : build.ToolRuns()) {
      kelvory::platform::Process process = kelvory::platform::Process::Start(tool, run, 2, error);
      while (!error && process.Wait(60000, error) == kelvory::platform::WaitResult::TimedOut) {
      }
      if (error || !process.Exit().Success()) {
        std::fprintf(stderr, "%s: gdaladdo failed\n", file.c_str());
        return 1;
      }
    }
    build.Finish();
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "%s\n", failure.what());
    return 1;
  }
  return 0;
}
