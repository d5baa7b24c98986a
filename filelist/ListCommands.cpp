#include "filelist/ListCommands.h"

#include <algorithm>
#include <iterator>

#include "filelist/FolderWalk.h"

namespace kelvory {

std::vector<std::string> AddCommand(FileList& list, ListDialogs& dialogs) {
  const auto paths = dialogs.ChooseFilesToAdd();
  if (!paths) return {};
  std::vector<std::string> tiffs;
  std::copy_if(paths->begin(), paths->end(), std::back_inserter(tiffs), HasTiffExtension);
  if (tiffs.empty()) return *paths;
  list.AddFiles(tiffs);
  return {};
}

void DeleteCommand(FileList& list, int selectedRow) { list.DeleteRow(selectedRow); }

void ClearCommand(FileList& list) { list.Clear(); }

void LoadCommand(FileList& list, ListDialogs& dialogs) {
  if (const auto path = dialogs.ChooseListToLoad()) list.LoadFrom(*path);
}

void SaveCommand(const FileList& list, ListDialogs& dialogs) {
  if (const auto path = dialogs.ChooseListToSave()) list.SaveTo(*path);
}

}  // namespace kelvory
