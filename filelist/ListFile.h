#pragma once
// The list file: plain text, one path per line, paths kept as bytes.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvory {

// Hands take every line of text in turn: a line ends at CR LF, a lone CR or a lone LF,
// a last line without an end still counts, and the text ends at the first NUL. A
// UTF-8 byte-order mark at the start is dropped; lines are otherwise kept as they
// are (empty ones included, no trimming).
void ForEachListLine(std::string_view text, const std::function<void(std::string_view line)>& take);

// The whole file's text, opened while others may read but not write it. Throws
// EFOpenError when the file cannot be opened, or read to its end.
std::string ReadListText(const std::string& path);
// A line of a list file as the path it names, as platform::FromSystemText gives it.
std::string PathOfListLine(std::string_view line);

// Reads the whole file (ReadListText) and splits it into lines, each as PathOfListLine
// gives it.
std::vector<std::string> ReadListFile(const std::string& path);

// Appends caption to a list file's text: every caption is followed by CR LF, so an
// empty list gives an empty file.
void AppendListLine(std::string& text, std::string_view caption);
// Writes text as the list file. The new contents go to a new file in the same folder
// that then replaces the old one, so a failure leaves an existing file as it was.
// Throws EFCreateError.
void WriteListText(const std::string& path, const std::string& text);

}  // namespace kelvory
