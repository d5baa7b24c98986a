#pragma once
// A reason in words, once per language. The tool's own ERROR lines and the reader's
// English "Cannot open file" text are quoted as they are in both.
#include <string>

#include "pyramids/Reason.h"

namespace kelvory {

enum class Language { English, Russian };

// Who reads the words: advice names the window's settings, the command's options, or the
// fields of the QGIS plugin's dialog. The dialog's log shows the file's path before its
// reason, so there the reason calls it "the file" instead of naming it again.
enum class Audience { Window, Command, Qgis };

std::string ReasonText(const Reason& reason, Language language, Audience audience = Audience::Command);

// The code's stable name for scripts ("cog_in_place"); "" for none.
const char* ReasonCodeName(ReasonCode code);
// The failed step's stable name for scripts ("sync_link"); "" for none.
const char* FailedStepName(FailedStep step);

}  // namespace kelvory
