// kelvory-batch: the same build as the window, for scripts and terminals.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "batch/BatchOptions.h"
#include "batch/ConsoleHost.h"
#include "batch/RowCollector.h"
#include "pyramids/BuildRunner.h"
#include "filelist/ListFile.h"
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
  std::fprintf(stderr, "kelvory-batch: %s\n", text.c_str());
  return kExitUsage;
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
  if (options.action == BatchOptions::Action::Version) {
    std::puts("kelvory-batch " KELVORY_VERSION);
    return kExitDone;
  }

  // A missing folder would only fail every file one by one.
  if (!options.destFolder.empty()) {
    if (!kelvory::platform::FolderExists(options.destFolder)) return Fail("not a folder: " + options.destFolder);
    options.destFolder = kelvory::platform::FullPath(options.destFolder);
  }

  std::vector<std::string> rows;
  try {
    rows = kelvory::CollectRows(options.sources, kelvory::ReadListFile);
  } catch (const std::exception& error) {
    return Fail(error.what());
  }

  // Ctrl-C, kill and a lost terminal stop the build safely instead of killing it halfway.
  const kelvory::platform::StopSignals stopSignals(true);
  // A reader of the output that goes away (a pipe into head) must not kill the build
  // halfway, with its tools still running and their working copies left behind.
  // (Windows has no such signal: a write to a closed pipe just fails.)
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);
#endif
  kelvory::ConsoleHost::Settings settings;
  settings.rows = std::move(rows);
  settings.destFolder = options.destFolder;
  settings.programFolder = kelvory::platform::ProgramFolder();
  settings.slotCount = options.jobs > 0 ? options.jobs : kelvory::platform::ProcessorCount();
  settings.showProgress = ::isatty(STDERR_FILENO) == 1;
  settings.stopRequested = [&stopSignals] { return stopSignals.Requested(); };
  // Scripts get every TIFF gdaladdo can build unless they ask for the classic rules.
  settings.options.Reading = options.classic ? kelvory::ReadingMode::Classic : kelvory::ReadingMode::Widened;
  settings.options.Resampling = options.resampling;
  settings.options.WidenedReadingHint = "(the file is readable without --classic)";
  kelvory::ConsoleHost host(std::move(settings), stdout, stderr);

  const kelvory::BuildSummary summary = kelvory::RunBuild(host);
  host.FinishProgress();

  if (summary.ToolMissing) {
    host.ReportToolMissing();
    return kExitUsage;
  }
  if (stopSignals.Requested()) {
    host.ReportInterrupted();
    return kExitInterrupted;
  }
  const bool allDone = summary.Failed == 0 && summary.NotFound == 0 && summary.Stopped == 0 && host.AllDone();
  return allDone && !host.MessageShown() ? kExitDone : kExitSomeFailed;
}

}  // namespace

int main(int argc, char** argv) {
  return Run(kelvory::platform::ProgramArguments(argc, argv));
}
