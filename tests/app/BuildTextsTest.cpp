// The texts the window makes of a build: reasons in Russian, the overall progress.
#include <gtest/gtest.h>

#include "app/BuildProgress.h"
#include "app/ReasonText.h"

namespace kelvory {
namespace {

TEST(ReasonText, BuildReasonsInRussianToolAndUnknownTextsAsTheyAre) {
  const std::pair<std::string, std::string> cases[] = {
      {"stopped", "построение остановлено"},
      {"/d/a: b.tif is read-only", "файл /d/a: b.tif доступен только для чтения"},
      {"cannot replace /d/a: b.tif: No space left on device", "не удалось заменить /d/a: b.tif: на диске нет места"},
      {"cannot start /opt/gdal/gdaladdo: Some new system text", "не удалось запустить /opt/gdal/gdaladdo: Some new system text"},
      {"gdaladdo was killed by signal 9", "gdaladdo завершён сигналом 9"},
      {"an image of 10 x 20 would need 25 levels, more than 20", "изображению 10 x 20 нужно 25 уровней пирамиды, больше 20"},
      {"ERROR 1: /d/a.tif: No space left on device", "ERROR 1: /d/a.tif: No space left on device"},
      {"something the build says anew", "something the build says anew"},
      {"", ""},
  };
  for (const auto& [english, russian] : cases) EXPECT_EQ(RussianReason(english), russian) << english;
}

TEST(ReasonText, OutcomeNamesTheStatusAndTheReason) {
  EXPECT_EQ(RowOutcomeText(StatusNone, ""), "");
  EXPECT_EQ(RowOutcomeText(StatusInProgress, ""), "");
  EXPECT_EQ(RowOutcomeText(StatusDone, ""), "Пирамиды построены.");
  EXPECT_EQ(RowOutcomeText(StatusNotFound, ""), "Файл не найден.");
  EXPECT_EQ(RowOutcomeText(StatusFailed, "stopped"), "Построение остановлено.");
  EXPECT_EQ(RowOutcomeText(StatusFailed, "the file holds no image"),
            "Пирамиды построить не удалось.\n\nПричина: в файле нет изображения");
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
