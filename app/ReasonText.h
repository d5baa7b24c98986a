#pragma once
// The reasons the build gives for a row, as the window shows them: the build's own
// texts in Russian, the tool's own words and anything not recognised as they are.
#include <string>

#include "pyramids/StatusImage.h"

namespace kelvory {

std::string RussianReason(const std::string& reason);

// What the window says about a settled row: its outcome and, on a line of its own,
// the reason when there is one. Empty for a row no build has settled.
std::string RowOutcomeText(StatusImage status, const std::string& reason);

// The reason a stopped build gives the rows it cut short, in either language.
bool IsStoppedReason(const std::string& reason);

}  // namespace kelvory
