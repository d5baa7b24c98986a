#pragma once
// A build's rows on a console: every settled file is one line on standard output (or
// one JSON object), and on a terminal a progress line on standard error is redrawn in
// place. Words are in the user's language; JSON keeps its names and codes in English.
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "pyramids/BuildEvents.h"
#include "pyramids/ReasonText.h"
#include "pyramids/WorkEstimate.h"

namespace kelvory {

class ConsoleReport final : public BuildEvents {
 public:
  enum class Format {
    Text,    // one line per file
    Json,    // one JSON object per file
    Events,  // JSON events: plan, start, progress, file, summary
  };
  struct Settings {
    std::vector<std::string> rows;
    Format format = Format::Text;
    bool showProgress = false;  // redraw a progress line on err
    bool quiet = false;         // only the files left without their levels
    bool dryRun = false;        // rows report what would be done
    std::string method;         // GDAL's name of the resampling method, for the dry run
    Language language = Language::English;
    std::function<bool()> stopRequested;  // empty: never
    std::function<int()> columns;         // the terminal's width; empty: unknown
  };

  ConsoleReport(Settings settings, std::FILE* out, std::FILE* err);

  void RowStarted(int row) override;
  void RowProgress(int row, int percent) override;
  void RowSettled(const RowReport& report) override;
  bool StopRequested() override;

  // Moves the elapsed time on while nothing settles.
  void Tick();
  // Ends the progress line, so that the shell prompt starts on a line of its own.
  void FinishProgress();
  // After a build: how many files came to what, on err (and as the last event).
  void ReportSummary();
  // After a stop: a line for every file the build never started, so that each file
  // has its line, and a summary on err.
  void ReportInterrupted();
  // A build that found no tool: says so, and where it was looked for.
  void ReportToolMissing(const std::string& lookedFor);
  // A command that found no file to build, or none in its share of them.
  void ReportNothingToDo(bool otherShares);

  // Every file done, up to date or kept.
  bool AllWorkedOut() const;

 private:
  enum class Shown { NotStarted, Done, UpToDate, Kept, Failed, NotFound, Busy, Stopped };
  // A row's report is written as it settles and not kept: only what the summary
  // counts stays, so a hundred thousand rows stay small.
  struct Row {
    std::string caption;
    bool settled = false;
    Shown outcome = Shown::NotStarted;
    // Done by copying the file as it was.
    bool copied = false;
  };

  void WriteOutcome(const Row& row, const RowReport& report);
  std::string TextLine(const Row& row, const RowReport& report, const std::string& reason) const;
  std::string JsonLine(const Row& row, const RowReport& report, const std::string& reason) const;
  void WriteEvent(const std::string& json);
  // How many files came to what; an interrupted build always says how many were
  // stopped and not started.
  std::string Counts(bool forJson, bool interrupted = false) const;
  void DrawProgress();
  void ClearProgress();
  bool Russian() const { return language_ == Language::Russian; }

  std::vector<Row> rows_;
  Format format_;
  bool showProgress_;
  bool quiet_;
  bool dryRun_;
  std::string method_;
  Language language_;
  std::function<bool()> stopRequested_;
  std::function<int()> columns_;
  std::FILE* out_;
  std::FILE* err_;

  WorkEstimate estimate_;
  // The rows whose tools run, with their percentages.
  std::map<int, int> running_;
  int settledCount_ = 0;
  bool progressDrawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace kelvory
