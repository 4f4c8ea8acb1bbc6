// The progress line on standard error while a solve runs.
#ifndef ZORMIX_FRONTEND_PROGRESS_H_
#define ZORMIX_FRONTEND_PROGRESS_H_

#include <chrono>
#include <cstdio>
#include <string>

#include "zormix/solve.h"

namespace zormix::frontend {

// How progress is shown: not at all, one line redrawn in place at most five times a second (for a
// terminal), or one line per second and per stage (for logs, when standard error is not a
// terminal). Every mode shows a change of stage at once.
enum class ProgressMode { kOff, kRedraw, kLines };

class ProgressDisplay {
 public:
  ProgressDisplay(ProgressMode mode, std::FILE* out)
      : enabled_(mode != ProgressMode::kOff), lines_(mode == ProgressMode::kLines), out_(out) {}
  ~ProgressDisplay() { Finish(); }

  void Update(const Progress& progress);
  // Erases the line.
  void Finish();
  // Writes a line of its own (the line being redrawn is erased first and drawn again later).
  void Note(const std::string& text);

 private:
  using Clock = std::chrono::steady_clock;
  bool enabled_;
  bool lines_;
  std::FILE* out_;
  bool drawn_ = false;
  bool tracking_ = false;
  Stage lastStage_ = Stage::kReading;
  Clock::time_point lastDraw_;
  Clock::time_point trackingStart_;
};

}  // namespace zormix::frontend

#endif  // ZORMIX_FRONTEND_PROGRESS_H_
