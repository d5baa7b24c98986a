#include "batch/Language.h"

#include <cstdlib>
#include <string_view>

#include "platform/UserLanguage.h"

namespace kelvory {

Language UserLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    const std::string_view locale(value);
    return locale.starts_with("ru") ? Language::Russian : Language::English;
  }
  return platform::UserInterfaceLanguage() == "ru" ? Language::Russian : Language::English;
}

}  // namespace kelvory
