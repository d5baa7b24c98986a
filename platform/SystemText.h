#pragma once
// Text that other programs on this system wrote, such as the paths of a list file.
#include <string>
#include <system_error>
#include <string_view>

namespace kelvory::platform {

// The text as UTF-8, the program's own encoding. On Windows, text that is not valid
// UTF-8 was written in the system's ANSI code page and is converted from it; valid
// UTF-8 (plain ASCII included) stays as it is. Elsewhere paths are byte strings and
// the bytes are kept.
std::string FromSystemText(std::string_view text);

// The system's own text for error in the language of an ISO 639 code ("ru"), where
// the system keeps one in that language; empty otherwise. Windows keeps its messages in
// the languages installed; elsewhere error.message() is all there is.
std::string SystemErrorText(const std::error_code& error, std::string_view language);

}  // namespace kelvory::platform
