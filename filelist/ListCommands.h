#pragma once
// The bodies of the list's five command buttons. Errors (EFOpenError, EFCreateError)
// propagate to the caller, which reports them.
#include <string>
#include <vector>

#include "filelist/FileList.h"
#include "filelist/ListDialogs.h"

namespace kelvory {

// Adds the chosen files whose names are TIFF names (a name may be typed in the dialog);
// returns the choice when it held none, for the caller to say so, else nothing.
std::vector<std::string> AddCommand(FileList& list, ListDialogs& dialogs);
// selectedRow is -1 when no row is selected.
void DeleteCommand(FileList& list, int selectedRow);
void ClearCommand(FileList& list);
void LoadCommand(FileList& list, ListDialogs& dialogs);
void SaveCommand(const FileList& list, ListDialogs& dialogs);

}  // namespace kelvory
