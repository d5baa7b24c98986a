#pragma once
// Opening documents and addresses with the desktop's default program.
#include <QUrl>
#include <functional>
#include <string>

namespace kelvory {

// Opens a document or an address with the desktop's default program. Whether that
// worked is not examined: a missing document or browser shows nothing.
void ShellOpen(const QUrl& url);

// Something that opens a URL; windows take one so that tests need no browser.
using UrlOpener = std::function<void(const QUrl&)>;

// The help document named after the program: its path with the extension of the file
// name replaced by ".pdf" (appended when the name has none), as a local file URL.
QUrl HelpPdfUrlForProgram(const std::string& programPath);

}  // namespace kelvory
