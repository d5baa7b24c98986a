#include "app/BuildSummaryText.h"

#include "app/RussianPlural.h"
#include "app/WindowText.h"

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
      {summary.Done, QT_TRANSLATE_NOOP("Kelvory", "построен"), QT_TRANSLATE_NOOP("Kelvory", "построены"),
       QT_TRANSLATE_NOOP("Kelvory", "Построены")},
      {summary.UpToDate, QT_TRANSLATE_NOOP("Kelvory", "уже с пирамидами"),
       QT_TRANSLATE_NOOP("Kelvory", "уже с пирамидами"), QT_TRANSLATE_NOOP("Kelvory", "Уже были с пирамидами")},
      {summary.Kept, QT_TRANSLATE_NOOP("Kelvory", "оставлен как есть"),
       QT_TRANSLATE_NOOP("Kelvory", "оставлены как есть"), QT_TRANSLATE_NOOP("Kelvory", "Оставлены как есть")},
      {summary.Failed + summary.Busy, QT_TRANSLATE_NOOP("Kelvory", "с ошибкой"),
       QT_TRANSLATE_NOOP("Kelvory", "с ошибкой"), QT_TRANSLATE_NOOP("Kelvory", "С ошибкой")},
      {summary.NotFound, QT_TRANSLATE_NOOP("Kelvory", "не найден"), QT_TRANSLATE_NOOP("Kelvory", "не найдены"),
       QT_TRANSLATE_NOOP("Kelvory", "Не найдены")},
      {summary.Stopped, QT_TRANSLATE_NOOP("Kelvory", "остановлен"), QT_TRANSLATE_NOOP("Kelvory", "остановлены"),
       QT_TRANSLATE_NOOP("Kelvory", "Остановлены")},
  };
}

bool TakesSingular(int count) { return count % 10 == 1 && count % 100 != 11; }

}  // namespace

std::string SummaryLine(const BuildSummary& summary) {
  std::string line;
  for (const Part& part : Parts(summary)) {
    if (part.count == 0) continue;
    line += line.empty()
                ? QCoreApplication::translate("Kelvory", "Итог: %1").arg(CountOf(part.count, kFileNoun)).toStdString()
                : " · " + std::to_string(part.count);
    line += ' ';
    line += Tr(TakesSingular(part.count) ? part.one : part.other).toStdString();
  }
  return line;
}

std::string SummaryDetails(const BuildSummary& summary) {
  std::string details;
  for (const Part& part : Parts(summary)) {
    if (part.count == 0) continue;
    if (!details.empty()) details += '\n';
    details += Tr(part.label).toStdString() + ": " + CountOf(part.count, kFileNoun).toStdString();
  }
  return details;
}

}  // namespace kelvory
