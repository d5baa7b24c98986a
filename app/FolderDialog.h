#pragma once
// The destination-folder dialog, behind an interface so that tests can answer it.
#include <QString>
#include <optional>

class QWidget;

namespace kelvory {

class FolderDialog {
 public:
  virtual ~FolderDialog() = default;
  // The chosen folder, or nothing when the user cancels.
  virtual std::optional<QString> ChooseFolder(QWidget* owner, const QString& prompt) = 0;
};

// Directories only, with the platform's folder dialog.
class QtFolderDialog : public FolderDialog {
 public:
  std::optional<QString> ChooseFolder(QWidget* owner, const QString& prompt) override;
};

}  // namespace kelvory
