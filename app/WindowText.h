#pragma once
// The window's words. Its source texts are the Russian ones it shows by default; the
// installed translation (app/i18n) gives them in the user's language. A literal is
// translated in place with QCoreApplication::translate("Kelvory", ...), or marked with
// QT_TRANSLATE_NOOP("Kelvory", ...) where it is kept for later and shown through Tr(),
// so that lupdate finds every one.
#include <QCoreApplication>
#include <QString>

#include "pyramids/ReasonText.h"

namespace kelvory {

inline QString Tr(const char* marked) { return QCoreApplication::translate("Kelvory", marked); }

// The language the window speaks: the installed translation says it by translating
// its own language's code.
inline Language WindowLanguage() {
  return QCoreApplication::translate("Kelvory", "ru", "the code of the language translated into") == QLatin1String("en")
             ? Language::English
             : Language::Russian;
}

}  // namespace kelvory
