#include "pyramids/WorkEstimate.h"

#include <algorithm>

#include "platform/Files.h"

namespace kelvory {
namespace {

// An estimate from the first seconds or the first per cent is mostly noise.
constexpr double MinSecondsForEstimate = 2.0;
constexpr double MinFractionForEstimate = 0.01;

}  // namespace

WorkEstimate::WorkEstimate(std::vector<double> weights) {
  rows_.reserve(weights.size());
  for (const double weight : weights) {
    rows_.push_back({std::max(weight, 1.0), 0, false, false});
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

void WorkEstimate::RowProgress(int row, int percent) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
  Row& changed = rows_[static_cast<std::size_t>(row)];
  if (changed.settled) return;
  changed.reported = true;
  const double done = std::clamp(percent / 100.0, 0.0, 1.0);
  done_ += changed.weight * (done - changed.done);
  changed.done = done;
}

void WorkEstimate::RowSettled(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
  Row& changed = rows_[static_cast<std::size_t>(row)];
  if (changed.settled) return;
  changed.settled = true;
  if (changed.reported) {
    done_ += changed.weight * (1 - changed.done);
  } else {
    total_ -= changed.weight;
  }
  changed.done = 1;
  ++settled_;
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

}  // namespace kelvory
