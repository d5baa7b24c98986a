#include "app/SystemCommand.h"

#include <QCoreApplication>

namespace kelvory {

SystemCommandEvent::SystemCommandEvent(int command) : QEvent(EventType()), FCommand(command) {}

QEvent::Type SystemCommandEvent::EventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void PostSystemCommand(int command) {
  QCoreApplication::postEvent(QCoreApplication::instance(), new SystemCommandEvent(command));
}

}  // namespace kelvory
