#pragma once
// The start settings every launch of a build shares. They mirror the fields a hidden
// console tool is started with elsewhere; a Linux console tool has no window, so only
// the record is kept and nothing here changes how the tool starts.
#include <cstdint>
#include <string>

namespace kelvory {

struct ToolStartup {
  static constexpr std::uint32_t UseShowWindow = 1;
  static constexpr std::uint16_t Hidden = 0;

  std::uint32_t Size = 68;
  std::string Desktop;
  // The title of the tool's console: the row's list index in decimal, set per job.
  std::string Title;
  std::uint32_t X = 0, Y = 0, XSize = 0, YSize = 0;
  std::uint32_t XCountChars = 0, YCountChars = 0, FillAttribute = 0;
  std::uint32_t Flags = UseShowWindow;
  std::uint16_t ShowWindow = Hidden;
};

}  // namespace kelvory
