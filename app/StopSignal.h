#pragma once
// SIGTERM and SIGHUP (logout, shutdown) as a safe stop instead of a sudden death: a
// running build stops its tools and removes its working copies, then the window closes.
#include <QObject>

#include <csignal>

#include "platform/UniqueFd.h"

class QSocketNotifier;

namespace kelvory {

class StopSignal final : public QObject {
  Q_OBJECT

 public:
  // Catches both signals from now on, except one ignored when it is made. One object
  // at a time: the signal handler can only reach state of the whole process.
  explicit StopSignal(QObject* parent = nullptr);
  // Gives both signals back the handling they had before.
  ~StopSignal() override;
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  // True once either signal has come; cheap enough to ask between any two steps.
  bool Requested() const;

 signals:
  // Emitted from the event loop after a signal came.
  void Raised();

 private:
  void Drain();

  platform::UniqueFd FWakeRead;
  platform::UniqueFd FWakeWrite;
  QSocketNotifier* FNotifier = nullptr;
  struct sigaction FOldTerm {};
  struct sigaction FOldHangUp {};
};

}  // namespace kelvory
