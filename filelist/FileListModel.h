#pragma once
// The rows of the file list as an item model for the list view. The model is changed
// only through FileList, which keeps its caption index and counter in step with it.
#include <QAbstractListModel>

#include <string>
#include <vector>

#include "filelist/StatusImage.h"

namespace kelvory {

class FileList;

struct FileListRow {
  std::string caption;  // the path as bytes
  bool checked = true;
  StatusImage status = StatusNone;
  // Why the last build settled the row as it did, in words to show; empty when not known.
  std::string reason;
  // The last build was stopped before the row was done.
  bool stopped = false;
  // How far the tool has got with the row, 0 to 100, while it runs; -1 otherwise.
  int progress = -1;
};

class FileListModel final : public QAbstractListModel {
  Q_OBJECT

 public:
  enum Role {
    // int: the row's StatusImage (-1 to 3).
    StatusRole = Qt::UserRole + 1,
    // QString: why the last build settled the row as it did; empty when not known.
    ReasonRole,
    // int: the running tool's percentage, or -1.
    ProgressRole,
    // bool: the last build was stopped before the row was done.
    StoppedRole,
  };

  explicit FileListModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}

  // DisplayRole: the caption decoded for showing; ToolTipRole: the caption, and on a
  // line of its own the reason when there is one; CheckStateRole: Qt::Checked or
  // Qt::Unchecked; plus the roles above.
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  const std::vector<FileListRow>& Rows() const { return rows_; }

 private:
  friend class FileList;

  void Append(std::vector<FileListRow> rows);
  void Remove(int row);
  void RemoveAll();
  void SetChecked(int row, bool checked);
  // Marking a row in progress forgets the reason of an earlier build.
  void SetStatus(int row, StatusImage status);
  void SetReason(int row, std::string reason);
  void SetStopped(int row, bool stopped);
  void SetProgress(int row, int percent);

  std::vector<FileListRow> rows_;
};

}  // namespace kelvory
