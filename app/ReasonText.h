#pragma once
// What the window says about a build's rows, in the window's language.
#include <string>

#include "filelist/StatusImage.h"
#include "pyramids/Reason.h"

namespace kelvory {

// A reason as the window shows it: in the window's language, a sentence from its
// capital letter to its full stop, the tool's own line alone as the tool wrote it, and
// for a file only the widened reading reads, where to switch it on.
std::string WindowReason(const Reason& reason);

// What the window says of a row built with a remark: that it was built, then the
// remark, as one sentence.
std::string WindowBuiltNote(const Reason& note);

// What the window says about a settled row: its outcome and, on a line of its own,
// the reason when there is one; a done row's reason (it needed nothing) stands alone.
// Empty for a row no build has settled.
std::string RowOutcomeText(StatusImage status, bool stopped, const std::string& reason);

}  // namespace kelvory
