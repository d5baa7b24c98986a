#include "batch/ConsoleHost.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

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
  ConsoleHost host(ThreeRows(true), out.get(), err.get());
  host.ShowMessage("gdaladdo.exe не найден");
  host.FinishProgress();
  EXPECT_TRUE(host.ToolMissing());
  EXPECT_FALSE(host.MessageShown());
  EXPECT_EQ(Contents(err.get()),
            "\r0/3 files  0:00\033[K"
            "\r\033[K"
            "kelvory-batch: gdaladdo.exe не найден\n"
            "\r0/3 files  0:00\033[K"
            "\r0/3 files  0:00\033[K\n");
}

}  // namespace
}  // namespace kelvory
