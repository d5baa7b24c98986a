#pragma once
// The keyboard walks on from the menu bar's last menu to the "?" menu, which lives in a
// bar of its own at the right end, and back: Right from "Параметры" (or from one of its
// items that opens nothing) opens "?", Left or Right there opens "Параметры" again.
#include <QObject>

class QMenuBar;

namespace kelvory {

class MenuBarKeys final : public QObject {
  Q_OBJECT

 public:
  MenuBarKeys(QMenuBar& main, QMenuBar& corner);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QMenuBar& main_;
  QMenuBar& corner_;
};

}  // namespace kelvory
