#pragma once
#include "pyramids/BuildHost.h"
#include "pyramids/BuildSummary.h"

namespace kelvory {

// Runs one whole build over the host's checked rows and returns when it is over, with
// the host's window restored and what became of the rows. Nothing escapes it.
BuildSummary RunBuild(BuildHost& host);

}  // namespace kelvory
