#pragma once
// Text that other programs on this system wrote, such as the paths of a list file.
#include <string>
#include <string_view>

namespace kelvory::platform {

// The text as UTF-8, the program's own encoding. On Windows, text that is not valid
// UTF-8 was written in the system's ANSI code page and is converted from it; valid
// UTF-8 (plain ASCII included) stays as it is. Elsewhere paths are byte strings and
// the bytes are kept.
std::string FromSystemText(std::string_view text);

}  // namespace kelvory::platform
