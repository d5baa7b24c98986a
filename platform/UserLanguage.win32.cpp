#include "platform/UserLanguage.h"

#include <string_view>

#include "platform/Win32.win32.h"

namespace kelvory::platform {

std::string UserInterfaceLanguage() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  if (::LCIDToLocaleName(MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) == 0)
    return {};
  // "ru-RU": the language is the part before the region.
  const std::wstring_view locale(name);
  return win32::Narrow(std::wstring(locale.substr(0, locale.find(L'-'))));
}

}  // namespace kelvory::platform
