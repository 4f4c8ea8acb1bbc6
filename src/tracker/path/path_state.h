// One path of a homotopy: its state, the predictor-corrector steps and the path loop.
#ifndef ZORMIX_TRACKER_PATH_PATH_STATE_H_
#define ZORMIX_TRACKER_PATH_PATH_STATE_H_

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "model/system_eval.h"
#include "tracker/endgame/growth_record.h"
#include "tracker/endgame/valuation_history.h"
#include "tracker/homotopy/homotopy.h"
#include "tracker/path/tracker_parameters.h"
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

// Work arrays of the procedures below; no value in them outlives the procedure that wrote it.
struct PathScratch {
  explicit PathScratch(int n);

  ColMajorMatrix<Complex> jacobianCopy;   // the linear solver destroys its matrix
  ColMajorMatrix<Complex> startJacobian;  // FirstStep: the Jacobian at the start point
  std::vector<Complex> correction;        // the latest Newton correction or tangent, J^{-1} rhs
  std::vector<Complex> lastIterate;  // CorrectStartPoint: the point before the last Newton step
  std::vector<Complex> predicted;    // CorrectNewton: the predicted point
  std::vector<Complex> beforeCorrection;  // CorrectNewton: the point before the latest correction
  std::vector<Complex> startPoint;        // FirstStep: the point and its evaluation it starts from
  std::vector<Complex> startResidual;
  std::vector<Complex> startDerivative;
  std::vector<Complex> arrival;           // AcceptAtTarget: the point the path arrived with
  std::vector<Complex> bestIterate;       // AcceptAtTarget: the iterate of the smallest residual
  EvaluationWorkspace targetWorkspace;    // AcceptAtTarget's evaluations of the target
  std::vector<Complex> loopStart;         // the end game: the point a loop starts from
  std::vector<Complex> loopSum;           // the sum of a loop's samples
  std::vector<Complex> walkStart;         // the point a step along a loop or radius starts from
  std::vector<Complex> previousEstimate;  // the end game's estimate at the last radius
  // The end game: the path's points at the last radii, the latest last.
  std::array<std::vector<Complex>, 4> radialSamples;
};

// Everything one path changes. s is the path parameter: s = ln t on the polyhedral route, t itself
// on the total-degree route. Preallocated once per worker and reused for every path, so a step
// allocates nothing.
struct PathState {
  explicit PathState(int n);

  int n;
  std::vector<Complex> y;            // current point
  double s = 0.0;                    // current parameter
  double stepSize = 0.0;             // the step to take next
  double lastStep = 0.0;             // the last accepted step
  double tolerance = 0.0;            // residual the corrector must reach
  double correctionLimit = 0.1;      // relative size allowed for the first correction
  std::vector<Complex> yPrev, yCur;  // last two accepted points, at s - lastStep and s
  std::vector<Complex> vPrev, vCur;  // tangents dy/ds there
  // The homotopy at (y, s) from the latest evaluation: dH/dy, H and dH/ds.
  ColMajorMatrix<Complex> jacobian;
  std::vector<Complex> residual, parameterDerivative;
  std::vector<Complex> acceptedResidual;     // residual last accepted by the corrector
  bool finalStep = false;                    // the next step ends at the target
  bool rejected = false;                     // the latest step was rejected
  bool atEnd = false;                        // the step to the target is under way or done
  bool failed = false;                       // the path was given up
  int successCount = 0;                      // accepted steps since the step size last grew
  PathFailure failure = PathFailure::kNone;  // the first cause that set `failed`
  std::int32_t steps = 0;
  std::vector<std::uint8_t> watched;  // coordinates still examined by the end game
  std::vector<Complex> waypoint;      // the point at PathLimits::waypoint, when hasWaypoint
  bool hasWaypoint = false;
  std::vector<Complex> yPolished;  // root reached by PolishNearTarget, when hasPolished
  bool hasPolished = false;
  // Set from PathLimits::polishNearTarget: CheckEndGame defers "tends to infinity" while
  // |y| <= divergenceFactor n and sets divergenceDeferred instead (see tracker/path/end_polish.h).
  bool deferDivergence = false;
  bool divergenceDeferred = false;
  PathFailure deferredVerdict = PathFailure::kDiverged;  // the end game's verdict when deferred
  // The end game (tracker/endgame/end_game.h).
  ValuationHistory valuations;        // the estimates close to the target
  double valuation = 0.0;             // the estimate that proved divergence, else 0
  std::vector<Complex> endGameStart;  // a point of the path at parameter endGameStartAt
  double endGameStartAt = 0.0;
  bool hasEndGameStart = false;
  bool endGameStartFixed = false;  // the start is within the first loop radius: kept
  std::int32_t windingNumber = 0;  // 0 unknown, 1 an ordinary end, m >= 2 the loops of the end game
  bool reachedByEndGame = false;   // the end point is the Cauchy end game's, the path failed before
  std::int32_t endGameSteps = 0;   // steps the running end game has taken
  // The valuations w_j of the path at its last accepted point when it failed
  // (divergence_check.h), against which a verdict "tends to infinity" is checked; empty when the
  // path failed at the target itself, where no tangent tells a direction.
  std::vector<double> failureDirection;
  GrowthRecord growth;  // the sizes of the coordinates at geometric distances
  PathScratch scratch;
};

class StopRequest;

// The homotopy of the path, how its route differs, and the target system for AcceptAtTarget.
struct PathContext {
  Homotopy* homotopy = nullptr;
  const RouteConstants* route = &kPolyhedralRoute;
  PathLimits limits;
  SystemView target;  // scaled coefficients
  std::span<const std::int32_t> maxDegree;
  StopRequest* stop = nullptr;  // the solve's stop request (tracking.h); null: never abandoned
  // The total-degree route: the degrees D_i of its start system y_i^{D_i} - q_i; empty otherwise.
  std::span<const std::int32_t> startDegrees;

  // Whether the path is to be abandoned now (at any step, of the tracking or of the end game).
  bool StopRequested() const;
};

// Remaining distance to the end of the path: -s, or 1 - t.
inline double Distance(const PathState& st, const RouteConstants& route) {
  return route.target - st.s;
}

// Marks the path failed; the first cause is kept.
inline void Fail(PathState& st, PathFailure cause) {
  st.failed = true;
  if (st.failure == PathFailure::kNone) st.failure = cause;
}

// tracker.corrector_tolerance_factor sqrt(max(1, |J|_1) max(1, |y|)).
double ToleranceAt(const ColMajorMatrix<Complex>& J, const std::vector<Complex>& y);
// tracker.rounding_floor_factor u max(1, |J|_1) max(1, |y|): a residual the rounding of its own
// evaluation can reach, u being the unit roundoff.
double RoundingFloorAt(const ColMajorMatrix<Complex>& J, const std::vector<Complex>& y);

// Newton at fixed s until the residual is below tracker.start_residual, stops decreasing, or
// tracker.start_iteration_cap iterations pass, or ctx.stop says the solve is to stop.
void CorrectStartPoint(PathState& st, const PathContext& ctx);
// The first accepted step along the start tangent, halving on failure (failed below
// tracker.min_first_step);
// left half way when ctx.stop says the solve is to stop.
void FirstStep(PathState& st, const PathContext& ctx);
// Cubic Hermite extrapolation to s + h, or below a step of tangentBelow the tangent at the last
// accepted point; then evaluation there.
void PredictHermite(PathState& st, Homotopy& homotopy, double tangentBelow = 0.0);
// Newton correction of the predicted point, or rejection with a halved step. Adds 1 to
// blowUpCount when the step underflows while still far from the target (the route's
// blow_up_below).
void CorrectNewton(PathState& st, const PathContext& ctx, std::int64_t& blowUpCount);
// Counts the accepted step, chooses the next step and tolerance, shifts the history.
void ControlStep(PathState& st, const RouteConstants& route);
// Gives the path up for `verdict`, or with st.deferDivergence and a point still below the
// divergence bound of the route, only notes the verdict (tracker/path/end_polish.h).
void DivergenceVerdict(PathState& st, const RouteConstants& route, PathFailure verdict);
// Gives up paths that diverge or end at a singular point, close to the target.
void CheckEndGame(PathState& st, const RouteConstants& route);
// Newton refinement on ctx.target at the end of the path; true when the point is accepted. Left
// half way when ctx.stop says the solve is to stop.
bool AcceptAtTarget(PathState& st, const PathContext& ctx);

// Tracks the path from `start` at parameter s0. Returns true when the end point (left in st.y) is
// accepted at the target and finite. st.steps holds the counted steps. Returns false at the step
// where ctx.stop says the solve is to stop, the path abandoned half way.
bool TrackPath(PathState& st, const PathContext& ctx, const Complex* start, double s0,
               std::int64_t& blowUpCount);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_PATH_PATH_STATE_H_
