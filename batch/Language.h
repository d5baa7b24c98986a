#pragma once
// The language the command speaks: the user's, as the locale variables name it, or
// where none is set, as the system's own settings do.
#include "pyramids/ReasonText.h"

namespace kelvory {

// Russian when the first set one of LC_ALL, LC_MESSAGES and LANG names it ("ru",
// "ru_RU.UTF-8"); with none set, when the user's interface language is Russian (a
// Russian Windows sets no locale variables); English otherwise.
Language UserLanguage();

}  // namespace kelvory
