#include "app/FolderDialog.h"

#include <QFileDialog>

namespace kelvory {

std::optional<QString> QtFolderDialog::ChooseFolder(QWidget* owner, const QString& prompt) {
  const QString folder = QFileDialog::getExistingDirectory(owner, prompt);
  if (folder.isEmpty()) return std::nullopt;
  return folder;
}

}  // namespace kelvory
