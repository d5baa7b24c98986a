#pragma once
#include "pyramids/BuildHost.h"

namespace kelvory {

// Runs one whole build over the host's checked rows and returns when it is over, with
// the host's window restored. Nothing escapes it.
void RunBuild(BuildHost& host);

}  // namespace kelvory
