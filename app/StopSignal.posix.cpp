#include "app/StopSignal.h"

#include <QSocketNotifier>

namespace kelvory {

StopSignal::StopSignal(QObject* parent) : QObject(parent) {
  if (FSignals.WakeFd() < 0) return;
  FNotifier = new QSocketNotifier(FSignals.WakeFd(), QSocketNotifier::Read, this);
  connect(FNotifier, &QSocketNotifier::activated, this, [this] {
    FSignals.Drain();
    emit Raised();
  });
}

StopSignal::~StopSignal() {
  delete FNotifier;  // before the descriptor it watches is closed
}

}  // namespace kelvory
