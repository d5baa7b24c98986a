#pragma once
// How the list commands ask the user for files. The window answers with file dialogs,
// the tests with prepared answers. An empty optional means the user cancelled.
#include <optional>
#include <string>
#include <vector>

namespace kelvory {

class ListDialogs {
 public:
  virtual ~ListDialogs() = default;

  // TIFF files to add, full paths in the order chosen.
  virtual std::optional<std::vector<std::string>> ChooseFilesToAdd() = 0;
  // A list file to read.
  virtual std::optional<std::string> ChooseListToLoad() = 0;
  // A list file to write (created or replaced without asking).
  virtual std::optional<std::string> ChooseListToSave() = 0;
};

}  // namespace kelvory
