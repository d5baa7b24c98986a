#include "app/BuildProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "pyramids/WorkEstimate.h"

namespace kelvory {
namespace {

std::string Duration(double seconds) {
  const long total = std::lround(std::max(seconds, 0.0));
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%02ld:%02ld", total / 60, total % 60);
  }
  return text;
}

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
