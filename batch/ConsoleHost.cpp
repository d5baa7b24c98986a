#include "batch/ConsoleHost.h"

#include <cstdio>
#include <string>
#include <utility>

#include "batch/JsonText.h"
#include "pyramids/BuildMessages.h"
#include "pyramids/ToolCommand.h"
#include "platform/Console.h"
#include "platform/Paths.h"

namespace kelvory {
namespace {

// Every text goes out through the platform: a Windows console then shows every letter.
void Put(std::FILE* stream, const std::string& text) {
  platform::WriteText(stream, text);
  std::fflush(stream);
}

// How often the elapsed time on the progress line moves on while nothing settles.
constexpr auto kProgressInterval = std::chrono::milliseconds(250);

// A settled file is always one line, whatever its reason holds.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

std::string Elapsed(std::chrono::steady_clock::duration duration) {
  const long seconds = static_cast<long>(
      std::chrono::duration_cast<std::chrono::seconds>(duration).count());
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", seconds / 60, seconds % 60);
  }
  return text;
}

}  // namespace

ConsoleHost::ConsoleHost(Settings settings, std::FILE* out, std::FILE* err)
    : destFolder_(std::move(settings.destFolder)),
      programFolder_(std::move(settings.programFolder)),
      toolPath_(std::move(settings.toolPath)),
      json_(settings.json),
      slotCount_(settings.slotCount),
      showProgress_(settings.showProgress),
      stopRequested_(std::move(settings.stopRequested)),
      options_(std::move(settings.options)),
      out_(out),
      err_(err),
      selectedCount_(static_cast<int>(settings.rows.size())),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {
  rows_.reserve(settings.rows.size());
  for (std::string& caption : settings.rows) {
    Row row;
    row.caption = std::move(caption);
    rows_.push_back(std::move(row));
  }
  for (std::size_t i = 0; i < rows_.size() && i < settings.rowSubfolders.size(); ++i) {
    rows_[i].subfolder = std::move(settings.rowSubfolders[i]);
  }
  if (showProgress_) DrawProgress();
}

bool ConsoleHost::ValidRow(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < rows_.size();
}

int ConsoleHost::RowCount() const { return static_cast<int>(rows_.size()); }

std::string ConsoleHost::RowCaption(int row) const {
  return ValidRow(row) ? rows_[static_cast<std::size_t>(row)].caption : std::string();
}

bool ConsoleHost::RowChecked(int row) const {
  return ValidRow(row) && rows_[static_cast<std::size_t>(row)].checked;
}

void ConsoleHost::SetRowChecked(int row, bool checked) {
  if (ValidRow(row)) rows_[static_cast<std::size_t>(row)].checked = checked;
}

void ConsoleHost::SetRowStatus(int row, StatusImage status) {
  if (!ValidRow(row)) return;
  Row& changed = rows_[static_cast<std::size_t>(row)];
  changed.status = status;
  if (status == StatusInProgress && !changed.wasStarted) {
    changed.wasStarted = true;
    changed.started = std::chrono::steady_clock::now();
  }
}

std::string ConsoleHost::RowDestinationFolder(int row) const {
  if (!ValidRow(row) || rows_[static_cast<std::size_t>(row)].subfolder.empty()) return destFolder_;
  return platform::JoinPath(destFolder_, rows_[static_cast<std::size_t>(row)].subfolder);
}

std::string ConsoleHost::ToolPath() const { return toolPath_.empty() ? BuildHost::ToolPath() : toolPath_; }

void ConsoleHost::RowBusy(int row) {
  if (ValidRow(row)) rows_[static_cast<std::size_t>(row)].busy = true;
}

void ConsoleHost::RowLevels(int row, int before, int after) {
  if (!ValidRow(row)) return;
  rows_[static_cast<std::size_t>(row)].levelsBefore = before;
  rows_[static_cast<std::size_t>(row)].levelsAfter = after;
}

std::string ConsoleHost::DestFolder() const { return destFolder_; }
bool ConsoleHost::HasDestFolder() const { return !destFolder_.empty(); }
int ConsoleHost::SelectedCount() const { return selectedCount_; }
void ConsoleHost::SetSelectedCount(int count) { selectedCount_ = count; }
void ConsoleHost::SetBuilding(bool) {}

void ConsoleHost::SetSelectionPanelText(const std::string&) {}
void ConsoleHost::SetBuildButtonEnabled(bool) {}
void ConsoleHost::SetBuildButtonCaption(const std::string&) {}
void ConsoleHost::SetGroupBoxEnabled(bool) {}
void ConsoleHost::SetWindowCaption(const std::string&) {}

void ConsoleHost::ShowMessage(const std::string& text) {
  messageShown_ = true;
  ClearProgress();
  Put(err_, "kelvory-batch: " + OneLine(text) + "\n");
  if (showProgress_) DrawProgress();
}

void ConsoleHost::ReportToolMissing() {
  // The build's own text names the tool only; say where it was looked for.
  ClearProgress();
  Put(err_, "kelvory-batch: looked for " + platform::FullPath(programFolder_ + ToolRelativePath) + "\n");
}

void ConsoleHost::ProcessMessages() {
  if (!showProgress_) return;
  if (std::chrono::steady_clock::now() - lastDraw_ >= kProgressInterval) DrawProgress();
}

std::string ConsoleHost::ProgramFolder() const { return programFolder_; }
int ConsoleHost::SlotCount() const { return slotCount_; }

void ConsoleHost::RowSettled(int row, StatusImage status, const std::string& reason) {
  if (!ValidRow(row)) return;
  ++settledCount_;
  Row& settled = rows_[static_cast<std::size_t>(row)];
  settled.status = status;
  settled.settled = true;
  // Once a stop is asked for, an unfinished file is one the stop cut short.
  settled.stopped = status != StatusDone && status != StatusNotFound && !settled.busy && StopRequested();
  ClearProgress();
  if (settled.stopped) {
    WriteOutcome(settled, "stopped", {});
  } else if (settled.busy) {
    WriteOutcome(settled, "busy", {});
  } else if (status == StatusDone) {
    WriteOutcome(settled, "done", {});
  } else if (status == StatusNotFound) {
    WriteOutcome(settled, "not found", {});
  } else {
    WriteOutcome(settled, "failed", reason);
  }
  if (showProgress_) DrawProgress();
}

void ConsoleHost::WriteOutcome(const Row& row, const char* outcome, const std::string& reason) {
  if (!json_) {
    Put(out_, std::string(outcome) + ": " + row.caption + (reason.empty() ? "" : ": " + OneLine(reason)) + "\n");
    return;
  }
  const auto levels = [](int count) { return count < 0 ? std::string("null") : std::to_string(count); };
  const double seconds =
      row.wasStarted && row.settled
          ? std::chrono::duration<double>(std::chrono::steady_clock::now() - row.started).count()
          : 0.0;
  char secondsText[32];
  std::snprintf(secondsText, sizeof secondsText, "%.3f", seconds);
  Put(out_, "{\"path\":" + JsonString(row.caption) + ",\"outcome\":\"" + outcome + "\",\"reason\":" +
                JsonString(reason) + ",\"levels_before\":" + levels(row.levelsBefore) +
                ",\"levels_after\":" + levels(row.levelsAfter) + ",\"seconds\":" + secondsText + "}\n");
}

bool ConsoleHost::StopRequested() const { return stopRequested_ && stopRequested_(); }

void ConsoleHost::FinishProgress() {
  if (!showProgress_) return;
  DrawProgress();
  Put(err_, "\n");
  progressDrawn_ = false;
}

void ConsoleHost::ReportInterrupted() {
  int done = 0;
  int failed = 0;
  int notFound = 0;
  int stopped = 0;
  int notStarted = 0;
  int busy = 0;
  for (const Row& row : rows_) {
    if (!row.settled) {
      ++notStarted;
      WriteOutcome(row, "not started", {});
    } else if (row.stopped) {
      ++stopped;
    } else if (row.busy) {
      ++busy;
    } else if (row.status == StatusDone) {
      ++done;
    } else if (row.status == StatusNotFound) {
      ++notFound;
    } else {
      ++failed;
    }
  }
  std::fflush(out_);
  std::string counts = std::to_string(done) + " done, ";
  if (failed > 0) counts += std::to_string(failed) + " failed, ";
  if (notFound > 0) counts += std::to_string(notFound) + " not found, ";
  if (busy > 0) counts += std::to_string(busy) + " busy, ";
  counts += std::to_string(stopped) + " stopped, " + std::to_string(notStarted) + " not started";
  ClearProgress();
  Put(err_, "kelvory-batch: interrupted: " + counts + "; files not done are unchanged\n");
}

bool ConsoleHost::AllDone() const {
  for (const Row& row : rows_) {
    if (row.status != StatusDone) return false;
  }
  return true;
}

void ConsoleHost::DrawProgress() {
  lastDraw_ = std::chrono::steady_clock::now();
  Put(err_, "\r" + std::to_string(settledCount_) + "/" + std::to_string(rows_.size()) + " files  " +
                Elapsed(lastDraw_ - start_) + "\033[K");
  progressDrawn_ = true;
}

void ConsoleHost::ClearProgress() {
  if (!progressDrawn_) return;
  Put(err_, "\r\033[K");
  progressDrawn_ = false;
}

}  // namespace kelvory
