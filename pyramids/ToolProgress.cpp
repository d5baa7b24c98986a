#include "pyramids/ToolProgress.h"

#include <string>

#include "pyramids/BuildEvents.h"
#include "pyramids/ItemProc.h"

namespace kelvory {
namespace {

// Only the end of the output matters; a tool that prints a lot costs no more.
constexpr std::uint64_t TailBytes = 256;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int ProgressPercent(std::string_view output) {
  int percent = -1;
  int mark = -1;  // the last tens mark seen, while dots still follow it
  int dots = 0;
  std::size_t i = 0;
  while (i < output.size()) {
    if (IsDigit(output[i])) {
      std::size_t end = i;
      int value = 0;
      for (; end < output.size() && IsDigit(output[end]); ++end) {
        if (value <= 100) value = value * 10 + (output[end] - '0');
      }
      // A number still being written ("10" of a coming "100") is not a mark yet; nor
      // is anything but a multiple of ten up to 100 followed by a dot or " - done".
      const bool complete = end < output.size() && (output[end] == '.' || output[end] == ' ');
      if (complete && value <= 100 && value % 10 == 0) {
        mark = value;
        dots = 0;
        percent = value;
      } else {
        mark = -1;
      }
      i = end;
      continue;
    }
    if (output[i] == '.' && mark >= 0 && mark < 100) {
      ++dots;
      // Four dots would be the next mark's business; never count past it.
      if (dots <= 3) percent = mark + (dots * 25) / 10;
    } else if (output[i] != '.') {
      mark = -1;
    }
    ++i;
  }
  return percent;
}

void ReportProgress(BuildEvents& events, ItemProc& slot) {
  if (!slot.ToolOutput) return;
  platform::MemoryFile& output = *slot.ToolOutput;
  const std::uint64_t size = output.Size();
  output.SetPosition(size > TailBytes ? size - TailBytes : 0);
  std::string tail(static_cast<std::size_t>(size > TailBytes ? TailBytes : size), '\0');
  tail.resize(output.Read(tail.data(), tail.size()));
  const int percent = ProgressPercent(tail);
  if (percent < 0 || percent == slot.ReportedPercent) return;
  slot.ReportedPercent = percent;
  events.RowProgress(slot.Row, percent);
}

}  // namespace kelvory
