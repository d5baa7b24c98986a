#pragma once
// The rows of the file list as an item model for the list view. The model is changed
// only through FileList, which keeps its caption index and counter in step with it.
// A row takes 24 bytes and its caption's bytes: captions lie back to back in one
// buffer and reasons are shared, so that a million rows load and clear at once.
#include <QAbstractListModel>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filelist/SharedTexts.h"
#include "filelist/StatusImage.h"

namespace kelvory {

class FileList;

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

  // Rows out of range throw std::out_of_range.
  // The path as bytes; valid until rows are added or removed.
  std::string_view Caption(int row) const;
  bool Checked(int row) const { return RowAt(row).checked; }
  StatusImage Status(int row) const { return static_cast<StatusImage>(RowAt(row).status); }
  // Why the last build settled the row as it did, in words to show; empty when not known.
  const std::string& Reason(int row) const { return reasons_.Text(RowAt(row).reason); }
  // The last build was stopped before the row was done.
  bool Stopped(int row) const { return RowAt(row).stopped; }
  // How far the tool has got with the row, 0 to 100, while it runs; -1 otherwise.
  int Progress(int row) const { return RowAt(row).progress; }

 private:
  friend class FileList;

  struct Row {
    std::uint64_t captionAt = 0;
    std::uint32_t captionSize = 0;
    std::uint32_t reason = SharedTexts::kEmpty;
    bool checked = true;
    std::int8_t status = StatusNone;
    bool stopped = false;
    std::int8_t progress = -1;
  };

  const Row& RowAt(int row) const;
  Row& RowAt(int row);

  // Room for rows more rows with bytes of captions in all.
  void Reserve(std::size_t rows, std::size_t bytes);
  // Stages a checked row without status; the view sees the staged rows once they are
  // shown. The caption is readable at once, by row number.
  void Stage(std::string_view caption);
  int StagedCount() const { return static_cast<int>(rows_.size() - shown_); }
  void ShowStaged();
  void Remove(int row);
  void RemoveAll();
  void SetChecked(int row, bool checked);
  // Marking a row in progress forgets the reason of an earlier build.
  void SetStatus(int row, StatusImage status);
  void SetReason(int row, std::string_view reason);
  void SetStopped(int row, bool stopped);
  void SetProgress(int row, int percent);

  // Every row's caption, back to back; the bytes of removed rows until it is packed.
  std::string captions_;
  std::size_t removedBytes_ = 0;
  std::vector<Row> rows_;
  // The rows the view knows of; the others are staged.
  std::size_t shown_ = 0;
  SharedTexts reasons_;
};

}  // namespace kelvory
