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

  // The row's tool started, elapsedSeconds into the build.
  void RowStarted(int row, double elapsedSeconds);
  void RowProgress(int row, int percent);
  // The same, told elapsedSeconds into the build: the row's own pace is then taken
  // from when its percentage changed, not from when it is asked.
  void RowProgress(int row, int percent, double elapsedSeconds);
  void RowSettled(int row);
  // The same, told elapsedSeconds into the build: the row's time counts toward the pace
  // of one slot.
  void RowSettled(int row, double elapsedSeconds);

  int Settled() const { return settled_; }
  int Total() const { return static_cast<int>(rows_.size()); }
  // The part of the work done, 0 to 1.
  double Fraction() const;
  // Seconds still to go at the pace so far, or none while too little is done to tell.
  std::optional<double> SecondsLeft(double elapsedSeconds) const;
  // The same, steadied for a person to read, asked for as time goes on: it counts down
  // between news and follows the pace by degrees, and it is never less than what a
  // running row needs at its own pace (the last big file runs alone, at one file's
  // pace), and a big file still waiting will run alone at the end.
  std::optional<double> SteadySecondsLeft(double elapsedSeconds);

 private:
  struct Row {
    double weight = 1;
    double done = 0;  // 0 to 1
    bool reported = false;
    bool settled = false;
    double started = -1;  // seconds into the build; -1: not told
    double progressAt = -1;  // when done last changed; -1: not told
    double finished = -1;    // when settled; -1: not told
  };
  // One slot's pace: work done per second of a row running; 0 while unknown.
  double SlotPace(double elapsedSeconds) const;
  // What a running row still needs: at its own pace once it has one, else at one
  // slot's; and the longest of them, or 0.
  double RunningRowLeft(const Row& row, double elapsedSeconds, double slotPace) const;
  double LongestRunningRowLeft(double elapsedSeconds) const;
  // When the rows left are done if the slots take them in their order, each at one
  // slot's pace: a big file left for last runs alone at the end.
  double ScheduledSecondsLeft(double elapsedSeconds, double slotPace) const;

  std::vector<Row> rows_;
  int settled_ = 0;
  std::optional<double> steady_;
  double steadyAt_ = 0;
  // The sums over the rows that count, kept step by step: a progress line redrawn at
  // every settled row of a hundred thousand must not add them all up each time.
  double total_ = 0;
  double done_ = 0;
  // Rows whose tools run now, and the most that ran at once: the build's slots.
  int running_ = 0;
  int peakRunning_ = 0;
};

}  // namespace kelvory
