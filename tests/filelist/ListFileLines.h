#pragma once
// A list file's text as whole lines, and a list file written from captions: the
// program reads and writes line by line, a test compares whole lists.
#include <string>
#include <string_view>
#include <vector>

#include "filelist/ListFile.h"

namespace kelvory::test {

inline std::vector<std::string> SplitListLines(std::string_view text) {
  std::vector<std::string> lines;
  ForEachListLine(text, [&lines](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

inline void WriteListFile(const std::string& path, const std::vector<std::string>& captions) {
  std::string text;
  for (const auto& caption : captions) AppendListLine(text, caption);
  WriteListText(path, text);
}

}  // namespace kelvory::test
