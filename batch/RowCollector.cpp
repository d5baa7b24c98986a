#include "batch/RowCollector.h"

#include <unordered_set>

#include "platform/Paths.h"

namespace kelvory {
namespace {

// A relative line names a file beside the list, wherever the command runs.
std::string FromListFolder(const std::string& listFile, const std::string& line) {
  const auto slash = platform::LastSeparator(listFile);
  if (line.empty() || platform::IsAbsolutePath(line) || slash == std::string::npos) return line;
  return listFile.substr(0, slash + 1) + line;
}

// The folders between folder and the file's name, without separators at either end.
std::string SubfolderBelow(const std::string& folder, const std::string& file) {
  std::size_t start = folder.size();
  while (start < file.size() && platform::IsSeparator(file[start])) ++start;
  const auto lastSlash = platform::LastSeparator(file);
  if (lastSlash == std::string::npos || lastSlash <= start) return {};
  return file.substr(start, lastSlash - start);
}

}  // namespace

std::vector<BatchRow> CollectBatchRows(const std::vector<BatchSource>& sources, const ListReader& readList,
                                       const FolderLister& listFolder) {
  std::vector<BatchRow> rows;
  std::unordered_set<std::string> seen;
  auto add = [&](const std::string& path, std::string subfolder, std::error_code unreadable = {}) {
    if (path.empty() || !seen.insert(path).second) return;
    rows.push_back({path, std::move(subfolder), unreadable});
  };
  for (const BatchSource& source : sources) {
    if (source.kind == BatchSource::Kind::ListFile) {
      for (const std::string& line : readList(source.value)) add(FromListFolder(source.value, line), {});
      continue;
    }
    const std::optional<FolderFiles> found = listFolder ? listFolder(source.value) : std::nullopt;
    if (!found) {
      add(source.value, {});
      continue;
    }
    for (const std::string_view path : found->files) {
      const std::string file(path);
      add(file, SubfolderBelow(source.value, file));
    }
    for (const UnreadablePath& part : found->unreadable) add(part.path, {}, part.error);
  }
  return rows;
}

}  // namespace kelvory
