// One path of a homotopy: its state, the predictor-corrector steps and the path loop.
#ifndef ZORMIX_TRACKER_PATH_STATE_H_
#define ZORMIX_TRACKER_PATH_STATE_H_

#include <cstdint>
#include <span>
#include <vector>

#include "model/system_eval.h"
#include "tracker/homotopy.h"
#include "zormix/types.h"

namespace zormix {

// Why a path stopped before the target. Step-size underflow and the step limit are failures of the
// tracking itself (a more careful re-track may get through); the end game's verdicts (diverging,
// singular end) are outcomes of the path.
enum class PathFailure : std::uint8_t {
  kNone,
  kStepUnderflow,
  kStepLimit,
  kDiverged,
  kSingularEnd
};

// The status of a path that stopped for `failure`; a path that reached the target without a
// failure and still was not recorded was refused there.
PathStatus StatusOfUnrecorded(PathFailure failure);

// Everything one path changes. s is the path parameter: s = ln t on the polyhedral route, t itself
// on the total-degree route. Preallocated once per worker and reused for every path, so a step
// allocates nothing.
struct PathState {
  explicit PathState(int n);

  int n;
  std::vector<Complex> y;            // current point
  double s = 0.0;                    // current parameter
  double h = 0.0;                    // stepSize: the step to take next
  double hl = 0.0;                   // lastStep: the last accepted step
  double eps = 0.0;                  // tolerance of the corrector
  double correctionLimit = 0.1;      // relative size allowed for the first correction
  std::vector<Complex> yPrev, yCur;  // last two accepted points, at s - hl and s
  std::vector<Complex> vPrev, vCur;  // tangents dy/ds there
  ColMajorMatrix<Complex> J;         // from the latest evaluation
  std::vector<Complex> H, Hs;        // residual and dH/ds of the latest evaluation
  std::vector<Complex> w;            // residual last accepted by the corrector
  int finalStep = 0, successCount = 0, rejected = 0, atEnd = 0, failed = 0;
  PathFailure failure = PathFailure::kNone;  // the first cause that set `failed`
  std::int32_t steps = 0;
  std::vector<std::uint8_t> watch;  // coordinates still examined by the end game

  // Scratch of the procedures below.
  ColMajorMatrix<Complex> Jwork, Jc;
  std::vector<Complex> d, yOld, yPred, yB, yc, Hc, Hsc, y0, yBest;
  EvaluationWorkspace targetWorkspace;  // AcceptAtTarget's evaluations of the target
  std::vector<Complex> yCheck;          // the point at PathLimits::checkpoint, when hasCheck
  bool hasCheck = false;
  std::vector<Complex> yPolished;  // root reached by PolishNearTarget, when hasPolished
  bool hasPolished = false;
  // Set from PathLimits::polishNearTarget: CheckEndGame defers "tends to infinity" while
  // |y| <= divergenceFactor n and sets divergenceDeferred instead (see tracker/end_polish.h).
  bool deferDivergence = false;
  bool divergenceDeferred = false;
  PathFailure deferredVerdict = PathFailure::kDiverged;  // the end game's verdict when deferred
};

// The homotopy of the path, how its route differs, and the target system for AcceptAtTarget.
struct PathContext {
  Homotopy* homotopy = nullptr;
  const RouteConstants* route = &kPolyhedralRoute;
  PathLimits limits;
  SystemView target;  // scaled coefficients
  std::span<const std::int32_t> maxDegree;
};

// Remaining distance to the end of the path: -s, or 1 - t.
inline double Distance(const PathState& st, const RouteConstants& route) {
  return route.target - st.s;
}

// Marks the path failed; the first cause is kept.
inline void Fail(PathState& st, PathFailure cause) {
  st.failed = 1;
  if (st.failure == PathFailure::kNone) st.failure = cause;
}

// 1e-7 sqrt(max(1, |J|_1) max(1, |y|)).
double ToleranceAt(const ColMajorMatrix<Complex>& J, const std::vector<Complex>& y);
// kRoundingFloorFactor u max(1, |J|_1) max(1, |y|): a residual the rounding of its own evaluation
// can reach, u being the unit roundoff.
double RoundingFloorAt(const ColMajorMatrix<Complex>& J, const std::vector<Complex>& y);

// Newton at fixed s until the residual is below 1e-7, stops decreasing, or 100 iterations pass.
void CorrectStartPoint(PathState& st, Homotopy& homotopy);
// The first accepted step along the start tangent, halving on failure (failed when h < 1e-16).
void FirstStep(PathState& st, const PathContext& ctx);
// Cubic Hermite extrapolation to s + h, or below a step of tangentBelow the tangent at the last
// accepted point; then evaluation there.
void PredictHermite(PathState& st, Homotopy& homotopy, double tangentBelow = 0.0);
// Newton correction of the predicted point, or rejection with a halved step. Adds 1 to
// blowUpCount when the step underflows 1e-10 while still far from the target.
void CorrectNewton(PathState& st, const PathContext& ctx, std::int64_t& blowUpCount);
// Counts the accepted step, chooses the next step and tolerance, shifts the history.
void ControlStep(PathState& st, const RouteConstants& route);
// Gives up paths that diverge or end at a singular point, close to the target.
void CheckEndGame(PathState& st, const RouteConstants& route);
// Newton refinement on the target at the end of the path; true when the point is accepted.
bool AcceptAtTarget(PathState& st, const SystemView& target,
                    std::span<const std::int32_t> maxDegree);

// Tracks the path from `start` at parameter s0. Returns true when the end point (left in st.y) is
// accepted at the target and finite. st.steps holds the counted steps.
bool TrackPath(PathState& st, const PathContext& ctx, const Complex* start, double s0,
               std::int64_t& blowUpCount);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_PATH_STATE_H_
