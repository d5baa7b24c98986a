#include "app/BuildSummaryText.h"

#include "app/RussianPlural.h"

namespace kelvory {
namespace {

struct Part {
  int count;
  // After a count that takes the singular (1, 21...) and after any other.
  const char* one;
  const char* other;
  // The line of the details.
  const char* label;
};

std::vector<Part> Parts(const BuildSummary& summary) {
  return {
      {summary.Done, "построен", "построены", "Построены"},
      {summary.UpToDate, "уже с пирамидами", "уже с пирамидами", "Уже были с пирамидами"},
      {summary.Kept, "оставлен как есть", "оставлены как есть", "Оставлены как есть"},
      {summary.Failed + summary.Busy, "с ошибкой", "с ошибкой", "С ошибкой"},
      {summary.NotFound, "не найден", "не найдены", "Не найдены"},
      {summary.Stopped, "остановлен", "остановлены", "Остановлены"},
  };
}

bool TakesSingular(int count) { return count % 10 == 1 && count % 100 != 11; }

}  // namespace

std::string SummaryLine(const BuildSummary& summary) {
  std::string line;
  for (const Part& part : Parts(summary)) {
    if (part.count == 0) continue;
    line += line.empty() ? "Итог: " + CountOf(part.count, kFileNoun).toStdString() : " · " + std::to_string(part.count);
    line += ' ';
    line += TakesSingular(part.count) ? part.one : part.other;
  }
  return line;
}

std::string SummaryDetails(const BuildSummary& summary) {
  std::string details;
  for (const Part& part : Parts(summary)) {
    if (part.count == 0) continue;
    if (!details.empty()) details += '\n';
    details += std::string(part.label) + ": " + CountOf(part.count, kFileNoun).toStdString();
  }
  return details;
}

}  // namespace kelvory
