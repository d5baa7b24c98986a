#include "app/KelvoryApplication.h"

#include <exception>

#include "app/ErrorReport.h"

namespace kelvory {

KelvoryApplication::KelvoryApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationDisplayName(QStringLiteral("Kelvory"));
  setApplicationName(QStringLiteral("Kelvory"));
}

bool KelvoryApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowErrorReport(error.what());
  } catch (...) {
    ShowErrorReport("Unknown error");
  }
  return false;
}

}  // namespace kelvory
