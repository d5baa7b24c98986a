// The texts the window makes of a build: reasons in Russian, the overall progress.
#include <gtest/gtest.h>

#include "app/BuildProgress.h"
#include "app/BuildSummaryText.h"
#include "app/ReasonText.h"
#include "app/RussianPlural.h"
#include "pyramids/WorkEstimate.h"

namespace kelvory {
namespace {

TEST(ReasonText, OutcomeNamesTheStatusAndTheReasonAndAFileTheWidenedReadingReadsSaysWhere) {
  EXPECT_EQ(RowOutcomeText(StatusNone, false, ""), "");
  EXPECT_EQ(RowOutcomeText(StatusInProgress, false, ""), "");
  EXPECT_EQ(RowOutcomeText(StatusDone, false, ""), "Пирамиды построены.");
  EXPECT_EQ(RowOutcomeText(StatusDone, false, WindowReason(MakeReason(ReasonCode::EnoughLevels))), "Пирамиды уже есть.");
  EXPECT_EQ(RowOutcomeText(StatusNotFound, false, ""), "Файл не найден.");
  EXPECT_EQ(RowOutcomeText(StatusFailed, true, "построение остановлено"), "Построение остановлено.");
  EXPECT_EQ(RowOutcomeText(StatusFailed, false, WindowReason(MakeReason(ReasonCode::NoImage))),
            "Пирамиды построить не удалось.\n\nПричина: В файле нет изображения.");
  Reason widened = MakeReason(ReasonCode::UnsupportedFileType);
  widened.ReadableWidened = true;
  EXPECT_EQ(WindowReason(widened),
            "Неподдерживаемый тип файла. Файл можно прочитать, включив «Параметры → Читать BigTIFF и все типы данных».");
}

// Every reason the window shows is a sentence, however its words were written; a name
// that begins one and the tool's own line stay as written.
TEST(ReasonText, WindowReasonsAreSentencesWithTheToolsLineAsWritten) {
  const struct {
    std::string shown;
    const char* expected;
  } cases[] = {
      {WindowReason(MakeReason(ReasonCode::NotFound)), "Файл не найден."},
      {WindowReason(MakeReason(ReasonCode::WorkingCopyGone)), "Рабочая копия файла пропала."},
      {WindowReason(MakeReason(ReasonCode::EnoughLevels)), "Пирамиды уже есть."},
      {WindowReason(MakeReason(ReasonCode::Unexpected)), "Произошла какая-то ошибка!.."},
      {WindowReason(MakeReason(ReasonCode::ToolExitStatus, {"1"})), "gdaladdo завершился с кодом 1."},
      {WindowReason(MakeReason(ReasonCode::ToolError, {"ERROR 1: /d/a.tif: disk full"})), "ERROR 1: /d/a.tif: disk full"},
      {WindowReason(MakeReason(ReasonCode::ReadOnly, {"/d/a.tif"})),
       "Файл /d/a.tif доступен только для чтения: разрешите запись в него или выберите папку назначения."},
      {WindowBuiltNote(MakeReason(ReasonCode::LevelCompressionUnsuited, {"JPEG", "16"})),
       "Пирамиды построены; уровни сжаты так же, как изображение: сжатие JPEG подходит только к 8-битным снимкам "
       "без палитры, а у этого файла 16-битные отсчёты."},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shown, c.expected);
}

TEST(RussianPlural, NounAfterANumberTakesTheFormRussianGivesIt) {
  const struct {
    long long count;
    const char* expected;
  } cases[] = {{0, "0 файлов"},   {1, "1 файл"},     {2, "2 файла"},     {4, "4 файла"},   {5, "5 файлов"},
               {11, "11 файлов"}, {12, "12 файлов"}, {14, "14 файлов"},  {21, "21 файл"},  {22, "22 файла"},
               {72, "72 файла"},  {111, "111 файлов"}, {101, "101 файл"}, {1004, "1004 файла"}};
  for (const auto& c : cases) EXPECT_EQ(CountOf(c.count, kFileNoun), QString::fromUtf8(c.expected));
}

TEST(BuildSummaryText, CountsThatAreNotZeroWithTheirNounAndAgreement) {
  const auto summary = [](int done, int upToDate, int failed, int stopped) {
    BuildSummary counts;
    counts.Done = done;
    counts.UpToDate = upToDate;
    counts.Failed = failed;
    counts.Stopped = stopped;
    return counts;
  };
  const struct {
    BuildSummary counts;
    const char* line;
  } cases[] = {
      {summary(0, 0, 0, 0), ""},
      {summary(1, 0, 0, 0), "Итог: 1 файл построен"},
      {summary(3, 2, 0, 0), "Итог: 3 файла построены · 2 уже с пирамидами"},
      {summary(0, 0, 21, 11), "Итог: 21 файл с ошибкой · 11 остановлены"},
      {summary(25, 0, 0, 1), "Итог: 25 файлов построены · 1 остановлен"},
  };
  for (const auto& c : cases) EXPECT_EQ(SummaryLine(c.counts), c.line);
  EXPECT_EQ(SummaryDetails(summary(3, 0, 1, 0)), "Построены: 3 файла\nС ошибкой: 1 файл");
}

TEST(BuildProgress, EstimateFollowsThePaceOfTheWorkOnceThereIsOne) {
  struct Case {
    std::vector<double> weights;
    std::vector<std::pair<int, int>> progress;  // row, percent
    std::vector<int> settled;
    double elapsed;
    std::string text;
  };
  const std::vector<double> ten(10, 1.0);
  const Case cases[] = {
      {ten, {}, {}, 0.0, "Готово 0 из 10 · 00:00 · осталось —"},
      {ten, {{0, 50}}, {}, 1.0, "Готово 0 из 10 · 00:01 · осталось —"},     // too early to tell
      {ten, {{0, 5}}, {}, 30.0, "Готово 0 из 10 · 00:30 · осталось —"},     // too little done
      {ten, {{0, 100}, {1, 100}, {2, 50}}, {0, 1}, 50.0, "Готово 2 из 10 · 00:50 · осталось ≈ 02:30"},
      // A big file's half is most of the work; files with nothing to do cost nothing.
      {{300, 100, 100}, {{0, 50}}, {2}, 10.0, "Готово 1 из 3 · 00:10 · осталось ≈ 00:17"},
      {std::vector<double>(12, 1.0), {{0, 100}, {1, 100}, {2, 100}}, {0, 1, 2}, 3600.0,
       "Готово 3 из 12 · 1:00:00 · осталось ≈ 3:00:00"},
      {{5, 5}, {}, {0, 1}, 75.0, "Готово 2 из 2 · 01:15 · осталось ≈ 00:00"},
  };
  for (const Case& c : cases) {
    WorkEstimate estimate(c.weights);
    for (const auto& [row, percent] : c.progress) estimate.RowProgress(row, percent);
    for (const int row : c.settled) estimate.RowSettled(row);
    EXPECT_EQ(BuildProgressText(estimate, c.elapsed), c.text) << c.text;
  }
}

}  // namespace
}  // namespace kelvory
