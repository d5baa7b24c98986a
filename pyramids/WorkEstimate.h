#pragma once
// How much of a build's work is done and how long the rest will take. Each row weighs
// as much as its file's bytes, so a big file counts for more than many small ones; a
// running row counts by its tool's percentage; a row that settles without its tool
// having reported anything (nothing to do, refused, not found) cost nothing and
// leaves the sums.
#include <optional>
#include <string>
#include <vector>

namespace kelvory {

class WorkEstimate {
 public:
  // One weight per row of the build's request.
  explicit WorkEstimate(std::vector<double> weights);
  // The files' sizes as weights; a missing or empty file weighs one byte.
  static WorkEstimate ForFiles(const std::vector<std::string>& paths);

  void RowProgress(int row, int percent);
  void RowSettled(int row);

  int Settled() const { return settled_; }
  int Total() const { return static_cast<int>(rows_.size()); }
  // The part of the work done, 0 to 1.
  double Fraction() const;
  // Seconds still to go at the pace so far, or none while too little is done to tell.
  std::optional<double> SecondsLeft(double elapsedSeconds) const;

 private:
  struct Row {
    double weight = 1;
    double done = 0;  // 0 to 1
    bool reported = false;
    bool settled = false;
  };
  std::vector<Row> rows_;
  int settled_ = 0;
  // The sums over the rows that count, kept step by step: a progress line redrawn at
  // every settled row of a hundred thousand must not add them all up each time.
  double total_ = 0;
  double done_ = 0;
};

}  // namespace kelvory
