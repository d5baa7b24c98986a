#pragma once
// The list commands' questions answered with Qt file dialogs. Paths come back as the
// file system's bytes.
#include <QString>

#include <memory>

#include "filelist/ListDialogs.h"

class QFileDialog;
class QWidget;

namespace kelvory {

class QtListDialogs final : public ListDialogs {
 public:
  explicit QtListDialogs(QWidget* parent);
  ~QtListDialogs() override;

  // Several existing TIFF files; reopens on the first file of the previous choice.
  std::optional<std::vector<std::string>> ChooseFilesToAdd() override;
  // One text file; its existence is not checked here (reading reports it).
  std::optional<std::string> ChooseListToLoad() override;
  // One text file; "txt" is added to a bare name, an existing file is replaced
  // without asking.
  std::optional<std::string> ChooseListToSave() override;

  // The dialogs as they are set up, shown by the methods above; tests answer them.
  std::unique_ptr<QFileDialog> MakeAddDialog() const;
  std::unique_ptr<QFileDialog> MakeLoadDialog() const;
  std::unique_ptr<QFileDialog> MakeSaveDialog() const;

 private:
  QWidget* parent_;
  QString previousFirstFile_;
};

}  // namespace kelvory
