#pragma once
#include <QApplication>
#include <QTranslator>

namespace kelvory {

// The application object. An exception that escapes an event handler ends up here and
// is shown as the general error report; the program then goes on with the next event.
class KelvoryApplication : public QApplication {
  Q_OBJECT

 public:
  KelvoryApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  // Qt's own texts (file dialogs, standard buttons) in Russian, like the rest of the
  // window.
  QTranslator FQtTexts;
};

}  // namespace kelvory
