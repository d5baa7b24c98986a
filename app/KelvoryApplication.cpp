#include "app/KelvoryApplication.h"

#include <exception>

#include "app/ErrorReport.h"
#include "pyramids/LanguageChoice.h"

namespace kelvory {

KelvoryApplication::KelvoryApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // The name, not a display name: Qt would append a display name to every window
  // caption. Message boxes take "Kelvory" as their own title.
  setApplicationName(QStringLiteral("Kelvory"));
  SetLanguage(UserLanguage(Language::Russian));
}

void KelvoryApplication::SetLanguage(Language language) {
  FTranslations.reset();
  FTranslations = std::make_unique<Translations>(language);
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
