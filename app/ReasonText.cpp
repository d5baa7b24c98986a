#include "app/ReasonText.h"

#include "pyramids/ReasonText.h"

namespace kelvory {

std::string WindowReason(const Reason& reason) {
  return ReasonText(reason, Language::Russian, Audience::Window);
}

std::string RowOutcomeText(StatusImage status, bool stopped, const std::string& reason) {
  std::string outcome;
  switch (status) {
    case StatusDone:
      outcome = "Пирамиды построены.";
      break;
    case StatusFailed:
      outcome = stopped ? "Построение остановлено." : "Пирамиды построить не удалось.";
      break;
    case StatusNotFound:
      outcome = "Файл не найден.";
      break;
    default:
      return {};
  }
  if (reason.empty() || stopped) return outcome;
  return outcome + "\n\nПричина: " + reason;
}

}  // namespace kelvory
