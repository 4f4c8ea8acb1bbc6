// The progress line on standard error while a solve runs.
#ifndef ZORMIX_CLI_PROGRESS_H_
#define ZORMIX_CLI_PROGRESS_H_

#include <chrono>
#include <cstdio>
#include <string>

#include "zormix/solve.h"

namespace zormix::cli {

// Redraws one line in place, at most five times a second (and at every change of stage). A disabled
// display draws nothing.
class ProgressDisplay {
 public:
  ProgressDisplay(bool enabled, std::FILE* out) : enabled_(enabled), out_(out) {}
  ~ProgressDisplay() { Finish(); }

  void Update(const Progress& progress);
  // Erases the line.
  void Finish();

  // The text of the line for progress at elapsed seconds since tracking began.
  static std::string Format(const Progress& progress, double trackingSeconds);

 private:
  using Clock = std::chrono::steady_clock;
  bool enabled_;
  std::FILE* out_;
  bool drawn_ = false;
  bool tracking_ = false;
  Stage lastStage_ = Stage::kReading;
  Clock::time_point lastDraw_;
  Clock::time_point trackingStart_;
};

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_PROGRESS_H_
