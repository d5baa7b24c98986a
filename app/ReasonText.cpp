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
      // A done row has a reason only when it needed nothing ("Пирамиды уже есть."),
      // and that reason is its whole outcome.
      return reason.empty() ? "Пирамиды построены." : reason;
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
