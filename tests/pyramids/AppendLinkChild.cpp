// Builds one file's levels by appending and linking, with the real tool, and dies or
// fails on purpose at a chosen point, as a crash or a failure would cut a build short.
//   append-link-child SOURCE STOP RESAMPLING FACTOR...
// STOP: "none"; "begun" (journal written, no tool yet); "tool" (while the first tool
// runs); "between" (after the first tool); a merge step's name (killed just before it);
// "throw:" and a merge step's name (the step fails); "fill:" and a merge step's name
// (the disk is filled up just before it); "record:" and a folder (the build
// runs to its end, and a copy of the source's folder as it is before each step goes
// into a numbered folder there). RESAMPLING "-" is nearest.
// Exit status: 0 built, 2 not provable, 3 the merge failed, 4 the tool failed.
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileClaim.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "pyramids/AppendLink.h"
#include "pyramids/ReasonText.h"
#include "pyramids/WorkFolder.h"

namespace {

using kelvory::MergeStep;

const char* StepName(MergeStep step) {
  switch (step) {
    case MergeStep::Marker: return "Marker";
    case MergeStep::SyncMarker: return "SyncMarker";
    case MergeStep::Append: return "Append";
    case MergeStep::SyncAppend: return "SyncAppend";
    case MergeStep::Link: return "Link";
    case MergeStep::SyncLink: return "SyncLink";
    case MergeStep::RemoveWorkFiles: return "RemoveWorkFiles";
    case MergeStep::RemoveJournal: return "RemoveJournal";
  }
  return "";
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Copies the folder as it is now, links as links, into the record.
void Snapshot(const std::string& record, const std::string& folder, int& count, const std::string& name) {
  char number[8];
  std::snprintf(number, sizeof number, "%02d-", count++);
  std::system(("cp -a " + Quoted(folder) + " " + Quoted(record + "/" + number + name)).c_str());
}

[[noreturn]] void Die() {
  std::fflush(nullptr);
  std::raise(SIGKILL);
  std::_Exit(99);
}

bool RunTool(const std::vector<std::string>& arguments, bool dieWhileRunning, const std::string& levels) {
  std::error_code error;
  kelvory::platform::Process tool =
      kelvory::platform::Process::Start(KELVORY_GDALADDO_PATH, arguments, 2, error);
  if (error) return false;
  if (dieWhileRunning) {
    // Once the tool has begun its levels; it dies with this process.
    while (!kelvory::platform::FileExists(levels) && !tool.TryReap(error)) std::this_thread::yield();
    Die();
  }
  while (tool.Wait(1000, error) == kelvory::platform::WaitResult::TimedOut) {
  }
  return tool.Reaped() && tool.Exit().Success();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return 64;
  const std::string source = argv[1];
  const std::string stop = argv[2];
  // "-" or a name GDAL does not have: nearest.
  const kelvory::Resampling method = kelvory::ResamplingNamed(argv[3]).value_or(kelvory::Resampling::Nearest);
  std::vector<std::int64_t> factors;
  for (int i = 4; i < argc; ++i) factors.push_back(std::stoll(argv[i]));

  std::error_code error;
  const kelvory::platform::FileClaim claim = kelvory::platform::FileClaim::Take(source, error);
  if (error) return 5;
  const kelvory::AppendLinkDecision decision = kelvory::DecideAppendLink(source, method);
  if (!decision.Proven()) {
    std::printf("%s\n", kelvory::DescribeRefusal(decision.Refusal).c_str());
    return 2;
  }
  const std::string record = stop.rfind("record:", 0) == 0 ? stop.substr(7) : "";
  const std::string folder = kelvory::platform::FolderOf(source);
  int snapshots = 0;
  kelvory::AppendLinkBuild build = kelvory::AppendLinkBuild::Begin(source, decision, factors, method);
  if (stop == "begun") Die();
  const auto& runs = build.ToolRuns();
  for (std::size_t i = 0; i < runs.size(); ++i) {
    if (i > 0 && stop == "between") Die();
    if (!record.empty()) Snapshot(record, folder, snapshots, "tool" + std::to_string(i));
    if (!RunTool(runs[i], i == 0 && stop == "tool", kelvory::LevelFileOf(source))) return 4;
  }
  try {
    build.Finish([&](MergeStep step) {
      if (!record.empty()) Snapshot(record, folder, snapshots, StepName(step));
      if (stop == StepName(step)) Die();
      if (stop == std::string("throw:") + StepName(step)) throw std::runtime_error("a failure on purpose");
      // Takes every free byte of the file's filesystem, as another program might.
      if (stop == std::string("fill:") + StepName(step))
        std::system(("fallocate -l $(( $(stat -f -c '%a*%S' " + Quoted(folder) + ") )) " + Quoted(folder + "filler") +
                     " 2>/dev/null; cat /dev/zero >> " + Quoted(folder + "filler") + " 2>/dev/null").c_str());
    });
  } catch (const kelvory::BuildError& failure) {
    std::printf("%s\n", kelvory::ReasonText(failure.Why(), kelvory::Language::English).c_str());
    return 3;
  } catch (const std::exception& failure) {
    std::printf("%s\n", failure.what());
    return 3;
  }
  if (!record.empty()) Snapshot(record, folder, snapshots, "done");
  return 0;
}
