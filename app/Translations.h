#pragma once
// The translations the window's texts and Qt's own dialogs are shown through.
#include <QTranslator>

#include "pyramids/ReasonText.h"

namespace kelvory {

// Installs, for as long as it lives, the window's texts in `language` and Qt's own texts
// (file dialogs, standard buttons) in the same language. Russian is the window's own
// language: only Qt's texts are translated for it.
class Translations {
 public:
  explicit Translations(Language language);
  ~Translations();
  Translations(const Translations&) = delete;
  Translations& operator=(const Translations&) = delete;

 private:
  QTranslator FWindowTexts;
  QTranslator FQtTexts;
};

}  // namespace kelvory
