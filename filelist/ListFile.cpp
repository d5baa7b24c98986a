#include "filelist/ListFile.h"

#include "platform/Errors.h"
#include "platform/FileStream.h"
#include "platform/ReplaceFile.h"
#include "platform/SystemText.h"

namespace kelvory {

void ForEachListLine(std::string_view text, const std::function<void(std::string_view line)>& take) {
  text = text.substr(0, text.find('\0'));
  // Editors on some systems start a UTF-8 text with a byte-order mark; it is no part
  // of the first path.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::size_t pos = 0;
  while (pos < text.size()) {
    // A plain loop: find_first_of looks each byte up in the set of two, a call a byte.
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    take(text.substr(pos, end - pos));
    if (end == text.size()) break;
    pos = end + 1;
    if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  }
}

std::string ReadListText(const std::string& path) {
  std::error_code error;
  auto stream = platform::FileStream::Open(path, error);
  if (!stream) throw EFOpenError(path, error);
  // All of it or nothing: a read that ends early would silently shorten the list.
  std::string text(static_cast<std::size_t>(stream->Size()), '\0');
  if (stream->Read(text.data(), text.size()) != text.size()) {
    throw EFOpenError(path, std::make_error_code(std::errc::io_error));
  }
  return text;
}

// Lists written by other programs may hold paths in the system's own encoding; the
// ones written here hold UTF-8, which every path can be written in.
std::string PathOfListLine(std::string_view line) { return platform::FromSystemText(line); }

std::vector<std::string> ReadListFile(const std::string& path) {
  std::vector<std::string> lines;
  ForEachListLine(ReadListText(path), [&lines](std::string_view line) { lines.push_back(PathOfListLine(line)); });
  return lines;
}

void AppendListLine(std::string& text, std::string_view caption) {
  text += caption;
  text += "\r\n";
}

void WriteListText(const std::string& path, const std::string& text) {
  const std::error_code error = platform::ReplaceFileContents(path, text);
  if (error) throw EFCreateError(path, error);
}

}  // namespace kelvory
