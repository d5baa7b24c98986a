#pragma once
// The system's requests to end the program (termination, logout, shutdown) as a safe
// stop instead of a sudden death: a running build stops its tools and removes its
// working copies, then the window closes.
#include <QObject>

#include <memory>

namespace kelvory {

class StopSignal final : public QObject {
  Q_OBJECT

 public:
  explicit StopSignal(QObject* parent = nullptr);
  ~StopSignal() override;
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  // True once a request has come; cheap enough to ask between any two steps.
  bool Requested() const;

 signals:
  // Emitted from the event loop after a request came.
  void Raised();

 private:
  // How the requests reach the program differs from one system to the next.
  struct Watch;
  std::unique_ptr<Watch> FWatch;
};

}  // namespace kelvory
