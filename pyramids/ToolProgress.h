#pragma once
// How far a running tool has got, from what it prints: gdaladdo writes
// "0...10...20...30...40...50...60...70...80...90...100 - done." to its standard
// output, one dot for every 2.5 per cent.
#include <string_view>

namespace kelvory {

class BuildEvents;
struct ItemProc;

// The percentage (0 to 100) the text reports last, or -1 when it reports none yet.
int ProgressPercent(std::string_view output);

// Reads what the slot's tool has printed so far and tells when its row's percentage
// has changed.
void ReportProgress(BuildEvents& events, ItemProc& slot);

}  // namespace kelvory
