#pragma once
// What a build needs of the window that runs it. The main window implements it with
// its list and controls, the batch command with a console, and the tests with plain
// vectors. Everything is called on the one thread that runs the build.
#include <string>

#include "pyramids/BuildOptions.h"
#include "pyramids/StatusImage.h"
#include "pyramids/ToolCommand.h"

namespace kelvory {

class BuildHost {
 public:
  virtual ~BuildHost() = default;

  // The list rows. Captions are paths as bytes. Setting a check mark from here must
  // not run the check-box click handling.
  virtual int RowCount() const = 0;
  virtual std::string RowCaption(int row) const = 0;
  virtual bool RowChecked(int row) const = 0;
  virtual void SetRowChecked(int row, bool checked) = 0;
  virtual void SetRowStatus(int row, StatusImage status) = 0;

  // Window state.
  virtual std::string DestFolder() const = 0;
  virtual bool HasDestFolder() const = 0;
  virtual int SelectedCount() const = 0;
  virtual void SetSelectedCount(int count) = 0;
  virtual void SetBuilding(bool building) = 0;

  // Controls the build changes.
  virtual void SetSelectionPanelText(const std::string& text) = 0;
  virtual void SetBuildButtonEnabled(bool enabled) = 0;
  virtual void SetBuildButtonCaption(const std::string& caption) = 0;
  virtual void SetGroupBoxEnabled(bool enabled) = 0;
  virtual void SetWindowCaption(const std::string& caption) = 0;

  // A plain message box; returns when the user has closed it.
  virtual void ShowMessage(const std::string& text) = 0;
  // Handles every pending window event, then returns.
  virtual void ProcessMessages() = 0;

  // The folder of the program, with a trailing separator; the tool lies in
  // "gdal/gdaladdo" below it.
  virtual std::string ProgramFolder() const = 0;
  // How many tool processes may run at once.
  virtual int SlotCount() const = 0;

  // Told once for every row the build settles (1 done, 2 failed, 3 not found), with
  // the reason of a failure when one is known. The window shows only the status.
  virtual void RowSettled(int /*row*/, StatusImage /*status*/, const std::string& /*reason*/) {}
  // A running row's tool has got this far (0 to 100), as the tool itself reports it.
  virtual void RowProgress(int /*row*/, int /*percent*/) {}
  // Asked between steps: when true, no new job starts and running tools are stopped.
  virtual bool StopRequested() const { return false; }
  // How files are read and levels resampled; read once when a build starts.
  virtual BuildOptions Options() const { return {}; }

  // The folder a row's copy goes to when there is a destination folder: the
  // destination itself, unless the host keeps rows in subfolders of it (created as
  // needed).
  virtual std::string RowDestinationFolder(int /*row*/) const { return DestFolder(); }
  // The tool's absolute path; read once when a build starts.
  virtual std::string ToolPath() const { return ProgramFolder() + ToolRelativePath; }
  // Told just before RowSettled for a row whose file another process had claimed: the
  // file was left untouched and the row settles as failed with kBusyReason.
  virtual void RowBusy(int /*row*/) {}
  // Told just before RowSettled for a row whose file was read: its overview levels
  // (reduced images) before the build and after it.
  virtual void RowLevels(int /*row*/, int /*before*/, int /*after*/) {}
};

}  // namespace kelvory
