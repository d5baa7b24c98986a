#include "batch/ConsoleReport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The tool is named as the system names its file.
#ifdef _WIN32
#define KELVORY_TOOL_MISSING "gdaladdo.exe не найден"
#else
#define KELVORY_TOOL_MISSING "gdaladdo не найден"
#endif

namespace kelvory {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string Contents(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  return text;
}

RowReport Settles(int row, Outcome result, Reason why = {}) {
  RowReport report;
  report.Row = row;
  report.Result = result;
  report.Why = std::move(why);
  return report;
}

ConsoleReport::Settings ThreeRows(bool progress) {
  ConsoleReport::Settings settings;
  settings.rows = {"/d/a.tif", "/d/b.tif", "/d/c.tif"};
  settings.showProgress = progress;
  return settings;
}

TEST(ConsoleReport, EverySettledFileIsOneLineWithItsOutcomeInTheUsersLanguage) {
  for (const Language language : {Language::English, Language::Russian}) {
    File out(std::tmpfile());
    File err(std::tmpfile());
    ConsoleReport::Settings settings = ThreeRows(false);
    settings.rows.push_back("/d/d.tif");
    settings.language = language;
    ConsoleReport host(std::move(settings), out.get(), err.get());
    host.RowSettled(Settles(1, Outcome::Failed, MakeReason(ReasonCode::ToolError, {"ERROR 1: no\nspace"})));
    host.RowSettled(Settles(0, Outcome::Done));
    host.RowSettled(Settles(2, Outcome::Failed, MakeReason(ReasonCode::NoImage)));
    host.RowSettled(Settles(3, Outcome::UpToDate, MakeReason(ReasonCode::EnoughLevels)));
    host.FinishProgress();
    EXPECT_EQ(Contents(out.get()), language == Language::English
                                       ? "failed: /d/b.tif: ERROR 1: no space\n"
                                         "done: /d/a.tif\n"
                                         "failed: /d/c.tif: the file holds no image\n"
                                         "up to date: /d/d.tif\n"
                                       : "ошибка: /d/b.tif: ERROR 1: no space\n"
                                         "готово: /d/a.tif\n"
                                         "ошибка: /d/c.tif: в файле нет изображения\n"
                                         "уже готово: /d/d.tif\n");
    // Without a terminal there is no progress line to draw or end.
    EXPECT_EQ(Contents(err.get()), "");
    EXPECT_FALSE(host.AllWorkedOut());
  }
}

TEST(ConsoleReport, JsonNamesTheOutcomeAndReasonCodeInEnglishWhateverTheLanguage) {
  File out(std::tmpfile());
  File err(std::tmpfile());
  ConsoleReport::Settings settings = ThreeRows(false);
  settings.format = ConsoleReport::Format::Json;
  settings.language = Language::Russian;
  ConsoleReport host(std::move(settings), out.get(), err.get());
  RowReport report = Settles(0, Outcome::Failed, MakeReason(ReasonCode::CogInPlace, {"/d/a.tif"}));
  report.LevelsBefore = 2;
  report.LevelsAfter = 2;
  host.RowSettled(report);
  host.RowSettled(Settles(1, Outcome::NotFound, MakeReason(ReasonCode::NotFound)));
  report = Settles(2, Outcome::UpToDate, MakeReason(ReasonCode::EnoughLevels));
  report.LevelsBefore = 3;
  report.LevelsAfter = 3;
  host.RowSettled(report);
  const std::string text = Contents(out.get());
  EXPECT_EQ(text.substr(0, text.find("\"reason\":")), "{\"path\":\"/d/a.tif\",\"outcome\":\"failed\",");
  EXPECT_NE(text.find("\"reason_code\":\"cog_in_place\",\"levels_before\":2,\"levels_after\":2,"), std::string::npos)
      << text;
  // Only a failed or kept file's reason is in words; every outcome but done names its code.
  EXPECT_NE(text.find("{\"path\":\"/d/b.tif\",\"outcome\":\"not found\",\"reason\":\"\",\"reason_code\":\"not_found\","
                      "\"levels_before\":null"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("{\"path\":\"/d/c.tif\",\"outcome\":\"up to date\",\"reason\":\"\","
                      "\"reason_code\":\"enough_levels\",\"levels_before\":3,\"levels_after\":3,"),
            std::string::npos)
      << text;
}

TEST(ConsoleReport, JsonNamesTheStepThatFailedWhereTheCodeAloneDoesNotSay) {
  File out(std::tmpfile());
  File err(std::tmpfile());
  ConsoleReport::Settings settings = ThreeRows(false);
  settings.format = ConsoleReport::Format::Json;
  ConsoleReport host(std::move(settings), out.get(), err.get());
  const std::error_code full = std::make_error_code(std::errc::no_space_on_device);
  host.RowSettled(Settles(0, Outcome::Failed,
                          MakeReasonAt(FailedStep::SyncLink, ReasonCode::AppendFailed, {"/d/a.tif"}, full)));
  host.RowSettled(Settles(1, Outcome::NotFound, MakeReason(ReasonCode::NotFound)));
  const std::string text = Contents(out.get());
  EXPECT_NE(text.find("\"reason_code\":\"append_failed\""), std::string::npos) << text;
  EXPECT_NE(text.find(",\"failed_step\":\"sync_link\"}"), std::string::npos) << text;
  EXPECT_EQ(text.find("failed_step", text.find("/d/b.tif")), std::string::npos) << text;
}

TEST(ConsoleReport, ProgressLineIsClearedBeforeEveryLineAndEndedOnce) {
  File out(std::tmpfile());
  File err(std::tmpfile());
  ConsoleReport::Settings settings = ThreeRows(true);
  settings.columns = [] { return 25; };
  ConsoleReport host(std::move(settings), out.get(), err.get());
  host.RowStarted(1);
  host.RowProgress(1, 45);
  host.RowSettled(Settles(0, Outcome::Done));
  host.FinishProgress();
  host.ReportToolMissing("/opt/kelvory/gdal/gdaladdo");
  EXPECT_EQ(Contents(out.get()), "done: /d/a.tif\n");
  // The running file with its tool's percentage, cut to the terminal's width; the file
  // settled at once cost nothing, the other two share the rest.
  EXPECT_EQ(Contents(err.get()),
            "\r[  0%] 0/3 files · 0:00\033[K"
            "\r\033[K"
            "\r[ 22%] 1/3 files · b.ti…\033[K"
            "\r\033[K"
            "kelvory-batch: " KELVORY_TOOL_MISSING "\n"
            "kelvory-batch: looked for /opt/kelvory/gdal/gdaladdo\n"
            "kelvory-batch: and found no gdaladdo on the PATH\n");
}

TEST(ConsoleReport, InterruptSummaryTellsDoneStoppedAndUnstartedFilesApart) {
  File out(std::tmpfile());
  File err(std::tmpfile());
  bool stop = false;
  ConsoleReport::Settings settings;
  settings.rows = {"/d/a.tif", "/d/b.tif", "/d/c.tif", "/d/d.tif", "/d/e.tif", "/d/f.tif"};
  settings.stopRequested = [&stop] { return stop; };
  ConsoleReport host(std::move(settings), out.get(), err.get());
  host.RowSettled(Settles(1, Outcome::Done));
  host.RowSettled(Settles(0, Outcome::Failed, MakeReason(ReasonCode::ToolExitStatus, {"1"})));
  host.RowSettled(Settles(5, Outcome::NotFound));
  stop = true;
  // Rows the stop cuts short; a file finished just as the stop came stays done.
  host.RowSettled(Settles(3, Outcome::Failed, MakeReason(ReasonCode::Aborted)));
  host.RowSettled(Settles(2, Outcome::Done));
  host.ReportInterrupted();
  EXPECT_EQ(Contents(out.get()),
            "done: /d/b.tif\n"
            "failed: /d/a.tif: gdaladdo exited with status 1\n"
            "not found: /d/f.tif\n"
            "stopped: /d/d.tif\n"
            "done: /d/c.tif\n"
            "not started: /d/e.tif\n");
  EXPECT_EQ(Contents(err.get()),
            "kelvory-batch: interrupted: 2 built, 1 failed, 1 not found, 1 stopped, 1 not started; "
            "files not done are unchanged\n");
}

TEST(ConsoleReport, BusyFileIsItsOwnOutcomeAlsoWhenAStopComesAndInTheSummary) {
  File out(std::tmpfile());
  File err(std::tmpfile());
  bool stop = false;
  ConsoleReport::Settings settings = ThreeRows(false);
  settings.stopRequested = [&stop] { return stop; };
  ConsoleReport host(std::move(settings), out.get(), err.get());
  host.RowSettled(Settles(0, Outcome::Busy, MakeReason(ReasonCode::Busy)));
  stop = true;
  host.RowSettled(Settles(1, Outcome::Busy, MakeReason(ReasonCode::Busy)));
  host.ReportInterrupted();
  EXPECT_EQ(Contents(out.get()), "busy: /d/a.tif\nbusy: /d/b.tif\nnot started: /d/c.tif\n");
  EXPECT_EQ(Contents(err.get()),
            "kelvory-batch: interrupted: 0 built, 2 busy, 0 stopped, 1 not started; files not done are unchanged\n");
}

TEST(ConsoleReport, SummaryCountsEachOutcomeWithTheWordsFormForItsNumber) {
  struct Case {
    Language language;
    bool dryRun;
    std::vector<std::pair<int, Outcome>> settled;  // how many, outcome
    int copies;                                    // of the done ones, copied as they were
    std::string line;
  };
  using enum Outcome;
  const Case cases[] = {
      {Language::English, false, {{5, Done}, {3, UpToDate}, {1, Kept}}, 0,
       "kelvory-batch: 9 files: 5 built, 3 up to date, 1 kept\n"},
      {Language::English, false, {{2, Done}}, 1, "kelvory-batch: 2 files: 1 built, 1 copied\n"},
      {Language::English, true, {{3, Done}, {1, UpToDate}}, 1,
       "kelvory-batch: dry run, 4 files: 2 would build, 1 would copy, 1 up to date; nothing was written\n"},
      {Language::Russian, false, {{3, NotFound}}, 0, "kelvory-batch: 3 файла: 0 построено, 3 не найдено\n"},
      {Language::Russian, false, {{1, Done}, {2, UpToDate}, {11, Kept}, {5, Failed}, {21, NotFound}, {1, Busy}}, 0,
       "kelvory-batch: 41 файл: 1 построен, 2 уже готовы, 11 оставлено, 5 ошибок, 21 не найден, 1 занят\n"},
      {Language::Russian, false, {{2, Failed}, {22, Busy}}, 0, "kelvory-batch: 24 файла: 0 построено, 2 ошибки, 22 занято\n"},
      {Language::Russian, true, {{1, Done}, {4, UpToDate}}, 0,
       "kelvory-batch: пробный прогон, 5 файлов: 1 будет построен, 4 уже готовы; ничего не записано\n"},
  };
  for (const Case& c : cases) {
    File out(std::tmpfile());
    File err(std::tmpfile());
    ConsoleReport::Settings settings;
    for (const auto& [count, outcome] : c.settled) settings.rows.resize(settings.rows.size() + count, "/d/a.tif");
    settings.language = c.language;
    settings.dryRun = c.dryRun;
    ConsoleReport host(std::move(settings), out.get(), err.get());
    int row = 0;
    for (const auto& [count, outcome] : c.settled) {
      for (int i = 0; i < count; ++i, ++row) {
        RowReport report = Settles(row, outcome);
        report.Action = row < c.copies ? FileAction::Copy : FileAction::Build;
        host.RowSettled(report);
      }
    }
    host.ReportSummary();
    EXPECT_EQ(Contents(err.get()), c.line);
  }
}

TEST(ConsoleReport, QuietNamesEveryFileLeftWithoutItsLevels) {
  File out(std::tmpfile());
  File err(std::tmpfile());
  ConsoleReport::Settings settings;
  settings.rows = {"/d/a.tif", "/d/b.tif", "/d/c.tif", "/d/d.tif", "/d/e.tif", "/d/f.tif"};
  settings.quiet = true;
  ConsoleReport host(std::move(settings), out.get(), err.get());
  host.RowSettled(Settles(0, Outcome::Done));
  host.RowSettled(Settles(1, Outcome::UpToDate, MakeReason(ReasonCode::EnoughLevels)));
  host.RowSettled(Settles(2, Outcome::Kept, MakeReason(ReasonCode::ReadOnly, {"/d/c.tif"})));
  host.RowSettled(Settles(3, Outcome::Busy, MakeReason(ReasonCode::Busy)));
  host.RowSettled(Settles(4, Outcome::NotFound, MakeReason(ReasonCode::NotFound)));
  host.ReportSummary();
  EXPECT_EQ(Contents(out.get()),
            "kept: /d/c.tif: /d/c.tif is read-only: build it into a destination folder, or its levels beside it with "
            "--external\n"
            "busy: /d/d.tif\n"
            "not found: /d/e.tif\n");
  EXPECT_EQ(Contents(err.get()), "");
}

}  // namespace
}  // namespace kelvory
