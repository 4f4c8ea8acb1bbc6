#include "cli/progress.h"

#include <cinttypes>

namespace zormix::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
constexpr auto kLineInterval = std::chrono::seconds(1);

std::string Duration(double seconds) {
  const auto s = static_cast<std::int64_t>(seconds + 0.5);
  char buffer[48];
  if (s >= 3600) {
    std::snprintf(buffer, sizeof buffer, "%" PRId64 ":%02d:%02d", s / 3600,
                  static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
  } else {
    std::snprintf(buffer, sizeof buffer, "%d:%02d", static_cast<int>(s / 60),
                  static_cast<int>(s % 60));
  }
  return buffer;
}

}  // namespace

std::string ProgressDisplay::Format(const Progress& p, double trackingSeconds) {
  std::string line = std::string("zormix: ") + StageName(p.stage);
  if (p.stage != Stage::kTracking || p.pathsTotal <= 0) return line;
  char buffer[160];
  std::snprintf(buffer, sizeof buffer,
                "  %" PRId64 "/%" PRId64 " paths  %" PRId64 " reached  %" PRId64 " failed",
                p.pathsDone, p.pathsTotal, p.pathsReached, p.pathsFailed);
  line += buffer;
  if (trackingSeconds > 0.5 && p.pathsDone > 0) {
    const double rate = static_cast<double>(p.pathsDone) / trackingSeconds;
    const double left = static_cast<double>(p.pathsTotal - p.pathsDone) / rate;
    std::snprintf(buffer, sizeof buffer, "  %.1f paths/s  %s left", rate, Duration(left).c_str());
    line += buffer;
  }
  return line;
}

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
  const std::string text = Format(p, tracking_ ? seconds : 0.0);
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

}  // namespace zormix::cli
