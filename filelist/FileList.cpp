#include "filelist/FileList.h"

#include <QCoreApplication>

#include <stdexcept>

#include "filelist/ListFile.h"

namespace kelvory {

FileList::FileList(QObject* parent) : QObject(parent) {}

void FileList::SetChecked(int row, bool checked) { model_.SetChecked(row, checked); }

void FileList::SetStatus(int row, StatusImage status) { model_.SetStatus(row, status); }

void FileList::SetReason(int row, std::string_view reason) { model_.SetReason(row, reason); }

void FileList::SetProgress(int row, int percent) { model_.SetProgress(row, percent); }

void FileList::Settle(int row, StatusImage status, bool stopped, std::string_view reason) {
  model_.SetStatus(row, status);
  model_.SetChecked(row, false);
  --selectedCount_;
  model_.SetStopped(row, stopped);
  model_.SetReason(row, reason);
  emit SelectionPanelChanged();
}

int FileList::FindRow(const std::string& path) const { return index_.Find(path); }

int FileList::StageNew(std::string_view path) {
  const int listed = index_.FindOrAdd(path, model_.rowCount() + model_.StagedCount());
  if (listed != -1) return listed;
  model_.Stage(path);
  ++selectedCount_;
  return -1;
}

bool FileList::ShowStaged() {
  if (model_.StagedCount() == 0) return false;
  model_.ShowStaged();
  emit CountersChanged();
  return true;
}

void FileList::AddFiles(const std::vector<std::string>& paths) {
  std::size_t bytes = 0;
  for (const auto& path : paths) bytes += path.size();
  AddEach(paths.size(), bytes, [&paths](std::size_t i) -> std::string_view { return paths[i]; });
}

void FileList::AddFound(const PathList& paths) {
  AddEach(paths.size(), paths.Bytes(), [&paths](std::size_t i) { return paths[i]; });
}

void FileList::AddEach(std::size_t count, std::size_t bytes,
                       const std::function<std::string_view(std::size_t)>& pathAt) {
  index_.Reserve(static_cast<std::size_t>(model_.rowCount()) + count);
  model_.Reserve(count, bytes);
  bool rechecked = false;
  for (std::size_t i = 0; i < count; ++i) {
    const int row = StageNew(pathAt(i));
    // A staged row is checked already.
    if (row != -1 && row < model_.rowCount() && !model_.Checked(row)) {
      ++selectedCount_;
      model_.SetChecked(row, true);
      rechecked = true;
    }
  }
  if (!ShowStaged() && rechecked) emit CountersChanged();
}

int FileList::CheckUnsuccessful() {
  int checked = 0;
  for (int row = 0; row < model_.rowCount(); ++row) {
    const StatusImage status = model_.Status(row);
    if (model_.Checked(row) || (status != StatusFailed && status != StatusNotFound)) continue;
    model_.SetChecked(row, true);
    ++checked;
  }
  selectedCount_ += checked;
  if (checked > 0) emit CountersChanged();
  return checked;
}

void FileList::DeleteRow(int row) {
  if (row < 0 || row >= model_.rowCount()) return;
  if (model_.Checked(row)) --selectedCount_;
  index_.Remove(row);
  model_.Remove(row);
  emit CountersChanged();
}

void FileList::Clear() {
  model_.RemoveAll();
  index_.Clear();
  selectedCount_ = 0;
  emit CountersChanged();
}

void FileList::LoadFrom(const std::string& listFile) {
  std::string text = ReadListText(listFile);
  Clear();
  std::size_t lines = 0;
  ForEachListLine(text, [&lines](std::string_view) { ++lines; });
  // Room for every line at once: growing on the way would hold the old rows and the
  // new ones together.
  model_.Reserve(lines, text.size());
  index_.Reserve(lines);
  ForEachListLine(text, [this](std::string_view line) {
    const std::string path = PathOfListLine(line);
    if (!path.empty()) StageNew(path);
  });
  // Gone before the view lays the rows out.
  std::string().swap(text);
  ShowStaged();
}

void FileList::SaveTo(const std::string& listFile) const {
  std::string text;
  text.reserve(model_.captions_.size() + 2 * static_cast<std::size_t>(model_.rowCount()));
  for (int row = 0; row < model_.rowCount(); ++row) AppendListLine(text, model_.Caption(row));
  WriteListText(listFile, text);
}

void FileList::CheckBoxToggled(int row, bool building) {
  if (row < 0 || row >= model_.rowCount()) return;
  if (building) {
    model_.SetChecked(row, !model_.Checked(row));
  } else {
    selectedCount_ += model_.Checked(row) ? 1 : -1;
  }
  emit SelectionPanelChanged();
}

// The status bar's words, in the window's language.
std::string FileList::FilesPanelText() const {
  return QCoreApplication::translate("Kelvory", "Файлов в списке: %1").arg(model_.rowCount()).toStdString();
}

std::string FileList::SelectedPanelText() const {
  return QCoreApplication::translate("Kelvory", "Выбрано: %1").arg(selectedCount_).toStdString();
}

}  // namespace kelvory
