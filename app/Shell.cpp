#include "app/Shell.h"

#include <QDesktopServices>

#include "filelist/PathText.h"
#include "platform/Paths.h"

namespace kelvory {

void ShellOpen(const QUrl& url) {
  static_cast<void>(QDesktopServices::openUrl(url));
}

QUrl HelpPdfUrlForProgram(const std::string& programPath) {
  const std::size_t slash = platform::LastSeparator(programPath);
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::string pdf = programPath;
  const std::size_t dot = pdf.rfind('.');
  // A dot that starts the name marks a hidden file, not an extension.
  if (dot != std::string::npos && dot > nameStart) {
    pdf.erase(dot);
  }
  pdf += ".pdf";
  return QUrl::fromLocalFile(PathQString(pdf));
}

}  // namespace kelvory
