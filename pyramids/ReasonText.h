#pragma once
// A reason in words, once per language. The tool's own ERROR lines and the reader's
// English "Cannot open file" text are quoted as they are in both.
#include <string>

#include "pyramids/Reason.h"

namespace kelvory {

enum class Language { English, Russian };

// Who reads the words: advice names the window's settings or the command's options.
enum class Audience { Window, Command };

std::string ReasonText(const Reason& reason, Language language, Audience audience = Audience::Command);

// The code's stable name for scripts ("cog_in_place"); "" for none.
const char* ReasonCodeName(ReasonCode code);

}  // namespace kelvory
