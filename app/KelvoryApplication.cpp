#include "app/KelvoryApplication.h"

#include <QLibraryInfo>

#include <exception>

#include "app/ErrorReport.h"

namespace kelvory {

KelvoryApplication::KelvoryApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // The name, not a display name: Qt would append a display name to every window
  // caption. Message boxes take "Kelvory" as their own title.
  setApplicationName(QStringLiteral("Kelvory"));
  // Without the translation file Qt's dialogs stay in English; nothing else changes.
  if (FQtTexts.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    installTranslator(&FQtTexts);
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
