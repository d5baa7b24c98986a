// kelvory-batch: the same build as the window, for scripts and terminals.
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/BatchOptions.h"
#include "batch/ConsoleReport.h"
#include "batch/Language.h"
#include "batch/RowCollector.h"
#include "batch/Shard.h"
#include "batch/ToolLookup.h"
#include "filelist/FolderWalk.h"
#include "pyramids/BuildRun.h"
#include "pyramids/ToolCommand.h"
#include "filelist/ListFile.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/ProcessorCount.h"
#include "platform/Program.h"
#include "platform/StopSignals.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

int Fail(const std::string& text) {
  kelvory::platform::WriteText(stderr, "kelvory-batch: " + text + "\n");
  return kExitUsage;
}

// A folder argument gives the TIFF files below it, the window's way.
std::optional<std::vector<std::string>> TiffFilesInFolder(const std::string& path) {
  if (!kelvory::platform::FolderExists(path)) return std::nullopt;
  std::error_code error;
  std::vector<std::string> files = kelvory::TiffFilesBelow(path, error);
  if (error) throw std::runtime_error("cannot read the folder " + path + ": " + error.message());
  return files;
}

int ShowVersion(const std::string& toolPath) {
  std::puts("kelvory-batch " KELVORY_VERSION);
  if (toolPath.empty()) {
    std::puts("gdaladdo: none, neither beside the program nor on the PATH");
  } else {
    kelvory::platform::WriteText(stdout, "gdaladdo: " + toolPath + ": " + kelvory::ToolVersion(toolPath) + "\n");
  }
  return kExitDone;
}

int Run(const std::vector<std::string>& args) {
  using kelvory::BatchOptions;
  BatchOptions options;
  try {
    options = kelvory::ParseArguments(args);
  } catch (const kelvory::UsageError& error) {
    Fail(error.what());
    std::fputs("Try 'kelvory-batch --help' for more information.\n", stderr);
    return kExitUsage;
  }
  if (options.action == BatchOptions::Action::Help) {
    std::fputs(kelvory::UsageText().c_str(), stdout);
    return kExitDone;
  }
  const std::string programFolder = kelvory::platform::ProgramFolder();
  const std::string toolPath = kelvory::FindTool(programFolder);
  if (options.action == BatchOptions::Action::Version) return ShowVersion(toolPath);

  // A missing folder would only fail every file one by one.
  if (!options.destFolder.empty()) {
    if (!kelvory::platform::FolderExists(options.destFolder)) {
      return Fail("not a folder: " + options.destFolder);
    }
    options.destFolder = kelvory::platform::FullPath(options.destFolder);
  }

  std::vector<kelvory::BatchRow> rows;
  try {
    rows = kelvory::CollectBatchRows(options.sources, kelvory::ReadListFile, TiffFilesInFolder);
  } catch (const std::exception& error) {
    return Fail(error.what());
  }
  std::erase_if(rows, [&](const kelvory::BatchRow& row) { return !kelvory::InShard(row.path, options.shard); });

  // Ctrl-C, kill and a lost terminal stop the build safely instead of killing it halfway.
  const kelvory::platform::StopSignals stopSignals(true);
  // A reader of the output that goes away (a pipe into head) must not kill the build
  // halfway, with its tools still running and their working copies left behind.
  if (const std::error_code error = kelvory::platform::IgnoreBrokenPipe()) {
    return Fail("cannot ignore a closed output: " + error.message());
  }
  kelvory::BuildRequest request;
  kelvory::ConsoleReport::Settings settings;
  for (kelvory::BatchRow& row : rows) {
    // Files found below a folder argument keep their subfolders below the destination.
    const std::string folder = options.destFolder.empty() || row.subfolder.empty()
                                   ? options.destFolder
                                   : kelvory::platform::JoinPath(options.destFolder, row.subfolder);
    request.Rows.push_back({row.path, folder});
    settings.rows.push_back(std::move(row.path));
  }
  request.ToolPath = toolPath;
  request.Slots = options.jobs > 0 ? options.jobs : kelvory::platform::ProcessorCount();
  // Scripts get every TIFF gdaladdo can build unless they ask for the classic rules.
  request.Options.Reading = options.classic ? kelvory::ReadingMode::Classic : kelvory::ReadingMode::Widened;
  request.Options.Method = options.resampling;
  settings.json = options.json;
  settings.showProgress = kelvory::platform::IsTerminal(kelvory::platform::StandardStream::Error);
  settings.stopRequested = [&stopSignals] { return stopSignals.Requested(); };
  settings.language = kelvory::UserLanguage();
  kelvory::ConsoleReport report(std::move(settings), stdout, stderr);

  kelvory::BuildRun run(std::move(request), report);
  while (run.Step(100)) report.Tick();
  const kelvory::BuildSummary summary = run.Summary();
  report.FinishProgress();

  if (summary.ToolMissing) {
    report.ReportToolMissing(kelvory::BundledToolPath(programFolder));
    return kExitUsage;
  }
  if (stopSignals.Requested()) {
    report.ReportInterrupted();
    return kExitInterrupted;
  }
  // A busy file is left for a rerun, which the exit status asks for.
  return report.AllDone() ? kExitDone : kExitSomeFailed;
}

}  // namespace

int main(int argc, char** argv) {
  return Run(kelvory::platform::ProgramArguments(argc, argv));
}
