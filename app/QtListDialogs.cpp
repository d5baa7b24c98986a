#include "app/QtListDialogs.h"

#include <QFileDialog>
#include <QFileInfo>

#include "app/WindowText.h"
#include "filelist/PathText.h"

namespace kelvory {
namespace {

QString TiffFilter() { return QCoreApplication::translate("Kelvory", "TIFF-файлы (*.tif *.tiff)"); }
QString TextFilter() { return QCoreApplication::translate("Kelvory", "Текстовые файлы (*.txt)"); }

std::string Bytes(const QString& path) { return PathBytes(path); }

// The dialog's single chosen file, or nothing when it was cancelled.
std::optional<std::string> ChosenFile(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return Bytes(files.first());
}

}  // namespace

QtListDialogs::QtListDialogs(QWidget* parent) : parent_(parent) {}

QtListDialogs::~QtListDialogs() = default;

std::unique_ptr<QFileDialog> QtListDialogs::MakeAddDialog() const {
  auto dialog = std::make_unique<QFileDialog>(parent_);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFiles);
  dialog->setNameFilter(TiffFilter());
  if (!previousFirstFile_.isEmpty()) {
    const QFileInfo previous(previousFirstFile_);
    dialog->setDirectory(previous.absolutePath());
    dialog->selectFile(previous.fileName());
  }
  return dialog;
}

std::unique_ptr<QFileDialog> QtListDialogs::MakeLoadDialog() const {
  auto dialog = std::make_unique<QFileDialog>(parent_);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  // A name that does not exist is let through; reading it then reports why.
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setNameFilter(TextFilter());
  return dialog;
}

std::unique_ptr<QFileDialog> QtListDialogs::MakeSaveDialog() const {
  auto dialog = std::make_unique<QFileDialog>(parent_);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setNameFilter(TextFilter());
  dialog->setDefaultSuffix(QStringLiteral("txt"));
  dialog->setOption(QFileDialog::DontConfirmOverwrite);
  return dialog;
}

std::optional<std::vector<std::string>> QtListDialogs::ChooseFilesToAdd() {
  const auto dialog = MakeAddDialog();
  if (dialog->exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog->selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  previousFirstFile_ = files.first();
  std::vector<std::string> paths;
  paths.reserve(static_cast<std::size_t>(files.size()));
  for (const QString& file : files) paths.push_back(Bytes(file));
  return paths;
}

std::optional<std::string> QtListDialogs::ChooseListToLoad() { return ChosenFile(*MakeLoadDialog()); }

std::optional<std::string> QtListDialogs::ChooseListToSave() { return ChosenFile(*MakeSaveDialog()); }

}  // namespace kelvory
