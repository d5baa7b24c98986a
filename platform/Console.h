#pragma once
// The standard streams as a console program sees them.
#include <cstdio>
#include <string_view>
#include <system_error>

namespace kelvory::platform {

enum class StandardStream { Output, Error };

// True when the stream goes to a terminal rather than a file or a pipe: only a person
// watching wants a progress line redrawn in place.
bool IsTerminal(StandardStream stream);

// How many characters a line of the terminal the stream goes to holds; 0 when it is
// not a terminal or does not say.
int TerminalColumns(StandardStream stream);

// Writes UTF-8 text to a standard stream. A Windows console gets it as Unicode, which
// shows every letter whatever the console's code page, and there the code that erases
// the rest of a line ("\033[K") is carried out, not printed: not every Windows console
// reads such codes. Elsewhere the bytes go as they are.
void WriteText(std::FILE* stream, std::string_view text);

// A reader of the output that goes away (a pipe into head) makes later writes fail
// instead of ending the process: a build cut short that way would leave its tools
// running and their working copies behind.
std::error_code IgnoreBrokenPipe();

}  // namespace kelvory::platform
