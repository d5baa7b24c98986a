#include "batch/ConsoleReport.h"

#include <cstdio>
#include <string>
#include <utility>

#include "batch/JsonText.h"
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
  const long seconds = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(duration).count());
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", seconds / 60, seconds % 60);
  }
  return text;
}

// JSON keeps English names whatever the language, for scripts.
const char* JsonName(int outcome) {
  static constexpr const char* kNames[] = {"not started", "done", "failed", "not found", "busy", "stopped"};
  return kNames[outcome];
}

}  // namespace

ConsoleReport::ConsoleReport(Settings settings, std::FILE* out, std::FILE* err)
    : json_(settings.json),
      showProgress_(settings.showProgress),
      language_(settings.language),
      stopRequested_(std::move(settings.stopRequested)),
      out_(out),
      err_(err),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {
  rows_.reserve(settings.rows.size());
  for (std::string& caption : settings.rows) {
    Row row;
    row.caption = std::move(caption);
    rows_.push_back(std::move(row));
  }
  if (showProgress_) DrawProgress();
}

void ConsoleReport::RowStarted(int) {}

void ConsoleReport::RowSettled(const RowReport& report) {
  if (report.Row < 0 || static_cast<std::size_t>(report.Row) >= rows_.size()) return;
  ++settledCount_;
  Row& row = rows_[static_cast<std::size_t>(report.Row)];
  row.settled = true;
  row.why = report.Why;
  row.levelsBefore = report.LevelsBefore;
  row.levelsAfter = report.LevelsAfter;
  row.seconds = report.Seconds;
  switch (report.Result) {
    case Outcome::Done: row.outcome = Shown::Done; break;
    case Outcome::Failed: row.outcome = Shown::Failed; break;
    case Outcome::NotFound: row.outcome = Shown::NotFound; break;
    case Outcome::Busy: row.outcome = Shown::Busy; break;
    case Outcome::Stopped: row.outcome = Shown::Stopped; break;
  }
  // Once a stop is asked for, a file that failed is one the stop cut short.
  if (row.outcome == Shown::Failed && StopRequested()) row.outcome = Shown::Stopped;
  ClearProgress();
  WriteOutcome(row);
  if (showProgress_) DrawProgress();
}

const char* ConsoleReport::Word(Shown outcome) const {
  static constexpr const char* kEnglish[] = {"not started", "done", "failed", "not found", "busy", "stopped"};
  static constexpr const char* kRussian[] = {"не начат", "готово", "ошибка", "не найден", "занят", "остановлен"};
  const auto at = static_cast<std::size_t>(outcome);
  return language_ == Language::Russian ? kRussian[at] : kEnglish[at];
}

void ConsoleReport::WriteOutcome(const Row& row) {
  // The reason of a stopped or busy file is its outcome itself.
  const bool saysWhy = row.outcome == Shown::Failed;
  const std::string reason =
      saysWhy ? ReasonText(row.why, language_,
                           language_ == Language::Russian ? "(файл читается без --classic)"
                                                          : "(the file is readable without --classic)")
              : std::string();
  if (!json_) {
    Put(out_, std::string(Word(row.outcome)) + ": " + row.caption + (reason.empty() ? "" : ": " + OneLine(reason)) + "\n");
    return;
  }
  const auto levels = [](int count) { return count < 0 ? std::string("null") : std::to_string(count); };
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", row.settled ? row.seconds : 0.0);
  Put(out_, "{\"path\":" + JsonString(row.caption) + ",\"outcome\":\"" + JsonName(static_cast<int>(row.outcome)) +
                "\",\"reason\":" + JsonString(reason) + ",\"reason_code\":\"" +
                (saysWhy ? ReasonCodeName(row.why.Code) : "") + "\",\"levels_before\":" + levels(row.levelsBefore) +
                ",\"levels_after\":" + levels(row.levelsAfter) + ",\"seconds\":" + seconds + "}\n");
}

bool ConsoleReport::StopRequested() { return stopRequested_ && stopRequested_(); }

void ConsoleReport::Tick() {
  if (showProgress_ && std::chrono::steady_clock::now() - lastDraw_ >= kProgressInterval) DrawProgress();
}

void ConsoleReport::FinishProgress() {
  if (!showProgress_) return;
  DrawProgress();
  Put(err_, "\n");
  progressDrawn_ = false;
}

void ConsoleReport::ReportInterrupted() {
  int counts[6] = {};
  for (const Row& row : rows_) {
    ++counts[static_cast<int>(row.outcome)];
    if (!row.settled) WriteOutcome(row);
  }
  std::fflush(out_);
  const auto count = [&](Shown outcome) { return counts[static_cast<int>(outcome)]; };
  const bool russian = language_ == Language::Russian;
  std::string text = std::to_string(count(Shown::Done)) + (russian ? " готово, " : " done, ");
  if (count(Shown::Failed) > 0) text += std::to_string(count(Shown::Failed)) + (russian ? " с ошибкой, " : " failed, ");
  if (count(Shown::NotFound) > 0)
    text += std::to_string(count(Shown::NotFound)) + (russian ? " не найдено, " : " not found, ");
  if (count(Shown::Busy) > 0) text += std::to_string(count(Shown::Busy)) + (russian ? " занято, " : " busy, ");
  text += std::to_string(count(Shown::Stopped)) + (russian ? " остановлено, " : " stopped, ") +
          std::to_string(count(Shown::NotStarted)) + (russian ? " не начато" : " not started");
  ClearProgress();
  Put(err_, russian ? "kelvory-batch: прервано: " + text + "; файлы, которые не готовы, не изменены\n"
                    : "kelvory-batch: interrupted: " + text + "; files not done are unchanged\n");
}

void ConsoleReport::ReportToolMissing(const std::string& lookedFor) {
  ClearProgress();
  Put(err_, "kelvory-batch: gdaladdo.exe не найден\n");
  // The message names the tool only; say where it was looked for.
  Put(err_, language_ == Language::Russian
                ? "kelvory-batch: искали " + platform::FullPath(lookedFor) + " и gdaladdo в PATH\n"
                : "kelvory-batch: looked for " + platform::FullPath(lookedFor) + "\n"
                  "kelvory-batch: and found no gdaladdo on the PATH\n");
}

bool ConsoleReport::AllDone() const {
  for (const Row& row : rows_) {
    if (row.outcome != Shown::Done) return false;
  }
  return true;
}

void ConsoleReport::DrawProgress() {
  lastDraw_ = std::chrono::steady_clock::now();
  Put(err_, "\r" + std::to_string(settledCount_) + "/" + std::to_string(rows_.size()) +
                (language_ == Language::Russian ? " файлов  " : " files  ") + Elapsed(lastDraw_ - start_) + "\033[K");
  progressDrawn_ = true;
}

void ConsoleReport::ClearProgress() {
  if (!progressDrawn_) return;
  Put(err_, "\r\033[K");
  progressDrawn_ = false;
}

}  // namespace kelvory
