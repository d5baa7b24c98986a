#pragma once
// The language the user reads: the one rule the window and the batch command share.
#include <string_view>

#include "pyramids/ReasonText.h"

namespace kelvory {

// What the environment and the system say, as the rule reads them.
struct LanguageSources {
  // The first set one (not empty) of LC_ALL, LC_MESSAGES and LANG; empty for none.
  std::string_view locale;
  // The system's interface language where it keeps one apart (Windows: "ru", "de");
  // empty elsewhere.
  std::string_view interfaceLanguage;
};

// Russian when the locale names it ("ru", "ru_RU.UTF-8"), English when it names another
// language. A locale that names none (unset, "C", "C.UTF-8", "POSIX") leaves it to the
// system's interface language (a Russian Windows sets no locale variables), and where
// that says nothing either, to `unnamed`: the window's own language is Russian, the
// command's English.
Language ChooseLanguage(const LanguageSources& sources, Language unnamed);

// ChooseLanguage on this process's environment and system.
Language UserLanguage(Language unnamed);

}  // namespace kelvory
