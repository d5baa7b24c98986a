#include "batch/ConsoleHost.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "pyramids/ToolCommand.h"

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

ConsoleHost::Settings ThreeRows(bool progress) {
  ConsoleHost::Settings settings;
  settings.rows = {"/d/a.tif", "/d/b.tif", "/d/c.tif"};
  settings.showProgress = progress;
  return settings;
}

TEST(ConsoleHost, EverySettledFileIsOneLineWithItsOutcome) {
  File out(std::tmpfile());
  File err(std::tmpfile());
  ConsoleHost host(ThreeRows(false), out.get(), err.get());
  host.RowSettled(1, StatusFailed, "gdaladdo ended with status 1\nERROR 1: no space");
  host.RowSettled(0, StatusDone, "");
  host.RowSettled(2, StatusNotFound, "");
  host.FinishProgress();
  EXPECT_EQ(Contents(out.get()),
            "failed: /d/b.tif: gdaladdo ended with status 1 ERROR 1: no space\n"
            "done: /d/a.tif\n"
            "not found: /d/c.tif\n");
  // Without a terminal there is no progress line to draw or end.
  EXPECT_EQ(Contents(err.get()), "");
  EXPECT_FALSE(host.AllDone());
}

TEST(ConsoleHost, ProgressLineIsClearedBeforeEveryMessageAndEndedOnce) {
  File out(std::tmpfile());
  File err(std::tmpfile());
  ConsoleHost::Settings settings = ThreeRows(true);
  settings.programFolder = "/opt/kelvory/";
  ConsoleHost host(std::move(settings), out.get(), err.get());
  host.ShowMessage("gdaladdo.exe не найден");
  host.FinishProgress();
  host.ReportToolMissing();
  EXPECT_TRUE(host.MessageShown());
  EXPECT_EQ(Contents(err.get()),
            "\r0/3 files  0:00\033[K"
            "\r\033[K"
            "kelvory-batch: gdaladdo.exe не найден\n"
            "\r0/3 files  0:00\033[K"
            "\r0/3 files  0:00\033[K\n"
            "kelvory-batch: looked for /opt/kelvory/" + std::string(ToolRelativePath) + "\n");
}

TEST(ConsoleHost, InterruptSummaryTellsDoneStoppedAndUnstartedFilesApart) {
  File out(std::tmpfile());
  File err(std::tmpfile());
  bool stop = false;
  ConsoleHost::Settings settings;
  settings.rows = {"/d/a.tif", "/d/b.tif", "/d/c.tif", "/d/d.tif", "/d/e.tif", "/d/f.tif"};
  settings.stopRequested = [&stop] { return stop; };
  ConsoleHost host(std::move(settings), out.get(), err.get());
  host.RowSettled(1, StatusDone, "");
  host.RowSettled(0, StatusFailed, "gdaladdo ended with status 1");
  host.RowSettled(5, StatusNotFound, "");
  stop = true;
  // Rows the stop cuts short; a file finished just as the stop came stays done.
  host.RowSettled(3, StatusFailed, "stopped");
  host.RowSettled(2, StatusDone, "");
  host.ReportInterrupted();
  EXPECT_EQ(Contents(out.get()),
            "done: /d/b.tif\n"
            "failed: /d/a.tif: gdaladdo ended with status 1\n"
            "not found: /d/f.tif\n"
            "stopped: /d/d.tif\n"
            "done: /d/c.tif\n"
            "not started: /d/e.tif\n");
  EXPECT_EQ(Contents(err.get()),
            "kelvory-batch: interrupted: 2 done, 1 failed, 1 not found, 1 stopped, 1 not started; "
            "files not done are unchanged\n");
}

TEST(ConsoleHost, BusyFileIsItsOwnOutcomeAlsoWhenAStopComesAndInTheSummary) {
  File out(std::tmpfile());
  File err(std::tmpfile());
  bool stop = false;
  ConsoleHost::Settings settings = ThreeRows(false);
  settings.stopRequested = [&stop] { return stop; };
  ConsoleHost host(std::move(settings), out.get(), err.get());
  host.RowBusy(0);
  host.RowSettled(0, StatusFailed, "another process is building this file");
  stop = true;
  host.RowBusy(1);
  host.RowSettled(1, StatusFailed, "another process is building this file");
  host.ReportInterrupted();
  EXPECT_EQ(Contents(out.get()), "busy: /d/a.tif\nbusy: /d/b.tif\nnot started: /d/c.tif\n");
  EXPECT_EQ(Contents(err.get()),
            "kelvory-batch: interrupted: 0 done, 2 busy, 0 stopped, 1 not started; files not done are unchanged\n");
}

}  // namespace
}  // namespace kelvory
