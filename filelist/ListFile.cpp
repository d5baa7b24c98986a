#include "filelist/ListFile.h"

#include "platform/Errors.h"
#include "platform/FileStream.h"
#include "platform/ReplaceFile.h"
#include "platform/SystemText.h"

namespace kelvory {

std::vector<std::string> SplitListLines(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  // Editors on some systems start a UTF-8 text with a byte-order mark; it is no part
  // of the first path.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(pos));
      break;
    }
    lines.emplace_back(text.substr(pos, end - pos));
    pos = end + 1;
    if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  }
  return lines;
}

std::vector<std::string> ReadListFile(const std::string& path) {
  std::error_code error;
  auto stream = platform::FileStream::Open(path, error);
  if (!stream) throw EFOpenError(path, error);
  // All of it or nothing: a read that ends early would silently shorten the list.
  std::string text(static_cast<std::size_t>(stream->Size()), '\0');
  if (stream->Read(text.data(), text.size()) != text.size()) {
    throw EFOpenError(path, std::make_error_code(std::errc::io_error));
  }
  // Lists written by other programs may hold paths in the system's own encoding; the
  // ones written here hold UTF-8, which every path can be written in.
  std::vector<std::string> lines = SplitListLines(text);
  for (auto& line : lines) line = platform::FromSystemText(line);
  return lines;
}

void WriteListFile(const std::string& path, const std::vector<std::string>& captions) {
  std::string text;
  std::size_t size = 0;
  for (const auto& caption : captions) size += caption.size() + 2;
  text.reserve(size);
  for (const auto& caption : captions) {
    text += caption;
    text += "\r\n";
  }
  const std::error_code error = platform::ReplaceFileContents(path, text);
  if (error) throw EFCreateError(path, error);
}

}  // namespace kelvory
