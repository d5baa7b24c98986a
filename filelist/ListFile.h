#pragma once
// The list file: plain text, one path per line, paths kept as bytes.
#include <string>
#include <string_view>
#include <vector>

namespace kelvory {

// Splits text into lines: a line ends at CR LF, a lone CR or a lone LF, a last line
// without an end still counts, and the text ends at the first NUL. Lines are kept as
// they are (empty ones included, no trimming, no byte-order mark handling).
std::vector<std::string> SplitListLines(std::string_view text);

// Reads the whole file, opened while others may read but not write it, and splits it
// into lines, each as platform::FromSystemText gives it. Throws EFOpenError when the
// file cannot be opened.
std::vector<std::string> ReadListFile(const std::string& path);

// Writes every caption followed by CR LF; an empty list gives an empty file. The new
// contents go to a new file in the same folder that then replaces the old one, so a
// failure leaves an existing file as it was. Throws EFCreateError.
void WriteListFile(const std::string& path, const std::vector<std::string>& captions);

}  // namespace kelvory
