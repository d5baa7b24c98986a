#include "pyramids/WorkEstimate.h"

#include <algorithm>
#include <functional>
#include <queue>

#include "platform/Files.h"

namespace kelvory {
namespace {

// An estimate from the first seconds or the first per cent is mostly noise.
constexpr double MinSecondsForEstimate = 2.0;
constexpr double MinFractionForEstimate = 0.01;
// A row's own pace is told once it has done this much.
constexpr double MinRowFractionForPace = 0.05;
// How slowly the steadied time left follows the pace: over a few seconds at the start,
// over a share of the time so far later on.
constexpr double MinSteadySeconds = 2.0;
constexpr double SteadyShare = 0.1;

}  // namespace

WorkEstimate::WorkEstimate(std::vector<double> weights) {
  rows_.reserve(weights.size());
  for (const double weight : weights) {
    rows_.push_back({std::max(weight, 1.0), 0, false, false, -1, -1, -1});
    total_ += rows_.back().weight;
  }
}

WorkEstimate WorkEstimate::ForFiles(const std::vector<std::string>& paths) {
  std::vector<double> sizes;
  sizes.reserve(paths.size());
  for (const std::string& path : paths) {
    std::error_code error;
    const platform::FileStamp stamp = platform::StampOf(path, error);
    sizes.push_back(error ? 1.0 : static_cast<double>(stamp.Size));
  }
  return WorkEstimate(std::move(sizes));
}

void WorkEstimate::RowStarted(int row, double elapsedSeconds) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
  Row& changed = rows_[static_cast<std::size_t>(row)];
  if (changed.started < 0 && !changed.settled) peakRunning_ = std::max(peakRunning_, ++running_);
  changed.started = elapsedSeconds;
}

void WorkEstimate::RowProgress(int row, int percent) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
  Row& changed = rows_[static_cast<std::size_t>(row)];
  if (changed.settled) return;
  changed.reported = true;
  const double done = std::clamp(percent / 100.0, 0.0, 1.0);
  done_ += changed.weight * (done - changed.done);
  changed.done = done;
}

void WorkEstimate::RowProgress(int row, int percent, double elapsedSeconds) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
  const double before = rows_[static_cast<std::size_t>(row)].done;
  RowProgress(row, percent);
  Row& changed = rows_[static_cast<std::size_t>(row)];
  if (changed.done != before || changed.progressAt < 0) changed.progressAt = elapsedSeconds;
}

void WorkEstimate::RowSettled(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
  Row& changed = rows_[static_cast<std::size_t>(row)];
  if (changed.settled) return;
  changed.settled = true;
  if (changed.started >= 0) --running_;
  if (changed.reported) {
    done_ += changed.weight * (1 - changed.done);
  } else {
    total_ -= changed.weight;
  }
  changed.done = 1;
  ++settled_;
}

void WorkEstimate::RowSettled(int row, double elapsedSeconds) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
  if (!rows_[static_cast<std::size_t>(row)].settled) rows_[static_cast<std::size_t>(row)].finished = elapsedSeconds;
  RowSettled(row);
}

double WorkEstimate::Fraction() const {
  // Files weigh whole bytes, so their total stays exact however often it changes.
  if (total_ <= 0) return settled_ == Total() ? 1.0 : 0.0;
  return std::clamp(done_ / total_, 0.0, 1.0);
}

std::optional<double> WorkEstimate::SecondsLeft(double elapsedSeconds) const {
  if (settled_ == Total()) return 0.0;
  const double fraction = Fraction();
  if (elapsedSeconds < MinSecondsForEstimate || fraction < MinFractionForEstimate) return std::nullopt;
  return elapsedSeconds * (1.0 - fraction) / fraction;
}

double WorkEstimate::SlotPace(double elapsedSeconds) const {
  // The work done by rows whose times are known over those times.
  double work = 0;
  double seconds = 0;
  for (const Row& row : rows_) {
    if (row.started < 0 || !row.reported) continue;
    work += row.weight * row.done;
    // A running row's work done is that of when its percentage was reached.
    const double until = row.settled ? row.finished : row.progressAt >= row.started ? row.progressAt : elapsedSeconds;
    seconds += until - row.started;
  }
  return seconds >= MinSecondsForEstimate && work > 0 ? work / seconds : 0;
}

double WorkEstimate::RunningRowLeft(const Row& row, double elapsedSeconds, double slotPace) const {
  if (row.done >= MinRowFractionForPace) {
    // Its own pace once it has one; a percentage comes in steps: the pace is that of
    // the moment it was reached.
    const double at = row.progressAt >= row.started ? row.progressAt : elapsedSeconds;
    return std::max((at - row.started) * (1.0 - row.done) / row.done - (elapsedSeconds - at), 0.0);
  }
  // A file's work runs on one slot however many others are free.
  return slotPace > 0 ? row.weight * (1.0 - row.done) / slotPace : 0;
}

double WorkEstimate::LongestRunningRowLeft(double elapsedSeconds) const {
  const double slotPace = SlotPace(elapsedSeconds);
  double longest = 0;
  for (const Row& row : rows_) {
    if (row.settled || row.started < 0) continue;
    longest = std::max(longest, RunningRowLeft(row, elapsedSeconds, slotPace));
  }
  return longest;
}

double WorkEstimate::ScheduledSecondsLeft(double elapsedSeconds, double slotPace) const {
  // When each slot comes free: the running rows' work left, the idle slots now.
  std::priority_queue<double, std::vector<double>, std::greater<>> freeAt;
  for (const Row& row : rows_) {
    if (!row.settled && row.started >= 0) freeAt.push(RunningRowLeft(row, elapsedSeconds, slotPace));
  }
  while (static_cast<int>(freeAt.size()) < std::max(peakRunning_, 1)) freeAt.push(0);
  // The waiting rows start in their order, each on the first slot to come free.
  for (const Row& row : rows_) {
    if (row.settled || row.started >= 0) continue;
    const double start = freeAt.top();
    freeAt.pop();
    freeAt.push(start + row.weight / slotPace);
  }
  double end = 0;
  for (; !freeAt.empty(); freeAt.pop()) end = std::max(end, freeAt.top());
  return end;
}

std::optional<double> WorkEstimate::SteadySecondsLeft(double elapsedSeconds) {
  std::optional<double> pace = SecondsLeft(elapsedSeconds);
  if (pace && *pace > 0) {
    if (const double slotPace = SlotPace(elapsedSeconds); slotPace > 0) {
      pace = ScheduledSecondsLeft(elapsedSeconds, slotPace);
    } else {
      pace = std::max(*pace, LongestRunningRowLeft(elapsedSeconds));
    }
  }
  if (!pace || *pace <= 0 || !steady_) {
    steady_ = pace;
    steadyAt_ = elapsedSeconds;
    return steady_;
  }
  // Between two looks the time left runs down as the clock does; the news of the pace
  // then moves it part of the way, the more the longer the gap, the less the longer
  // the build has run (its pace is better known).
  const double gap = std::max(elapsedSeconds - steadyAt_, 0.0);
  const double settling = std::max(MinSteadySeconds, SteadyShare * elapsedSeconds);
  const double counted = std::max(*steady_ - gap, 0.0);
  steady_ = counted + (*pace - counted) * gap / (gap + settling);
  steadyAt_ = elapsedSeconds;
  return steady_;
}

}  // namespace kelvory
