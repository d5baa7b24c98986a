#include "filelist/FileList.h"

#include <stdexcept>

#include "filelist/ListFile.h"

namespace kelvory {

FileList::FileList(QObject* parent) : QObject(parent) {}

int FileList::RowCount() const { return static_cast<int>(model_.Rows().size()); }

const std::string& FileList::Caption(int row) const {
  return model_.Rows().at(static_cast<std::size_t>(row)).caption;
}

bool FileList::Checked(int row) const { return model_.Rows().at(static_cast<std::size_t>(row)).checked; }

void FileList::SetChecked(int row, bool checked) { model_.SetChecked(row, checked); }

StatusImage FileList::Status(int row) const { return model_.Rows().at(static_cast<std::size_t>(row)).status; }

void FileList::SetStatus(int row, StatusImage status) { model_.SetStatus(row, status); }

const std::string& FileList::Reason(int row) const { return model_.Rows().at(static_cast<std::size_t>(row)).reason; }

void FileList::SetReason(int row, const std::string& reason) { model_.SetReason(row, reason); }

bool FileList::Stopped(int row) const { return model_.Rows().at(static_cast<std::size_t>(row)).stopped; }

void FileList::SetStopped(int row, bool stopped) { model_.SetStopped(row, stopped); }

int FileList::Progress(int row) const { return model_.Rows().at(static_cast<std::size_t>(row)).progress; }

void FileList::SetProgress(int row, int percent) { model_.SetProgress(row, percent); }

int FileList::FindRow(const std::string& path) const {
  const auto found = rowOf_.find(path);
  return found == rowOf_.end() ? -1 : found->second;
}

void FileList::AddFiles(const std::vector<std::string>& paths) {
  std::vector<FileListRow> added;
  bool changed = false;
  for (const auto& path : paths) {
    const auto [entry, isNew] = rowOf_.try_emplace(path, RowCount() + static_cast<int>(added.size()));
    if (isNew) {
      added.push_back({path, true, StatusNone, {}});
      ++selectedCount_;
      changed = true;
    } else if (entry->second < RowCount() && !Checked(entry->second)) {
      ++selectedCount_;
      model_.SetChecked(entry->second, true);
      changed = true;
    }
  }
  model_.Append(std::move(added));
  if (changed) emit CountersChanged();
}

int FileList::CheckUnsuccessful() {
  int checked = 0;
  for (int row = 0; row < RowCount(); ++row) {
    const StatusImage status = Status(row);
    if (Checked(row) || (status != StatusFailed && status != StatusNotFound)) continue;
    model_.SetChecked(row, true);
    ++checked;
  }
  selectedCount_ += checked;
  if (checked > 0) emit CountersChanged();
  return checked;
}

void FileList::DeleteRow(int row) {
  if (row < 0 || row >= RowCount()) return;
  if (Checked(row)) --selectedCount_;
  rowOf_.erase(Caption(row));
  model_.Remove(row);
  for (auto& entry : rowOf_) {
    if (entry.second > row) --entry.second;
  }
  emit CountersChanged();
}

void FileList::Clear() {
  model_.RemoveAll();
  rowOf_.clear();
  selectedCount_ = 0;
  emit CountersChanged();
}

void FileList::LoadFrom(const std::string& listFile) {
  const auto lines = ReadListFile(listFile);
  Clear();
  AppendLoadedLines(lines);
}

void FileList::AppendLoadedLines(const std::vector<std::string>& lines) {
  std::vector<FileListRow> added;
  for (const auto& line : lines) {
    if (line.empty()) continue;
    if (!rowOf_.try_emplace(line, RowCount() + static_cast<int>(added.size())).second) continue;
    added.push_back({line, true, StatusNone, {}});
    ++selectedCount_;
  }
  if (added.empty()) return;
  model_.Append(std::move(added));
  emit CountersChanged();
}

void FileList::SaveTo(const std::string& listFile) const {
  std::vector<std::string> captions;
  captions.reserve(model_.Rows().size());
  for (const auto& row : model_.Rows()) captions.push_back(row.caption);
  WriteListFile(listFile, captions);
}

void FileList::CheckBoxToggled(int row, bool building) {
  if (row < 0 || row >= RowCount()) return;
  if (building) {
    model_.SetChecked(row, !Checked(row));
  } else {
    selectedCount_ += Checked(row) ? 1 : -1;
  }
  emit SelectionPanelChanged();
}

std::string FileList::FilesPanelText() const { return "Файлов в списке: " + std::to_string(RowCount()); }

std::string FileList::SelectedPanelText() const { return "Выбрано: " + std::to_string(selectedCount_); }

}  // namespace kelvory
