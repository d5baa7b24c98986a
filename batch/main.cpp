// kelvory-batch: the same build as the window, for scripts and terminals.
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/BatchOptions.h"
#include "batch/ConsoleReport.h"
#include "batch/HelpText.h"
#include "pyramids/LanguageChoice.h"
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

// A folder argument gives the TIFF files below it, the window's way; one that cannot
// be read at all is a failed row like its unreadable subfolders.
std::optional<kelvory::FolderFiles> TiffFilesInFolder(const std::string& path) {
  if (!kelvory::platform::FolderExists(path)) return std::nullopt;
  std::error_code error;
  kelvory::FolderFiles found = kelvory::TiffFilesBelow(path, error);
  if (error) found.unreadable.push_back({path, error});
  return found;
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

// The request for the collected rows, which it takes over: files found below a folder
// argument keep their subfolders below the destination.
kelvory::BuildRequest MakeRequest(const kelvory::BatchOptions& options, std::vector<kelvory::BatchRow> rows,
                                  const std::string& toolPath) {
  kelvory::BuildRequest request;
  request.Rows.reserve(rows.size());
  for (kelvory::BatchRow& row : rows) {
    std::string folder = options.destFolder.empty() || row.subfolder.empty()
                             ? options.destFolder
                             : kelvory::platform::JoinPath(options.destFolder, row.subfolder);
    request.Rows.push_back({std::move(row.path), std::move(folder), row.unreadable});
  }
  request.ToolPath = toolPath;
  request.Slots = options.jobs > 0 ? options.jobs : kelvory::platform::ProcessorCount();
  request.Cores = kelvory::platform::ProcessorCount();
  kelvory::BuildOptions& build = request.Options;
  // Scripts get every TIFF gdaladdo can build unless they ask for the classic rules.
  build.Reading = options.classic ? kelvory::ReadingMode::Classic : kelvory::ReadingMode::Widened;
  build.Method = options.resampling;
  build.Config = options.config;
  build.Force = options.force;
  build.External = options.external;
  build.RewriteCogs = options.cog;
  build.KeepUpToDateCopies = true;
  build.DryRun = options.dryRun;
  build.TempFolder = options.tempFolder;
  return request;
}

kelvory::ConsoleReport::Settings ReportSettings(const kelvory::BatchOptions& options,
                                                const std::vector<kelvory::BatchRow>& rows,
                                                const kelvory::platform::StopSignals& stopSignals) {
  using kelvory::ConsoleReport;
  using kelvory::platform::StandardStream;
  ConsoleReport::Settings settings;
  settings.rows.reserve(rows.size());
  for (const kelvory::BatchRow& row : rows) settings.rows.push_back(row.path);
  settings.format = options.events ? ConsoleReport::Format::Events
                    : options.json ? ConsoleReport::Format::Json
                                   : ConsoleReport::Format::Text;
  settings.showProgress = kelvory::platform::IsTerminal(StandardStream::Error);
  settings.quiet = options.quiet;
  settings.dryRun = options.dryRun;
  settings.method = kelvory::GdalName(options.resampling);
  settings.stopRequested = [&stopSignals] { return stopSignals.Requested(); };
  settings.columns = [] { return kelvory::platform::TerminalColumns(StandardStream::Error); };
  settings.language = kelvory::UserLanguage(kelvory::Language::English);
  return settings;
}

// Checks what the command line names, before any file is touched. Throws UsageError.
void CheckFolders(kelvory::BatchOptions& options) {
  // A missing folder would only fail every file one by one.
  for (std::string* folder : {&options.destFolder, &options.tempFolder}) {
    if (folder->empty()) continue;
    if (!kelvory::platform::FolderExists(*folder)) throw kelvory::UsageError(kelvory::UsageCode::NotAFolder, {*folder});
    *folder = kelvory::platform::FullPath(*folder);
  }
}

int Run(const std::vector<std::string>& args) {
  using kelvory::BatchOptions;
  BatchOptions options;
  const kelvory::Language language = kelvory::UserLanguage(kelvory::Language::English);
  try {
    options = kelvory::ParseArguments(args);
  } catch (const kelvory::UsageError& error) {
    Fail(error.Text(language));
    kelvory::platform::WriteText(stderr, std::string(kelvory::TryHelpText(language)) + "\n");
    return kExitUsage;
  }
  if (options.action == BatchOptions::Action::Help) {
    std::fputs(kelvory::HelpText(language).c_str(), stdout);
    return kExitDone;
  }
  const std::string programFolder = kelvory::platform::ProgramFolder();
  const std::string toolPath = kelvory::FindTool(programFolder);
  if (options.action == BatchOptions::Action::Version) return ShowVersion(toolPath);
  try {
    CheckFolders(options);
  } catch (const kelvory::UsageError& error) {
    return Fail(error.Text(language));
  }

  std::vector<kelvory::BatchRow> rows;
  try {
    rows = kelvory::CollectBatchRows(options.sources, kelvory::ReadListFile, TiffFilesInFolder);
  } catch (const std::exception& error) {
    return Fail(error.what());
  }
  // An empty share of files that exist is no failure: the other shares have them.
  const bool filesGiven = !rows.empty();
  std::erase_if(rows, [&](const kelvory::BatchRow& row) { return !kelvory::InShard(row.path, options.shard); });

  // Ctrl-C, kill and a lost terminal stop the build safely instead of killing it halfway.
  const kelvory::platform::StopSignals stopSignals(true);
  // A reader of the output that goes away (a pipe into head) must not kill the build
  // halfway, with its tools still running and their working copies left behind.
  if (const std::error_code error = kelvory::platform::IgnoreBrokenPipe()) {
    return Fail("cannot ignore a closed output: " + error.message());
  }
  kelvory::ConsoleReport report(ReportSettings(options, rows, stopSignals), stdout, stderr);
  if (rows.empty()) {
    report.ReportNothingToDo(filesGiven);
    return filesGiven ? kExitDone : kExitSomeFailed;
  }
  kelvory::BuildRun run(MakeRequest(options, std::move(rows), toolPath), report);
  while (run.Step(100)) report.Tick();
  report.FinishProgress();

  if (run.Summary().ToolMissing) {
    report.ReportToolMissing(kelvory::BundledToolPath(programFolder));
    return kExitUsage;
  }
  if (stopSignals.Requested()) {
    report.ReportInterrupted();
    return kExitInterrupted;
  }
  report.ReportSummary();
  // A busy file is left for a rerun, which the exit status asks for.
  return report.AllWorkedOut() ? kExitDone : kExitSomeFailed;
}

}  // namespace

int main(int argc, char** argv) {
  return Run(kelvory::platform::ProgramArguments(argc, argv));
}
