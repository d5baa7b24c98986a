#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace kelvory {

Translations::Translations(Language language) {
  if (language == Language::English) {
    // Embedded at build time: always there. Qt's own texts are English already.
    if (FWindowTexts.load(QStringLiteral(":/kelvory/i18n/kelvory_en.qm")))
      QCoreApplication::installTranslator(&FWindowTexts);
    return;
  }
  // Without Qt's translation file its dialogs stay in English; nothing else changes.
  if (FQtTexts.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&FQtTexts);
}

Translations::~Translations() {
  QCoreApplication::removeTranslator(&FWindowTexts);
  QCoreApplication::removeTranslator(&FQtTexts);
}

}  // namespace kelvory
