#pragma once
// SIGTERM and SIGHUP (logout, shutdown) as a safe stop instead of a sudden death: a
// running build stops its tools and removes its working copies, then the window closes.
#include <QObject>

#include "platform/StopSignals.h"

class QSocketNotifier;

namespace kelvory {

class StopSignal final : public QObject {
  Q_OBJECT

 public:
  explicit StopSignal(QObject* parent = nullptr);
  ~StopSignal() override;
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  // True once either signal has come; cheap enough to ask between any two steps.
  bool Requested() const { return FSignals.Requested(); }

 signals:
  // Emitted from the event loop after a signal came.
  void Raised();

 private:
  platform::StopSignals FSignals{false};
  QSocketNotifier* FNotifier = nullptr;
};

}  // namespace kelvory
