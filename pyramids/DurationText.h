#pragma once
// A span of time as the front ends show it: "1:02:03" from an hour on, else minutes
// and seconds, the minutes given at least minuteDigits digits ("1:05", "01:05").
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace kelvory {

inline std::string DurationText(double seconds, int minuteDigits) {
  const long total = std::lround(std::max(seconds, 0.0));
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%0*ld:%02ld", minuteDigits, total / 60, total % 60);
  }
  return text;
}

}  // namespace kelvory
