#include "frontend/progress.h"

#include "frontend/front_end.h"

namespace zormix::frontend {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
constexpr auto kLineInterval = std::chrono::seconds(1);

}  // namespace

void ProgressDisplay::Update(const Progress& p) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (p.stage == Stage::kTracking && !tracking_) {
    tracking_ = true;
    trackingStart_ = now;
  }
  const bool stageChanged = !drawn_ || p.stage != lastStage_;
  const bool finished = p.stage == Stage::kTracking && p.pathsDone == p.pathsTotal;
  const auto interval = lines_ ? std::chrono::duration_cast<Clock::duration>(kLineInterval)
                               : std::chrono::duration_cast<Clock::duration>(kRedrawInterval);
  if (!stageChanged && !finished && now - lastDraw_ < interval) return;
  const double seconds = std::chrono::duration<double>(now - trackingStart_).count();
  const std::string text = ProgressLine(p, tracking_ ? seconds : 0.0);
  if (lines_) {
    std::fprintf(out_, "%s\n", text.c_str());
  } else {
    std::fprintf(out_, "\r%s\033[K", text.c_str());
  }
  std::fflush(out_);
  drawn_ = true;
  lastStage_ = p.stage;
  lastDraw_ = now;
}

void ProgressDisplay::Note(const std::string& text) {
  Finish();
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
}

void ProgressDisplay::Finish() {
  if (!enabled_ || !drawn_ || lines_) return;
  std::fprintf(out_, "\r\033[K");
  std::fflush(out_);
  drawn_ = false;
}

}  // namespace zormix::frontend
