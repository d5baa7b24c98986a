#include "filelist/FileListModel.h"

#include <algorithm>
#include <stdexcept>

#include "filelist/PathText.h"

namespace kelvory {

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(shown_);
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || index.row() >= rowCount()) return {};
  const Row& row = rows_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return PathQString(Caption(index.row()));
    case Qt::ToolTipRole: {
      const std::string& reason = reasons_.Text(row.reason);
      return reason.empty() ? PathQString(Caption(index.row()))
                            : PathQString(Caption(index.row())) + '\n' + PathQString(reason);
    }
    case Qt::CheckStateRole:
      return row.checked ? Qt::Checked : Qt::Unchecked;
    case StatusRole:
      return static_cast<int>(row.status);
    case ReasonRole:
      return PathQString(reasons_.Text(row.reason));
    case ProgressRole:
      return static_cast<int>(row.progress);
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

std::string_view FileListModel::Caption(int row) const {
  const Row& item = RowAt(row);
  return std::string_view(captions_).substr(item.captionAt, item.captionSize);
}

const FileListModel::Row& FileListModel::RowAt(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) throw std::out_of_range("file list row");
  return rows_[static_cast<std::size_t>(row)];
}

FileListModel::Row& FileListModel::RowAt(int row) {
  return const_cast<Row&>(static_cast<const FileListModel*>(this)->RowAt(row));
}

namespace {

// Room for needed elements: exactly that for a first fill, else at least half as much
// again, so that adding a few rows at a time stays cheap.
template <typename Buffer>
void MakeRoom(Buffer& buffer, std::size_t needed) {
  if (needed <= buffer.capacity()) return;
  buffer.reserve(buffer.empty() ? needed : std::max(needed, buffer.capacity() + buffer.capacity() / 2));
}

}  // namespace

void FileListModel::Reserve(std::size_t rows, std::size_t bytes) {
  MakeRoom(rows_, rows_.size() + rows);
  MakeRoom(captions_, captions_.size() + bytes);
}

void FileListModel::Stage(std::string_view caption) {
  Row row;
  row.captionAt = captions_.size();
  row.captionSize = static_cast<std::uint32_t>(caption.size());
  captions_.append(caption);
  rows_.push_back(row);
}

void FileListModel::ShowStaged() {
  if (shown_ == rows_.size()) return;
  beginInsertRows(QModelIndex(), static_cast<int>(shown_), static_cast<int>(rows_.size()) - 1);
  shown_ = rows_.size();
  endInsertRows();
}

void FileListModel::Remove(int row) {
  const Row removed = RowAt(row);
  beginRemoveRows(QModelIndex(), row, row);
  reasons_.Release(removed.reason);
  rows_.erase(rows_.begin() + row);
  --shown_;
  removedBytes_ += removed.captionSize;
  // Once most of the buffer is removed captions, the others are packed anew.
  if (removedBytes_ > 4096 && removedBytes_ * 2 > captions_.size()) {
    std::string packed;
    packed.reserve(captions_.size() - removedBytes_);
    for (Row& item : rows_) {
      const std::uint64_t at = packed.size();
      packed.append(captions_, item.captionAt, item.captionSize);
      item.captionAt = at;
    }
    captions_.swap(packed);
    removedBytes_ = 0;
  }
  endRemoveRows();
}

void FileListModel::RemoveAll() {
  beginResetModel();
  // The memory goes back at once, not at the next append.
  std::string().swap(captions_);
  std::vector<Row>().swap(rows_);
  removedBytes_ = 0;
  shown_ = 0;
  reasons_.Clear();
  endResetModel();
}

void FileListModel::SetChecked(int row, bool checked) {
  Row& item = RowAt(row);
  if (item.checked == checked) return;
  item.checked = checked;
  const QModelIndex at = index(row);
  emit dataChanged(at, at, {Qt::CheckStateRole});
}

void FileListModel::SetStatus(int row, StatusImage status) {
  Row& item = RowAt(row);
  if (status == StatusInProgress) {
    SetReason(row, {});
    SetStopped(row, false);
  }
  // A new run starts from nothing, a settled one has no percentage.
  SetProgress(row, -1);
  if (item.status == status) return;
  item.status = static_cast<std::int8_t>(status);
  const QModelIndex at = index(row);
  emit dataChanged(at, at, {StatusRole});
}

void FileListModel::SetProgress(int row, int percent) {
  Row& item = RowAt(row);
  if (item.progress == percent) return;
  item.progress = static_cast<std::int8_t>(percent);
  const QModelIndex at = index(row);
  emit dataChanged(at, at, {ProgressRole});
}

void FileListModel::SetStopped(int row, bool stopped) {
  Row& item = RowAt(row);
  if (item.stopped == stopped) return;
  item.stopped = stopped;
  const QModelIndex at = index(row);
  emit dataChanged(at, at, {StoppedRole});
}

void FileListModel::SetReason(int row, std::string_view reason) {
  Row& item = RowAt(row);
  if (reasons_.Text(item.reason) == reason) return;
  // Taken before the old one is let go: reason may be the old text itself.
  const std::uint32_t id = reasons_.Acquire(reason);
  reasons_.Release(item.reason);
  item.reason = id;
  const QModelIndex at = index(row);
  emit dataChanged(at, at, {ReasonRole, Qt::ToolTipRole});
}

}  // namespace kelvory
