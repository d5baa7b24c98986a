#pragma once
// The checklist of TIFF paths: its rows, the check-mark counter shown after
// "Выбрано: " and the two status-bar texts. The counter is kept step by step by every
// operation that changes a check mark and never recounted from the rows.
#include <QObject>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "filelist/CaptionIndex.h"
#include "filelist/FileListModel.h"
#include "filelist/PathList.h"
#include "filelist/StatusImage.h"

namespace kelvory {

class FileList final : public QObject {
  Q_OBJECT

 public:
  explicit FileList(QObject* parent = nullptr);

  // The rows, read here (a row's caption, check mark, status, reason); the view shows
  // them. Every change goes through this list, which keeps its index and counter.
  FileListModel& Model() { return model_; }
  const FileListModel& Model() const { return model_; }

  // Rows out of range throw std::out_of_range.
  // From code: the counter is not touched (the caller keeps it).
  void SetChecked(int row, bool checked);
  // Marking a row in progress (StatusInProgress) also forgets its reason and stop.
  void SetStatus(int row, StatusImage status);
  // Why the last build settled the row as it did, in words to show (the row's tool
  // tip).
  void SetReason(int row, std::string_view reason);
  // The running tool's percentage for the row; settling the row clears it.
  void SetProgress(int row, int percent);
  // A build settled the row: its picture, whether it was stopped, and why. The row
  // leaves the selection, counted out whatever its check mark was.
  void Settle(int row, StatusImage status, bool stopped, std::string_view reason);
  // The row whose caption equals path byte for byte, or -1.
  int FindRow(const std::string& path) const;

  int SelectedCount() const { return selectedCount_; }
  // Sets the counter without touching the panels, as a list an earlier session left.
  void SetSelectedCount(int count) { selectedCount_ = count; }

  // Appends each path not listed yet as a checked row without status; a listed but
  // unchecked path gets its check mark back. Listed checked paths change nothing.
  void AddFiles(const std::vector<std::string>& paths);
  // The same for the files a folder walk found.
  void AddFound(const PathList& paths);
  // Checks every unchecked row that the last build failed or did not find, so that
  // the next build tries them again; returns how many. The counters follow once.
  int CheckUnsuccessful();
  // Removes the row; -1 (no selection) does nothing.
  void DeleteRow(int row);
  void Clear();
  // Reads the list file, then replaces the rows by its lines. A file that cannot be
  // read throws EFOpenError and leaves the list as it was. Only the file's text and the
  // rows are held on the way, never a string per line.
  void LoadFrom(const std::string& listFile);
  // Writes all captions in list order. Throws EFCreateError.
  void SaveTo(const std::string& listFile) const;

  // To be called after the view itself toggled the row's check box: during a build
  // the toggle is undone, otherwise the counter follows it.
  void CheckBoxToggled(int row, bool building);

  std::string FilesPanelText() const;     // "Файлов в списке: N"
  std::string SelectedPanelText() const;  // "Выбрано: N"

 signals:
  // Both panels (row count and counter) must be rewritten.
  void CountersChanged();
  // Only the counter's panel must be rewritten.
  void SelectionPanelChanged();

 private:
  // Stages path as a new checked row unless it is listed or staged already: the row
  // that has it, or -1 when it is new.
  int StageNew(std::string_view path);
  // Shows the staged rows, if any, and says that the counters changed; false when none.
  bool ShowStaged();
  // AddFiles for count paths, the bytes of all of them together given.
  void AddEach(std::size_t count, std::size_t bytes, const std::function<std::string_view(std::size_t)>& pathAt);

  FileListModel model_;
  // So that Add and Load find listed paths without a scan.
  CaptionIndex index_{[this](int row) { return model_.Caption(row); }};
  int selectedCount_ = 0;
};

}  // namespace kelvory
