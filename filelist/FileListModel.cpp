#include "filelist/FileListModel.h"

#include "filelist/PathText.h"

namespace kelvory {

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || index.row() >= rowCount()) return {};
  const FileListRow& row = rows_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return PathQString(row.caption);
    case Qt::ToolTipRole:
      return row.reason.empty() ? PathQString(row.caption) : PathQString(row.caption) + '\n' + PathQString(row.reason);
    case Qt::CheckStateRole:
      return row.checked ? Qt::Checked : Qt::Unchecked;
    case StatusRole:
      return static_cast<int>(row.status);
    case ReasonRole:
      return PathQString(row.reason);
    case ProgressRole:
      return row.progress;
    case StoppedRole:
      return row.stopped;
    default:
      return {};
  }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  // Not user-checkable: the view toggles check boxes itself, on the press.
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void FileListModel::Append(std::vector<FileListRow> rows) {
  if (rows.empty()) return;
  const int first = rowCount();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
  if (rows_.empty()) {
    rows_ = std::move(rows);
  } else {
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
  }
  endInsertRows();
}

void FileListModel::Remove(int row) {
  beginRemoveRows(QModelIndex(), row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

void FileListModel::RemoveAll() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

void FileListModel::SetChecked(int row, bool checked) {
  auto& item = rows_.at(static_cast<std::size_t>(row));
  if (item.checked == checked) return;
  item.checked = checked;
  const QModelIndex at = index(row);
  emit dataChanged(at, at, {Qt::CheckStateRole});
}

void FileListModel::SetStatus(int row, StatusImage status) {
  auto& item = rows_.at(static_cast<std::size_t>(row));
  if (status == StatusInProgress) {
    SetReason(row, {});
    SetStopped(row, false);
  }
  // A new run starts from nothing, a settled one has no percentage.
  SetProgress(row, -1);
  if (item.status == status) return;
  item.status = status;
  const QModelIndex at = index(row);
  emit dataChanged(at, at, {StatusRole});
}

void FileListModel::SetProgress(int row, int percent) {
  auto& item = rows_.at(static_cast<std::size_t>(row));
  if (item.progress == percent) return;
  item.progress = percent;
  const QModelIndex at = index(row);
  emit dataChanged(at, at, {ProgressRole});
}

void FileListModel::SetStopped(int row, bool stopped) {
  auto& item = rows_.at(static_cast<std::size_t>(row));
  if (item.stopped == stopped) return;
  item.stopped = stopped;
  const QModelIndex at = index(row);
  emit dataChanged(at, at, {StoppedRole});
}

void FileListModel::SetReason(int row, std::string reason) {
  auto& item = rows_.at(static_cast<std::size_t>(row));
  if (item.reason == reason) return;
  item.reason = std::move(reason);
  const QModelIndex at = index(row);
  emit dataChanged(at, at, {ReasonRole, Qt::ToolTipRole});
}

}  // namespace kelvory
