// The texts the window makes of a build: reasons in Russian, the overall progress.
#include <gtest/gtest.h>

#include "app/BuildProgress.h"
#include "app/ReasonText.h"

namespace kelvory {
namespace {

TEST(ReasonText, OutcomeNamesTheStatusAndTheReasonAndAFileTheWidenedReadingReadsSaysWhere) {
  EXPECT_EQ(RowOutcomeText(StatusNone, false, ""), "");
  EXPECT_EQ(RowOutcomeText(StatusInProgress, false, ""), "");
  EXPECT_EQ(RowOutcomeText(StatusDone, false, ""), "Пирамиды построены.");
  EXPECT_EQ(RowOutcomeText(StatusNotFound, false, ""), "Файл не найден.");
  EXPECT_EQ(RowOutcomeText(StatusFailed, true, "построение остановлено"), "Построение остановлено.");
  EXPECT_EQ(RowOutcomeText(StatusFailed, false, WindowReason(MakeReason(ReasonCode::NoImage))),
            "Пирамиды построить не удалось.\n\nПричина: в файле нет изображения");
  Reason widened = MakeReason(ReasonCode::UnsupportedFileType);
  widened.ReadableWidened = true;
  EXPECT_EQ(WindowReason(widened),
            "Неподдерживаемый тип файла. Файл можно прочитать, включив «Параметры → Читать BigTIFF и все типы данных».");
}

TEST(BuildProgress, EstimateFollowsThePaceOnceThereIsOne) {
  struct Case {
    BuildProgress progress;
    std::string text;
  };
  const Case cases[] = {
      {{0, 10, 0.0, 0.0}, "Готово 0 из 10 · 00:00 · осталось —"},
      {{0, 10, 0.5, 1.0}, "Готово 0 из 10 · 00:01 · осталось —"},      // too early to tell
      {{0, 10, 0.05, 30.0}, "Готово 0 из 10 · 00:30 · осталось —"},    // too little done
      {{2, 10, 0.5, 50.0}, "Готово 2 из 10 · 00:50 · осталось ≈ 02:30"},  // a quarter in 50 s
      {{9, 12, 0.0, 3600.0}, "Готово 9 из 12 · 1:00:00 · осталось ≈ 20:00"},
      {{10, 10, 0.0, 75.0}, "Готово 10 из 10 · 01:15 · осталось ≈ 00:00"},
  };
  for (const Case& c : cases) EXPECT_EQ(BuildProgressText(c.progress), c.text) << c.text;
  EXPECT_DOUBLE_EQ(BuildFraction({2, 10, 0.5, 50.0}), 0.25);
  EXPECT_DOUBLE_EQ(BuildFraction({0, 0, 0.0, 1.0}), 0.0);
}

}  // namespace
}  // namespace kelvory
