#include "app/WindowBuild.h"

#include <QAbstractItemModel>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QTimer>

#include <utility>

#include "app/BuildProgress.h"
#include "app/BuildSummaryLine.h"
#include "app/FileListView.h"
#include "app/LayoutFont.h"
#include "app/ReasonText.h"
#include "app/StopSignal.h"
#include "app/WindowText.h"
#include "filelist/FileList.h"
#include "pyramids/BuildRun.h"

namespace kelvory {
namespace {

// How often a running build is stepped from the window's event loop.
constexpr int kBuildStepMs = 20;
// The height of the progress line at the foot of the list's place.
constexpr int kProgressLineHeight = 18;

const char kStopHint[] = QT_TRANSLATE_NOOP("Kelvory", "Остановить построение: Ctrl+. или Ctrl+Break");

QFont ProgressFont() { return LayoutFont(QStringLiteral("DejaVu Sans"), 10); }

StatusImage PictureOf(Outcome result) {
  switch (result) {
    case Outcome::Done:
    case Outcome::UpToDate: return StatusDone;
    case Outcome::NotFound: return StatusNotFound;
    case Outcome::Kept:
    case Outcome::Failed:
    case Outcome::Busy:
    case Outcome::Stopped: return StatusFailed;
  }
  return StatusFailed;
}

}  // namespace

WindowBuild::WindowBuild(FileList& files, FileListView& list, QRect listPlace, QWidget& client,
                         StopSignal* stopSignal, QObject* parent)
    : QObject(parent), files_(files), list_(list), listPlace_(listPlace), stopSignal_(stopSignal) {
  setObjectName(QStringLiteral("WindowBuild"));
  CreateProgress(client);
  stepTimer_ = new QTimer(this);
  stepTimer_->setInterval(kBuildStepMs);
  connect(stepTimer_, &QTimer::timeout, this, &WindowBuild::Step);
}

WindowBuild::~WindowBuild() {
  // Ended while everything it reports to is still here.
  run_.reset();
}

void WindowBuild::CreateProgress(QWidget& client) {
  // The bar between the Build button and the status bar, room no other control uses;
  // the line at the foot of the list's place, which the list leaves it while a build
  // runs.
  bar_ = new QProgressBar(&client);
  bar_->setObjectName(QStringLiteral("BuildBar"));
  bar_->setGeometry(10, 531, 371, 6);
  bar_->setRange(0, 1000);
  bar_->setTextVisible(false);
  bar_->hide();
  line_ = new QLabel(&client);
  line_->setObjectName(QStringLiteral("BuildProgressLabel"));
  line_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  line_->setFont(ProgressFont());
  line_->setAlignment(Qt::AlignCenter);
  line_->hide();
  summary_ = new BuildSummaryLine(&client);
  summary_->setObjectName(QStringLiteral("BuildSummary1"));
  summary_->setFont(ProgressFont());
  connect(summary_, &BuildSummaryLine::Dismissed, this, &WindowBuild::HideSummary);
  // Rows added or taken away: the counts no longer tell of this list.
  const QAbstractItemModel* rows = list_.model();
  connect(rows, &QAbstractItemModel::rowsInserted, this, &WindowBuild::HideSummary);
  connect(rows, &QAbstractItemModel::rowsRemoved, this, &WindowBuild::HideSummary);
  connect(rows, &QAbstractItemModel::modelReset, this, &WindowBuild::HideSummary);
  progressTimer_ = new QTimer(this);
  progressTimer_->setInterval(1000);
  connect(progressTimer_, &QTimer::timeout, this, &WindowBuild::UpdateProgress);
}

void WindowBuild::Begin(std::vector<int> listRows, const std::vector<std::string>& sources) {
  active_ = true;
  stopAsked_ = false;
  listRows_ = std::move(listRows);
  estimate_ = WorkEstimate::ForFiles(sources);
  summary_->hide();
  clock_.start();
  // The line takes the foot of the list's place, so no row lies under it; a list
  // scrolled to its end stays there, its last row in view.
  QScrollBar* rows = list_.verticalScrollBar();
  const bool atEnd = rows->value() == rows->maximum();
  list_.setGeometry(listPlace_.adjusted(0, 0, 0, -kProgressLineHeight));
  if (atEnd) list_.scrollToBottom();
  line_->setGeometry(listPlace_.left(), list_.geometry().bottom() + 1, listPlace_.width(), kProgressLineHeight);
  UpdateProgress();
  line_->show();
  bar_->show();
  progressTimer_->start();
}

void WindowBuild::Run(BuildRequest request) {
  run_ = std::make_unique<BuildRun>(std::move(request), *this);
  // Stepped from whatever event loop runs, a dialog's too, so the build goes on under
  // any box; this returns once it is over.
  stepTimer_->start();
  QEventLoop loop;
  loop_ = &loop;
  Step();
  if (run_) loop.exec();
  loop_ = nullptr;
}

void WindowBuild::Step() {
  if (!run_ || stepping_) return;
  stepping_ = true;
  const bool more = run_->Step(0);
  stepping_ = false;
  if (more) return;
  stepTimer_->stop();
  const BuildSummary summary = run_->Summary();
  run_.reset();
  emit Finished(summary);
  if (loop_ != nullptr) loop_->quit();
}

void WindowBuild::End(const BuildSummary& summary) {
  active_ = false;
  stopAsked_ = false;
  progressTimer_->stop();
  line_->hide();
  // The summary takes the progress line's place; the list keeps the rest.
  summary_->setGeometry(line_->geometry());
  if (!summary_->ShowSummary(summary)) list_.setGeometry(listPlace_);
  bar_->hide();
}

void WindowBuild::HideSummary() {
  if (active_ || summary_->isHidden()) return;
  summary_->hide();
  list_.setGeometry(listPlace_);
}

void WindowBuild::AskStop() {
  stopAsked_ = true;
  UpdateProgress();
}

void WindowBuild::AskClose() {
  closeAsked_ = true;
  UpdateProgress();
}

bool WindowBuild::TakeCloseRequest() { return std::exchange(closeAsked_, false); }

bool WindowBuild::StopRequested() {
  return stopAsked_ || (stopSignal_ != nullptr && stopSignal_->Requested());
}

double WindowBuild::Elapsed() const { return static_cast<double>(clock_.elapsed()) / 1000.0; }

void WindowBuild::UpdateProgress() {
  if (!active_ || !estimate_) return;
  std::string text = BuildProgressText(*estimate_, Elapsed());
  if (stopAsked_) text += QCoreApplication::translate("Kelvory", " · останавливается").toStdString();
  // A close waits for the build: the line says so in the counts' place (the bar still
  // shows how far it is), until the window closes.
  if (closeAsked_) text = ClosingNoticeText(StopRequested());
  line_->setText(QString::fromStdString(text));
  line_->setToolTip(closeAsked_ ? QString::fromStdString(ClosingNoticeHint()) : Tr(kStopHint));
  bar_->setValue(static_cast<int>(estimate_->Fraction() * 1000));
}

void WindowBuild::RowStarted(int row) {
  files_.SetStatus(listRows_.at(static_cast<std::size_t>(row)), StatusInProgress);
  estimate_->RowStarted(row, Elapsed());
}

void WindowBuild::RowProgress(int row, int percent) {
  files_.SetProgress(listRows_.at(static_cast<std::size_t>(row)), percent);
  estimate_->RowProgress(row, percent, Elapsed());
  UpdateProgress();
}

void WindowBuild::RowSettled(const RowReport& report) {
  // A row built with a remark says it was built, and then the remark.
  const std::string reason = report.Why.Empty() && !report.Note.Empty() ? WindowBuiltNote(report.Note)
                                                                         : WindowReason(report.Why);
  files_.Settle(listRows_.at(static_cast<std::size_t>(report.Row)), PictureOf(report.Result),
                report.Result == Outcome::Stopped, reason);
  estimate_->RowSettled(report.Row, Elapsed());
  UpdateProgress();
  if (report.Why.Code == ReasonCode::Unexpected) emit UnexpectedFailure();
}

}  // namespace kelvory
