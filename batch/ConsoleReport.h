#pragma once
// A build's rows on a console: every settled file is one line on standard output (or
// one JSON object), and on a terminal a progress line on standard error is redrawn in
// place. Words are in the user's language; JSON keeps its names and codes in English.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "pyramids/BuildEvents.h"
#include "pyramids/ReasonText.h"

namespace kelvory {

class ConsoleReport final : public BuildEvents {
 public:
  struct Settings {
    std::vector<std::string> rows;
    bool json = false;          // one JSON object per file instead of the text lines
    bool showProgress = false;  // redraw a progress line on err
    Language language = Language::English;
    std::function<bool()> stopRequested;  // empty: never
  };

  ConsoleReport(Settings settings, std::FILE* out, std::FILE* err);

  void RowStarted(int row) override;
  void RowSettled(const RowReport& report) override;
  bool StopRequested() override;

  // Moves the elapsed time on while nothing settles.
  void Tick();
  // Ends the progress line, so that the shell prompt starts on a line of its own.
  void FinishProgress();
  // After a stop: a line for every file the build never started, so that each file
  // has its line, and a summary on err.
  void ReportInterrupted();
  // A build that found no tool: says so, and where it was looked for.
  void ReportToolMissing(const std::string& lookedFor);

  bool AllDone() const;

 private:
  enum class Shown { NotStarted, Done, Failed, NotFound, Busy, Stopped };
  struct Row {
    std::string caption;
    bool settled = false;
    Shown outcome = Shown::NotStarted;
    Reason why;
    int levelsBefore = -1;
    int levelsAfter = -1;
    double seconds = 0;
  };

  void WriteOutcome(const Row& row);
  const char* Word(Shown outcome) const;
  void DrawProgress();
  void ClearProgress();

  std::vector<Row> rows_;
  bool json_;
  bool showProgress_;
  Language language_;
  std::function<bool()> stopRequested_;
  std::FILE* out_;
  std::FILE* err_;

  int settledCount_ = 0;
  bool progressDrawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace kelvory
