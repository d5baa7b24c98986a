#include "app/BuildProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kelvory {
namespace {

// An estimate from the first second or the first per cent is mostly noise.
constexpr double MinSecondsForEstimate = 2.0;
constexpr double MinFractionForEstimate = 0.01;

std::string Duration(double seconds) {
  const long total = std::lround(std::max(seconds, 0.0));
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%02ld:%02ld", total / 60, total % 60);
  }
  return text;
}

}  // namespace

double BuildFraction(const BuildProgress& progress) {
  if (progress.total <= 0) return 0;
  return std::clamp((progress.settled + progress.runningDone) / progress.total, 0.0, 1.0);
}

std::optional<double> SecondsLeft(const BuildProgress& progress) {
  const double fraction = BuildFraction(progress);
  if (fraction >= 1.0) return 0.0;
  if (progress.elapsedSeconds < MinSecondsForEstimate || fraction < MinFractionForEstimate) return std::nullopt;
  return progress.elapsedSeconds * (1.0 - fraction) / fraction;
}

std::string BuildProgressText(const BuildProgress& progress) {
  const std::optional<double> left = SecondsLeft(progress);
  return "Готово " + std::to_string(progress.settled) + " из " + std::to_string(progress.total) + " · " +
         Duration(progress.elapsedSeconds) + " · осталось " + (left ? "≈ " + Duration(*left) : std::string("—"));
}

}  // namespace kelvory
