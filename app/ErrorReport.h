#pragma once
// The general error report: what the user sees when an error escapes a command.
#include <string>
#include <string_view>

class QWidget;

namespace kelvory {

// The message as the report shows it: a full stop is added when the code of its last
// character (the last UTF-8 code point) is greater than that of '.'.
std::string ErrorReportText(std::string_view message);

// A modal error box captioned "Kelvory" with the report text and one OK button.
void ShowErrorReport(const std::string& message, QWidget* parent = nullptr);

}  // namespace kelvory
