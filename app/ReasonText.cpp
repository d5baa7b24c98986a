#include "app/ReasonText.h"

#include "app/WindowText.h"
#include "pyramids/ReasonText.h"

namespace kelvory {
namespace {

// A reason as the window shows it is a sentence: it begins with a capital letter and
// ends with a full stop, unless it ends with a mark of its own. A name that begins it
// (gdaladdo, a path) stays as written. Paths are bytes that need not be UTF-8, so the
// text is changed byte by byte, only where it is a Cyrillic letter or the end.
std::string Sentence(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty()) return text;
  auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  if (text.size() >= 2) {
    if (byte(0) == 0xD0 && byte(1) >= 0xB0 && byte(1) <= 0xBF) {  // а..п
      text[1] = static_cast<char>(byte(1) - 0x20);
    } else if (byte(0) == 0xD1 && byte(1) >= 0x80 && byte(1) <= 0x8F) {  // р..я
      text[0] = static_cast<char>(0xD0);
      text[1] = static_cast<char>(byte(1) + 0x20);
    } else if (byte(0) == 0xD1 && byte(1) == 0x91) {  // ё
      text[0] = static_cast<char>(0xD0);
      text[1] = static_cast<char>(0x81);
    }
  }
  const char last = text.back();
  const bool ellipsis = text.size() >= 3 && text.compare(text.size() - 3, 3, "\xE2\x80\xA6") == 0;
  if (last != '.' && last != '!' && last != '?' && !ellipsis) text += '.';
  return text;
}

}  // namespace

std::string WindowReason(const Reason& reason) {
  std::string text = ReasonText(reason, WindowLanguage(), Audience::Window);
  // The tool's own line, quoted alone, is shown as the tool wrote it.
  if (reason.Code == ReasonCode::ToolError && reason.Detail == ReasonCode::None && !reason.ReadableWidened)
    return text;
  return Sentence(std::move(text));
}

std::string WindowBuiltNote(const Reason& note) {
  return Sentence(QCoreApplication::translate("Kelvory", "Пирамиды построены; ").toStdString() +
                  ReasonText(note, WindowLanguage(), Audience::Window));
}

std::string RowOutcomeText(StatusImage status, bool stopped, const std::string& reason) {
  std::string outcome;
  switch (status) {
    case StatusDone:
      // A done row has a reason only when it needed nothing ("Пирамиды уже есть.") or
      // was built with a remark, and that reason is its whole outcome.
      return reason.empty() ? QCoreApplication::translate("Kelvory", "Пирамиды построены.").toStdString() : reason;
    case StatusFailed:
      outcome = (stopped ? QCoreApplication::translate("Kelvory", "Построение остановлено.")
                         : QCoreApplication::translate("Kelvory", "Пирамиды построить не удалось."))
                    .toStdString();
      break;
    case StatusNotFound:
      outcome = QCoreApplication::translate("Kelvory", "Файл не найден.").toStdString();
      break;
    default:
      return {};
  }
  if (reason.empty() || stopped) return outcome;
  return outcome + QCoreApplication::translate("Kelvory", "\n\nПричина: ").toStdString() + reason;
}

}  // namespace kelvory
