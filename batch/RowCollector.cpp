#include "batch/RowCollector.h"

#include <unordered_set>

namespace kelvory {

std::vector<std::string> CollectRows(const std::vector<BatchSource>& sources,
                                     const ListReader& readList) {
  std::vector<std::string> rows;
  std::unordered_set<std::string> seen;
  auto add = [&](const std::string& path) {
    if (path.empty() || !seen.insert(path).second) return;
    rows.push_back(path);
  };
  for (const BatchSource& source : sources) {
    if (source.kind == BatchSource::Kind::Path) {
      add(source.value);
    } else {
      for (const std::string& line : readList(source.value)) add(line);
    }
  }
  return rows;
}

}  // namespace kelvory
