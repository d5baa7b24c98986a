#pragma once
// JSON text for the --json output lines.
#include <string>
#include <string_view>

namespace kelvory {

// bytes as a JSON string, quotes included. Valid UTF-8 is kept as it is; quotes,
// backslashes and control characters are escaped; every byte that is not part of
// valid UTF-8 becomes \udcXX (XX its value), the "surrogate escape" that Python's
// os.fsencode turns back into the same byte, and that no valid text can contain.
std::string JsonString(std::string_view bytes);

}  // namespace kelvory
