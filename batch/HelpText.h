#pragma once
// The --help text: a short summary that names the manual page, in the user's language.
#include <string>

#include "pyramids/ReasonText.h"

namespace kelvory {

std::string HelpText(Language language);

}  // namespace kelvory
