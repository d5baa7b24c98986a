#include "app/StopSignal.h"

#include <QSocketNotifier>

#include "platform/StopSignals.h"

namespace kelvory {

// SIGTERM and SIGHUP (logout, shutdown).
struct StopSignal::Watch {
  platform::StopSignals stopSignals{false};
  std::unique_ptr<QSocketNotifier> notifier;  // goes before the descriptor it watches
};

StopSignal::StopSignal(QObject* parent) : QObject(parent), FWatch(std::make_unique<Watch>()) {
  if (FWatch->stopSignals.WakeFd() < 0) return;
  FWatch->notifier = std::make_unique<QSocketNotifier>(FWatch->stopSignals.WakeFd(), QSocketNotifier::Read);
  connect(FWatch->notifier.get(), &QSocketNotifier::activated, this, [this] {
    FWatch->stopSignals.Drain();
    emit Raised();
  });
}

StopSignal::~StopSignal() = default;

bool StopSignal::Requested() const { return FWatch->stopSignals.Requested(); }

}  // namespace kelvory
