#pragma once
// The whole build's progress as the window shows it while the build runs.
#include <optional>
#include <string>

namespace kelvory {

struct BuildProgress {
  int settled = 0;          // rows the build has settled
  int total = 0;            // rows checked when it started
  double runningDone = 0;   // the running rows' parts done, summed (0.45 for 45 %)
  double elapsedSeconds = 0;
};

// Seconds still to go at the pace so far, or none while too little is done to tell.
std::optional<double> SecondsLeft(const BuildProgress& progress);

// "Готово 3 из 10 · 01:05 · осталось ≈ 02:10" (or "осталось —" before an estimate).
std::string BuildProgressText(const BuildProgress& progress);

// The part of the whole done, 0 to 1.
double BuildFraction(const BuildProgress& progress);

}  // namespace kelvory
