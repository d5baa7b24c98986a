#pragma once
// A reason in words, once per language. The tool's own ERROR lines and the reader's
// English "Cannot open file" text are quoted as they are in both.
#include <string>

#include "pyramids/Reason.h"

namespace kelvory {

enum class Language { English, Russian };

// widenedHint follows the text of a file the classic reading refused and the widened
// one reads: where the user's front end switches the widened reading on.
std::string ReasonText(const Reason& reason, Language language, const std::string& widenedHint = {});

// The code's stable name for scripts ("cog_in_place"); "" for none.
const char* ReasonCodeName(ReasonCode code);

}  // namespace kelvory
