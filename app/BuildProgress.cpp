#include "app/BuildProgress.h"

#include <optional>

#include "app/WindowText.h"
#include "pyramids/DurationText.h"
#include "pyramids/WorkEstimate.h"

namespace kelvory {
namespace {

// The window's clock shows two digits of minutes: "01:05".
std::string Duration(double seconds) { return DurationText(seconds, 2); }

}  // namespace

std::string BuildProgressText(WorkEstimate& estimate, double elapsedSeconds) {
  const std::optional<double> left = estimate.SteadySecondsLeft(elapsedSeconds);
  const std::string leftText = left ? "≈ " + Duration(*left) : std::string("—");
  return QCoreApplication::translate("Kelvory", "Готово %1 из %2 · %3 · осталось %4")
      .arg(estimate.Settled())
      .arg(estimate.Total())
      .arg(QString::fromStdString(Duration(elapsedSeconds)), QString::fromStdString(leftText))
      .toStdString();
}

std::string ClosingNoticeText(bool stopping) {
  return (stopping ? QCoreApplication::translate("Kelvory", "Построение останавливается, затем окно закроется")
                   : QCoreApplication::translate("Kelvory", "Окно закроется после построения · остановить: Ctrl+."))
      .toStdString();
}

std::string ClosingNoticeHint() {
  return QCoreApplication::translate(
             "Kelvory",
             "Окно закроется, когда построение закончится. Остановить построение сейчас: Ctrl+. или Ctrl+Break, "
             "или «Остановить построение» в меню списка (правая кнопка мыши на списке).")
      .toStdString();
}

}  // namespace kelvory
