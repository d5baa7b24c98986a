#pragma once
// The build's host on a console: the rows are the command's files, every settled
// file is one line on standard output, and on a terminal a progress line on standard
// error is redrawn in place.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "pyramids/BuildHost.h"

namespace kelvory {

class ConsoleHost : public BuildHost {
 public:
  struct Settings {
    std::vector<std::string> rows;
    // The subfolder of the destination each row's copy goes to; empty (or missing):
    // the destination's top.
    std::vector<std::string> rowSubfolders;
    std::string destFolder;  // empty: in place
    std::string toolPath;    // empty: gdal/gdaladdo in the program folder
    bool json = false;       // one JSON object per file instead of the text lines
    std::string programFolder;
    int slotCount = 1;
    bool showProgress = false;  // redraw a progress line on err
    std::function<bool()> stopRequested;  // empty: never
    BuildOptions options;
  };

  ConsoleHost(Settings settings, std::FILE* out, std::FILE* err);

  int RowCount() const override;
  std::string RowCaption(int row) const override;
  bool RowChecked(int row) const override;
  void SetRowChecked(int row, bool checked) override;
  void SetRowStatus(int row, StatusImage status) override;

  std::string DestFolder() const override;
  bool HasDestFolder() const override;
  int SelectedCount() const override;
  void SetSelectedCount(int count) override;
  void SetBuilding(bool building) override;

  // A console has no window: these change nothing.
  void SetSelectionPanelText(const std::string& text) override;
  void SetBuildButtonEnabled(bool enabled) override;
  void SetBuildButtonCaption(const std::string& caption) override;
  void SetGroupBoxEnabled(bool enabled) override;
  void SetWindowCaption(const std::string& caption) override;

  void ShowMessage(const std::string& text) override;
  void ProcessMessages() override;

  std::string ProgramFolder() const override;
  int SlotCount() const override;

  void RowSettled(int row, StatusImage status, const std::string& reason) override;
  bool StopRequested() const override;
  BuildOptions Options() const override { return options_; }
  std::string RowDestinationFolder(int row) const override;
  std::string ToolPath() const override;
  void RowBusy(int row) override;
  void RowLevels(int row, int before, int after) override;

  // Ends the progress line, so that the shell prompt starts on a line of its own.
  void FinishProgress();

  // After a stop: a line for every file the build never started, so that each file
  // has its line, and a summary on err.
  void ReportInterrupted();

  // After a build that found no tool: where it was looked for.
  void ReportToolMissing();

  bool AllDone() const;
  bool MessageShown() const { return messageShown_; }

 private:
  struct Row {
    std::string caption;
    bool checked = true;
    StatusImage status = StatusNone;
    bool settled = false;
    bool stopped = false;  // settled unfinished because of a stop
    bool busy = false;     // another process was building the file
    std::string subfolder;
    int levelsBefore = -1;  // -1: not read
    int levelsAfter = -1;
    std::chrono::steady_clock::time_point started{};
    bool wasStarted = false;
  };

  bool ValidRow(int row) const;
  // The line of a settled row, as text or as JSON.
  void WriteOutcome(const Row& row, const char* outcome, const std::string& reason);
  void DrawProgress();
  void ClearProgress();

  std::vector<Row> rows_;
  std::string destFolder_;
  std::string programFolder_;
  std::string toolPath_;
  bool json_;
  int slotCount_;
  bool showProgress_;
  std::function<bool()> stopRequested_;
  BuildOptions options_;
  std::FILE* out_;
  std::FILE* err_;

  int selectedCount_;
  int settledCount_ = 0;
  bool messageShown_ = false;
  bool progressDrawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace kelvory
