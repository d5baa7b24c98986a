#include "app/MenuBarKeys.h"

#include <QKeyEvent>
#include <QMenuBar>
#include <QTimer>

namespace kelvory {
namespace {

// The bar's first or last menu, the ones from which a step goes off its end.
QAction* EndMenu(const QMenuBar& bar, bool last) {
  const QList<QAction*> actions = bar.actions();
  for (qsizetype i = 0; i < actions.size(); ++i) {
    QAction* action = actions[last ? actions.size() - 1 - i : i];
    if (action->isVisible() && !action->isSeparator()) return action;
  }
  return nullptr;
}

}  // namespace

MenuBarKeys::MenuBarKeys(QMenuBar& main, QMenuBar& corner) : QObject(&main), main_(main), corner_(corner) {
  main_.installEventFilter(this);
  corner_.installEventFilter(this);
}

bool MenuBarKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (key != Qt::Key_Left && key != Qt::Key_Right) return QObject::eventFilter(watched, event);
  QMenuBar* from = watched == &main_ ? &main_ : watched == &corner_ ? &corner_ : nullptr;
  if (from == nullptr || from->activeAction() == nullptr) return QObject::eventFilter(watched, event);
  // Off the main bar's right end (or its left end, round the other way) into the "?"
  // menu, and from there back.
  QMenuBar* to = nullptr;
  QAction* target = nullptr;
  if (from == &main_ && from->activeAction() == EndMenu(main_, key == Qt::Key_Right)) {
    to = &corner_;
    target = EndMenu(corner_, key != Qt::Key_Right);
  } else if (from == &corner_) {
    to = &main_;
    target = EndMenu(main_, key == Qt::Key_Left);
  }
  if (to == nullptr || target == nullptr) return QObject::eventFilter(watched, event);
  // The open menu that sent the key is closed first, once its handler is over.
  QTimer::singleShot(0, to, [from, to, target] {
    from->setActiveAction(nullptr);
    to->setActiveAction(target);
  });
  return true;
}

}  // namespace kelvory
