#include "app/BuildProgress.h"

#include <optional>

#include "pyramids/DurationText.h"
#include "pyramids/WorkEstimate.h"

namespace kelvory {
namespace {

// The window's clock shows two digits of minutes: "01:05".
std::string Duration(double seconds) { return DurationText(seconds, 2); }

}  // namespace

std::string BuildProgressText(WorkEstimate& estimate, double elapsedSeconds) {
  const std::optional<double> left = estimate.SteadySecondsLeft(elapsedSeconds);
  return "Готово " + std::to_string(estimate.Settled()) + " из " + std::to_string(estimate.Total()) + " · " +
         Duration(elapsedSeconds) + " · осталось " + (left ? "≈ " + Duration(*left) : std::string("—"));
}

std::string ClosingNoticeText(bool stopping) {
  return stopping ? "Построение останавливается, затем окно закроется"
                  : "Окно закроется после построения · остановить: Ctrl+.";
}

std::string ClosingNoticeHint() {
  return "Окно закроется, когда построение закончится. Остановить построение сейчас: Ctrl+. или Ctrl+Break, "
         "или «Остановить построение» в меню списка (правая кнопка мыши на списке).";
}

}  // namespace kelvory
