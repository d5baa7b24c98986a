#include "pyramids/LanguageChoice.h"

#include <cstdlib>
#include <string>

#include "platform/UserLanguage.h"

namespace kelvory {
namespace {

bool NamesNoLanguage(std::string_view locale) {
  return locale.empty() || locale == "C" || locale.starts_with("C.") || locale == "POSIX";
}

}  // namespace

Language ChooseLanguage(const LanguageSources& sources, Language unnamed) {
  if (!NamesNoLanguage(sources.locale)) return sources.locale.starts_with("ru") ? Language::Russian : Language::English;
  if (sources.interfaceLanguage.empty()) return unnamed;
  return sources.interfaceLanguage == "ru" ? Language::Russian : Language::English;
}

Language UserLanguage(Language unnamed) {
  std::string_view locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      locale = value;
      break;
    }
  }
  const std::string interfaceLanguage = platform::UserInterfaceLanguage();
  return ChooseLanguage({locale, interfaceLanguage}, unnamed);
}

}  // namespace kelvory
