#pragma once
// A build run from the window. It steps the build from whatever event loop runs, so
// the build goes on under any dialog; it takes the build's row events into the file
// list; and it shows the whole build's progress: a bar under the Build button and a
// line at the foot of the list's place, which the list gives up while the build runs,
// then the line that says how the build went.
#include <QElapsedTimer>
#include <QObject>
#include <QRect>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pyramids/BuildEvents.h"
#include "pyramids/BuildRequest.h"
#include "pyramids/BuildSummary.h"
#include "pyramids/WorkEstimate.h"

class QEventLoop;
class QLabel;
class QProgressBar;
class QTimer;
class QWidget;

namespace kelvory {

class BuildRun;
class BuildSummaryLine;
class FileList;
class FileListView;
class StopSignal;

class WindowBuild final : public QObject, public BuildEvents {
  Q_OBJECT

 public:
  // The progress controls are made in client; listPlace is where the list lies
  // when no line takes the foot of it. stopSignal may be null.
  WindowBuild(FileList& files, FileListView& list, QRect listPlace, QWidget& client, StopSignal* stopSignal,
              QObject* parent);
  // A build still running ends here: its tools are stopped, its copies removed.
  ~WindowBuild() override;

  // From Begin to End: the window is building.
  bool Active() const { return active_; }
  // Shows the progress of a build of the list's rows, whose files are sources.
  void Begin(std::vector<int> listRows, const std::vector<std::string>& sources);
  // Runs the build begun and returns once it is over: Finished is told first, as soon
  // as the build ends, even under a dialog that still holds this call.
  void Run(BuildRequest request);
  // The progress gone; the summary, when it tells of any row, in the line's place.
  void End(const BuildSummary& summary);

  // The user asked the running build to stop; the line says so until it has.
  void AskStop();
  bool StopAsked() const { return stopAsked_; }
  // The window was asked to close and waits for the build: the line says so.
  void AskClose();
  // Whether a close was asked, forgetting it.
  bool TakeCloseRequest();

  // BuildEvents: the running build's rows, by their place in its request.
  void RowStarted(int row) override;
  void RowProgress(int row, int percent) override;
  void RowSettled(const RowReport& report) override;
  bool StopRequested() override;

 signals:
  // A row failed in a way the build did not foresee.
  void UnexpectedFailure();
  // The build is over, with what became of its rows.
  void Finished(const BuildSummary& summary);

 private:
  void CreateProgress(QWidget& client);
  void Step();
  void UpdateProgress();
  // The list back to its whole place, the summary line gone.
  void HideSummary();
  double Elapsed() const;

  FileList& files_;
  FileListView& list_;
  const QRect listPlace_;
  StopSignal* stopSignal_;
  QProgressBar* bar_ = nullptr;
  QLabel* line_ = nullptr;
  BuildSummaryLine* summary_ = nullptr;
  QTimer* progressTimer_ = nullptr;
  QTimer* stepTimer_ = nullptr;

  bool active_ = false;
  bool stopAsked_ = false;
  bool closeAsked_ = false;
  // The running build, the list rows of its rows, and the loop Run waits in.
  std::unique_ptr<BuildRun> run_;
  std::vector<int> listRows_;
  QEventLoop* loop_ = nullptr;
  bool stepping_ = false;
  QElapsedTimer clock_;
  // How much of the running build's work is done, weighed by the files' sizes.
  std::optional<WorkEstimate> estimate_;
};

}  // namespace kelvory
