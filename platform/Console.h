#pragma once
// The standard streams as a console program sees them.
#include <system_error>

namespace kelvory::platform {

enum class StandardStream { Output, Error };

// True when the stream goes to a terminal rather than a file or a pipe: only a person
// watching wants a progress line redrawn in place.
bool IsTerminal(StandardStream stream);

// A reader of the output that goes away (a pipe into head) makes later writes fail
// instead of ending the process: a build cut short that way would leave its tools
// running and their working copies behind.
std::error_code IgnoreBrokenPipe();

}  // namespace kelvory::platform
