#include "app/ErrorReport.h"

#include <QString>

#include "app/MessageBox.h"

namespace kelvory {
namespace {

// The code point of the last UTF-8 character; a broken tail counts as its last byte.
char32_t LastCodePoint(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  std::size_t start = text.size() - 1;
  while (start > 0 && text.size() - start < 4 && (byte(start) & 0xC0) == 0x80) --start;
  const unsigned char lead = byte(start);
  const std::size_t length = text.size() - start;
  std::size_t expected = 1;
  char32_t code = lead;
  if ((lead & 0xE0) == 0xC0) {
    expected = 2;
    code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    expected = 3;
    code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    expected = 4;
    code = lead & 0x07;
  }
  if (expected != length || (expected == 1 && lead >= 0x80)) return byte(text.size() - 1);
  for (std::size_t i = start + 1; i < text.size(); ++i) code = (code << 6) | (byte(i) & 0x3F);
  return code;
}

}  // namespace

std::string ErrorReportText(std::string_view message) {
  std::string text(message);
  if (!message.empty() && LastCodePoint(message) > U'.') text += '.';
  return text;
}

void ShowErrorReport(const std::string& message, QWidget* parent) {
  ShowMessageBox(parent, QMessageBox::Critical, QString::fromStdString(ErrorReportText(message)), false);
}

}  // namespace kelvory
