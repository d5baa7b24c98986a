#include "batch/ConsoleReport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>


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
    settings.language = language;
    ConsoleReport host(std::move(settings), out.get(), err.get());
    host.RowSettled(Settles(1, Outcome::Failed, MakeReason(ReasonCode::ToolError, {"ERROR 1: no\nspace"})));
    host.RowSettled(Settles(0, Outcome::Done));
    host.RowSettled(Settles(2, Outcome::Failed, MakeReason(ReasonCode::NoImage)));
    host.FinishProgress();
    EXPECT_EQ(Contents(out.get()), language == Language::English
                                       ? "failed: /d/b.tif: ERROR 1: no space\n"
                                         "done: /d/a.tif\n"
                                         "failed: /d/c.tif: the file holds no image\n"
                                       : "ошибка: /d/b.tif: ERROR 1: no space\n"
                                         "готово: /d/a.tif\n"
                                         "ошибка: /d/c.tif: в файле нет изображения\n");
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
  host.RowSettled(Settles(1, Outcome::NotFound));
  const std::string text = Contents(out.get());
  EXPECT_EQ(text.substr(0, text.find("\"reason\":")), "{\"path\":\"/d/a.tif\",\"outcome\":\"failed\",");
  EXPECT_NE(text.find("\"reason_code\":\"cog_in_place\",\"levels_before\":2,\"levels_after\":2,"), std::string::npos)
      << text;
  EXPECT_NE(text.find("{\"path\":\"/d/b.tif\",\"outcome\":\"not found\",\"reason\":\"\",\"reason_code\":\"\","
                      "\"levels_before\":null"),
            std::string::npos)
      << text;
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
            "kelvory-batch: gdaladdo.exe не найден\n"
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
            "kelvory-batch: interrupted: 2 done, 1 failed, 1 not found, 1 stopped, 1 not started; "
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
            "kelvory-batch: interrupted: 0 done, 2 busy, 0 stopped, 1 not started; files not done are unchanged\n");
}

}  // namespace
}  // namespace kelvory
