#pragma once
// The About box: created once, hidden, shown modally with exec() whenever asked.
#include <QDialog>

#include "app/Shell.h"

class QLabel;
class QPushButton;

namespace kelvory {

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  // The close box ends the dialog with this result; OK, Enter and Escape give Accepted.
  static constexpr int kCancelResult = 2;

  explicit TAboutBox(QWidget* parent = nullptr, UrlOpener opener = ShellOpen);

  QPushButton* OKButton;
  QLabel* Image1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void Image1Click();

  UrlOpener FOpener;
};

}  // namespace kelvory
