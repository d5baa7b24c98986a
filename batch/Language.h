#pragma once
// The language the command speaks: the user's, as the locale variables name it.
#include "pyramids/ReasonText.h"

namespace kelvory {

// Russian when the first set one of LC_ALL, LC_MESSAGES and LANG names it ("ru",
// "ru_RU.UTF-8"), English otherwise.
Language UserLanguage();

}  // namespace kelvory
