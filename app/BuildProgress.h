#pragma once
// The whole build's progress as the window shows it while the build runs.
#include <string>

namespace kelvory {

class WorkEstimate;

// "Готово 3 из 10 · 01:05 · осталось ≈ 02:10" (or "осталось —" before an estimate):
// the rows settled of the build's rows, the time since it started, and the time left
// at the pace of the work done so far, steadied (so asked for as time goes on).
std::string BuildProgressText(WorkEstimate& estimate, double elapsedSeconds);

// What the progress line says once the window was asked to close during the build: it
// closes when the build ends, and how to stop the build now (or that it is stopping);
// the hint says it in full.
std::string ClosingNoticeText(bool stopping);
std::string ClosingNoticeHint();

}  // namespace kelvory
