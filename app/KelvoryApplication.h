#pragma once
#include <QApplication>
#include <memory>

#include "app/Translations.h"

namespace kelvory {

// The application object. An exception that escapes an event handler ends up here and
// is shown as the general error report; the program then goes on with the next event.
class KelvoryApplication : public QApplication {
  Q_OBJECT

 public:
  KelvoryApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // The language the window speaks from now on: its texts are read when it is made.
  void SetLanguage(Language language);

 private:
  // The window's texts and Qt's own in the user's language.
  std::unique_ptr<Translations> FTranslations;
};

}  // namespace kelvory
