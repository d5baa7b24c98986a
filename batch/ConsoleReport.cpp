#include "batch/ConsoleReport.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "batch/JsonText.h"
#include "platform/Console.h"
#include "platform/Paths.h"
#include "pyramids/DurationText.h"
#include "pyramids/ToolCommand.h"

namespace kelvory {
namespace {

// Every text goes out through the platform: a Windows console then shows every letter.
void Put(std::FILE* stream, const std::string& text) {
  platform::WriteText(stream, text);
  std::fflush(stream);
}

// How often the progress line moves on while nothing settles.
constexpr auto kProgressInterval = std::chrono::milliseconds(250);

// A settled file is always one line, whatever its reason holds.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

std::string Duration(double seconds) { return DurationText(seconds, 1); }

// The outcomes' words, in the order of Shown; JSON keeps the English ones whatever the
// language, for scripts.
constexpr const char* kEnglish[] = {"not started", "done", "up to date", "kept", "failed", "not found", "busy", "stopped"};
constexpr const char* kRussian[] = {"не начат", "готово", "уже готово", "оставлен", "ошибка", "не найден", "занят",
                                    "остановлен"};
constexpr const char* kJsonCounts[] = {"not_started", "done", "up_to_date", "kept", "failed", "not_found", "busy",
                                       "stopped"};

// Russian words after a number take one of three forms: 1, 21 файл; 2, 3, 4, 22 файла;
// 0, 5 to 20, 25 файлов.
enum class RussianForm { One, Few, Many };
RussianForm RussianFormOf(std::size_t count) {
  const std::size_t last = count % 10;
  const std::size_t lastTwo = count % 100;
  if (last == 1 && lastTwo != 11) return RussianForm::One;
  if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) return RussianForm::Few;
  return RussianForm::Many;
}

// A count of the summary: "5 built", "3 не найдено".
struct CountWord {
  const char* english;
  const char* russian[3];  // one, few, many
};
constexpr CountWord kBuilt{"built", {"построен", "построено", "построено"}};
constexpr CountWord kWouldBuild{"would build", {"будет построен", "будет построено", "будет построено"}};
constexpr CountWord kWouldCopy{"would copy", {"будет скопирован", "будет скопировано", "будет скопировано"}};
constexpr CountWord kCopied{"copied", {"скопирован", "скопировано", "скопировано"}};
// The others in the order of Shown, from up to date on.
constexpr CountWord kCountWords[] = {
    {"up to date", {"уже готов", "уже готовы", "уже готовы"}},
    {"kept", {"оставлен", "оставлено", "оставлено"}},
    {"failed", {"ошибка", "ошибки", "ошибок"}},
    {"not found", {"не найден", "не найдено", "не найдено"}},
    {"busy", {"занят", "занято", "занято"}},
    {"stopped", {"остановлен", "остановлено", "остановлено"}},
};
constexpr CountWord kNotStarted{"not started", {"не начат", "не начато", "не начато"}};

std::string Counted(std::size_t count, const CountWord& word, bool russian) {
  return std::to_string(count) + " " +
         (russian ? word.russian[static_cast<int>(RussianFormOf(count))] : word.english);
}

// What a dry run says it would do with a file.
const char* DryRunWord(FileAction action, bool russian) {
  switch (action) {
    case FileAction::Copy: return russian ? "скопирует" : "would copy";
    case FileAction::Build: return russian ? "построит" : "would build";
    case FileAction::Append: return russian ? "построит и допишет" : "would append";
    case FileAction::External: return russian ? "построит рядом" : "would build beside";
    case FileAction::Check:
    case FileAction::None: break;
  }
  return "";
}

std::string FactorList(const std::vector<std::int64_t>& factors, const char* separator) {
  std::string text;
  for (const std::int64_t factor : factors) text += (text.empty() ? "" : separator) + std::to_string(factor);
  return text;
}

// "1 file", "2 files"; in Russian "1 файл", "2 файла", "5 файлов", "21 файл".
std::string FileCount(std::size_t count, bool russian) {
  constexpr CountWord kFiles{"", {"файл", "файла", "файлов"}};
  return russian ? Counted(count, kFiles, true) : std::to_string(count) + (count == 1 ? " file" : " files");
}

std::string Levels(int count) { return count < 0 ? std::string("null") : std::to_string(count); }

// The file's name: the progress line has room for little more.
std::string ShortName(const std::string& path) {
  const std::size_t slash = platform::LastSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Cuts text to columns characters (UTF-8 aware), so that the line never wraps.
std::string Fitted(const std::string& text, int columns) {
  if (columns <= 0) return text;
  int count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (++count == columns) return text.substr(0, i) + "…";
  }
  return text;
}

}  // namespace

ConsoleReport::ConsoleReport(Settings settings, std::FILE* out, std::FILE* err)
    : format_(settings.format),
      showProgress_(settings.showProgress && settings.format == Format::Text && !settings.quiet),
      quiet_(settings.quiet),
      dryRun_(settings.dryRun),
      method_(std::move(settings.method)),
      language_(settings.language),
      stopRequested_(std::move(settings.stopRequested)),
      columns_(std::move(settings.columns)),
      out_(out),
      err_(err),
      estimate_(showProgress_ ? WorkEstimate::ForFiles(settings.rows)
                              : WorkEstimate(std::vector<double>(settings.rows.size(), 1.0))),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {
  rows_.reserve(settings.rows.size());
  for (std::string& caption : settings.rows) {
    Row row;
    row.caption = std::move(caption);
    rows_.push_back(std::move(row));
  }
  WriteEvent("{\"event\":\"plan\",\"files\":" + std::to_string(rows_.size()) + "}");
  if (showProgress_) DrawProgress();
}

void ConsoleReport::WriteEvent(const std::string& json) {
  if (format_ == Format::Events) Put(out_, json + "\n");
}

void ConsoleReport::RowStarted(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
  WriteEvent("{\"event\":\"start\",\"path\":" + JsonString(rows_[static_cast<std::size_t>(row)].caption) + "}");
}

void ConsoleReport::RowProgress(int row, int percent) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
  running_[row] = percent;
  estimate_.RowProgress(row, percent);
  WriteEvent("{\"event\":\"progress\",\"path\":" + JsonString(rows_[static_cast<std::size_t>(row)].caption) +
             ",\"percent\":" + std::to_string(percent) + "}");
}

void ConsoleReport::RowSettled(const RowReport& report) {
  if (report.Row < 0 || static_cast<std::size_t>(report.Row) >= rows_.size()) return;
  ++settledCount_;
  running_.erase(report.Row);
  estimate_.RowSettled(report.Row);
  Row& row = rows_[static_cast<std::size_t>(report.Row)];
  row.settled = true;
  switch (report.Result) {
    case Outcome::Done: row.outcome = Shown::Done; break;
    case Outcome::UpToDate: row.outcome = Shown::UpToDate; break;
    case Outcome::Kept: row.outcome = Shown::Kept; break;
    case Outcome::Failed: row.outcome = Shown::Failed; break;
    case Outcome::NotFound: row.outcome = Shown::NotFound; break;
    case Outcome::Busy: row.outcome = Shown::Busy; break;
    case Outcome::Stopped: row.outcome = Shown::Stopped; break;
  }
  // Once a stop is asked for, a file that failed is one the stop cut short.
  if (row.outcome == Shown::Failed && StopRequested()) row.outcome = Shown::Stopped;
  row.copied = row.outcome == Shown::Done && report.Action == FileAction::Copy;
  ClearProgress();
  WriteOutcome(row, report);
  if (showProgress_) DrawProgress();
}

void ConsoleReport::WriteOutcome(const Row& row, const RowReport& report) {
  // A file neither failed nor kept says why by its outcome alone; JSON still names the code.
  const bool saysWhy = row.outcome == Shown::Failed || row.outcome == Shown::Kept;
  const std::string reason = saysWhy ? ReasonText(report.Why, language_, Audience::Command) : std::string();
  if (format_ != Format::Text) {
    Put(out_, JsonLine(row, report, reason) + "\n");
    return;
  }
  // Quiet names every file left without its levels, kept ones included.
  const bool hasLevels = row.outcome == Shown::Done || row.outcome == Shown::UpToDate;
  if (quiet_ && hasLevels) return;
  Put(out_, TextLine(row, report, reason) + "\n");
}

std::string ConsoleReport::TextLine(const Row& row, const RowReport& report, const std::string& reason) const {
  const auto at = static_cast<std::size_t>(row.outcome);
  if (dryRun_ && row.outcome == Shown::Done) {
    const RowReport& plan = report;
    std::string line = std::string(DryRunWord(plan.Action, Russian())) + ": " + row.caption;
    if (plan.Action == FileAction::Build || plan.Action == FileAction::External || plan.Action == FileAction::Append) {
      line += ": " + FactorList(plan.Factors, " ") + ", " + method_ + ", ";
      if (plan.Action == FileAction::External) {
        line += (Russian() ? "уровни в " : "levels into ") + row.caption + ".ovr";
      } else if (plan.Action == FileAction::Append) {
        line += Russian() ? "уровни строятся рядом и дописываются в файл" : "levels built beside it and appended";
      } else {
        line += (Russian() ? "рабочая копия в " : "working copy in ") + plan.WorkingFolder;
      }
    }
    return line;
  }
  return std::string(Russian() ? kRussian[at] : kEnglish[at]) + ": " + row.caption +
         (reason.empty() ? "" : ": " + OneLine(reason));
}

std::string ConsoleReport::JsonLine(const Row& row, const RowReport& report, const std::string& reason) const {
  std::string outcome = kEnglish[static_cast<std::size_t>(row.outcome)];
  if (dryRun_ && row.outcome == Shown::Done) outcome = DryRunWord(report.Action, false);
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", row.settled ? report.Seconds : 0.0);
  std::string line = std::string(format_ == Format::Events ? "{\"event\":\"file\"," : "{") +
                     "\"path\":" + JsonString(row.caption) + ",\"outcome\":\"" + outcome + "\",\"reason\":" +
                     JsonString(reason) + ",\"reason_code\":\"" + ReasonCodeName(report.Why.Code) +
                     "\",\"levels_before\":" + Levels(row.settled ? report.LevelsBefore : -1) +
                     ",\"levels_after\":" + Levels(row.settled ? report.LevelsAfter : -1) + ",\"seconds\":" + seconds;
  // The QGIS plugin shows the path before the reason, and its fields instead of options.
  if (format_ == Format::Events) {
    line += ",\"qgis_reason\":" + JsonString(reason.empty() ? reason : ReasonText(report.Why, language_, Audience::Qgis));
  }
  // Which step failed, where the code alone does not say.
  if (report.Why.Step != FailedStep::None) {
    line += std::string(",\"failed_step\":\"") + FailedStepName(report.Why.Step) + "\"";
  }
  if (dryRun_) {
    line += ",\"factors\":[" + FactorList(report.Factors, ",") + "],\"working_folder\":" +
            JsonString(report.WorkingFolder);
  }
  return line + "}";
}

bool ConsoleReport::StopRequested() { return stopRequested_ && stopRequested_(); }

void ConsoleReport::Tick() {
  if (showProgress_ && std::chrono::steady_clock::now() - lastDraw_ >= kProgressInterval) DrawProgress();
}

void ConsoleReport::FinishProgress() {
  if (!progressDrawn_) return;
  ClearProgress();
}

std::string ConsoleReport::Counts(bool forJson, bool interrupted) const {
  std::size_t counts[std::size(kEnglish)] = {};
  std::size_t copies = 0;
  for (const Row& row : rows_) {
    ++counts[static_cast<std::size_t>(row.outcome)];
    copies += row.copied;
  }
  std::string text;
  const auto add = [&](std::string part) { text += (text.empty() ? "" : forJson ? "," : ", ") + part; };
  if (forJson) {
    for (const Shown at : {Shown::Done, Shown::UpToDate, Shown::Kept, Shown::Failed, Shown::NotFound, Shown::Busy,
                           Shown::Stopped, Shown::NotStarted}) {
      const auto i = static_cast<std::size_t>(at);
      add(std::string("\"") + kJsonCounts[i] + "\":" + std::to_string(counts[i]));
    }
    return text;
  }
  // In the order a reader looks for them; only what happened, and always what was built.
  const std::size_t done = counts[static_cast<std::size_t>(Shown::Done)];
  add(Counted(done - copies, dryRun_ ? kWouldBuild : kBuilt, Russian()));
  if (copies > 0) add(Counted(copies, dryRun_ ? kWouldCopy : kCopied, Russian()));
  for (std::size_t i = 0; i < std::size(kCountWords); ++i) {
    const Shown at = static_cast<Shown>(static_cast<std::size_t>(Shown::UpToDate) + i);
    const std::size_t count = counts[static_cast<std::size_t>(at)];
    if (count > 0 || (interrupted && at == Shown::Stopped)) add(Counted(count, kCountWords[i], Russian()));
  }
  const std::size_t notStarted = counts[static_cast<std::size_t>(Shown::NotStarted)];
  if (notStarted > 0 || interrupted) add(Counted(notStarted, kNotStarted, Russian()));
  return text;
}

void ConsoleReport::ReportSummary() {
  WriteEvent("{\"event\":\"summary\"," + Counts(true) + "}");
  if (quiet_) return;
  ClearProgress();
  const std::string files = FileCount(rows_.size(), Russian()) + ": ";
  Put(err_, "kelvory-batch: " + std::string(dryRun_ ? (Russian() ? "пробный прогон, " : "dry run, ") : "") + files +
                Counts(false) + (dryRun_ ? (Russian() ? "; ничего не записано\n" : "; nothing was written\n") : "\n"));
}

void ConsoleReport::ReportInterrupted() {
  for (const Row& row : rows_) {
    if (!row.settled) WriteOutcome(row, RowReport{});
  }
  std::fflush(out_);
  WriteEvent("{\"event\":\"summary\"," + Counts(true) + "}");
  ClearProgress();
  Put(err_, Russian() ? "kelvory-batch: прервано: " + Counts(false, true) + "; файлы, которые не готовы, не изменены\n"
                      : "kelvory-batch: interrupted: " + Counts(false, true) + "; files not done are unchanged\n");
}

void ConsoleReport::ReportToolMissing(const std::string& lookedFor) {
  ClearProgress();
  Put(err_, "kelvory-batch: " + ToolMissingText() + "\n");
  // The message names the tool only; say where it was looked for.
  Put(err_, Russian() ? "kelvory-batch: искали " + platform::FullPath(lookedFor) + " и gdaladdo в PATH\n"
                      : "kelvory-batch: looked for " + platform::FullPath(lookedFor) + "\n"
                        "kelvory-batch: and found no gdaladdo on the PATH\n");
}

void ConsoleReport::ReportNothingToDo(bool otherShares) {
  ClearProgress();
  WriteEvent("{\"event\":\"summary\"," + Counts(true) + "}");
  if (otherShares) {
    if (!quiet_) Put(err_, Russian() ? "kelvory-batch: в этой доле файлов нет\n" : "kelvory-batch: no files in this share\n");
    return;
  }
  Put(err_, Russian() ? "kelvory-batch: нет файлов TIFF для построения\n" : "kelvory-batch: no TIFF files to build\n");
}

bool ConsoleReport::AllWorkedOut() const {
  for (const Row& row : rows_) {
    if (row.outcome != Shown::Done && row.outcome != Shown::UpToDate && row.outcome != Shown::Kept) return false;
  }
  return true;
}

void ConsoleReport::DrawProgress() {
  lastDraw_ = std::chrono::steady_clock::now();
  const double elapsed = std::chrono::duration<double>(lastDraw_ - start_).count();
  char percent[16];
  std::snprintf(percent, sizeof percent, "[%3d%%] ", static_cast<int>(estimate_.Fraction() * 100));
  std::string line = percent + std::to_string(settledCount_) + "/" + FileCount(rows_.size(), Russian());
  for (const auto& [row, done] : running_) {
    line += " · " + ShortName(rows_[static_cast<std::size_t>(row)].caption) + " " + std::to_string(done) + "%";
  }
  line += " · " + Duration(elapsed);
  if (const auto left = estimate_.SecondsLeft(elapsed)) {
    line += Russian() ? " · осталось " + Duration(*left) : " · " + Duration(*left) + " left";
  }
  const int columns = columns_ ? columns_() : 0;
  Put(err_, "\r" + Fitted(line, columns > 1 ? columns - 1 : 0) + "\033[K");
  progressDrawn_ = true;
}

void ConsoleReport::ClearProgress() {
  if (!progressDrawn_) return;
  Put(err_, "\r\033[K");
  progressDrawn_ = false;
}

}  // namespace kelvory
