#pragma once
// The window menu's own entries. X11 window managers take no entries from programs, so
// the window offers them in a context menu and posts this event to the application,
// where the application-wide filter of the main window picks it up.
#include <QEvent>

namespace kelvory {

enum SystemCommandId : int {
  kSystemCommandHelp = 100,
  kSystemCommandAbout = 101,
};

class SystemCommandEvent : public QEvent {
 public:
  explicit SystemCommandEvent(int command);

  static QEvent::Type EventType();
  int Command() const { return FCommand; }

 private:
  int FCommand;
};

// Posts the command to the application's queue; it is handled after the current event.
void PostSystemCommand(int command);

}  // namespace kelvory
