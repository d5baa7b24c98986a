#pragma once
// The language the user chose for the system's own texts.
#include <string>

namespace kelvory::platform {

// The ISO 639 code of the user's interface language ("ru", "en") where the system keeps
// one apart from the environment (Windows: the display language chosen in its
// settings); empty elsewhere, where the locale variables are the user's choice.
std::string UserInterfaceLanguage();

}  // namespace kelvory::platform
