#include "filelist/ListCommands.h"

namespace kelvory {

void AddCommand(FileList& list, ListDialogs& dialogs) {
  if (const auto paths = dialogs.ChooseFilesToAdd()) list.AddFiles(*paths);
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
