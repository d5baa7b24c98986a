#include "app/StopSignal.h"

#include <QGuiApplication>
#include <QSessionManager>

namespace kelvory {

// A window program gets no console events: logout and shutdown come as the session's
// end, which Qt passes on as a request to commit data. The system ends the program
// soon after that; what the build has not cleaned up by then, the next build does
// (its working copies are orphans then), and the job object ends the tools with it.
struct StopSignal::Watch {
  bool requested = false;
};

StopSignal::StopSignal(QObject* parent) : QObject(parent), FWatch(std::make_unique<Watch>()) {
  connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
    FWatch->requested = true;
    emit Raised();
  }, Qt::DirectConnection);
}

StopSignal::~StopSignal() = default;

bool StopSignal::Requested() const { return FWatch->requested; }

}  // namespace kelvory
