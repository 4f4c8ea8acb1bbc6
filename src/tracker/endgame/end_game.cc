#include "tracker/endgame/end_game.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <span>

#include "base/condition_estimate.h"
#include "base/newton.h"
#include "model/equation_scale.h"
#include "tracker/endgame/principal_part.h"
#include "tracker/path/path_steps.h"

namespace zormix {

using namespace path_steps;

namespace {

// Smallest estimate Re(d (J^{-1} dH/dp)_j / y_j) over the nonzero coordinates, from the Jacobian
// and dH/dp of the latest evaluation at (y, s).
double SmallestValuation(PathState& st, double d) {
  SolveWithJacobian(st, st.parameterDerivative);
  double smallest = std::numeric_limits<double>::infinity();
  for (int j = 0; j < st.n; ++j) {
    if (st.y[j] == Complex(0.0, 0.0)) continue;
    smallest = std::min(smallest, std::real(d * st.scratch.correction[j] / st.y[j]));
  }
  return smallest;
}

void KeepEndGameStart(PathState& st, double d) {
  if (st.endGameStartFixed) return;
  st.endGameStart = st.y;
  st.endGameStartAt = st.s;
  st.hasEndGameStart = true;
  st.endGameStartFixed = d <= kEndGame.cauchyRadius;
}

}  // namespace

void WatchEndGame(PathState& st, const PathContext& ctx) {
  const double d = Distance(st, *ctx.route);
  if (st.failed() || !(d > 0.0)) return;
  KeepEndGameStart(st, d);
  if (d >= kEndGame.valuationZone) return;
  const ValuationSample sample{d, SmallestValuation(st, d), MaxNorm(st.y)};
  const bool polyhedral = ctx.route == &kPolyhedralRoute;
  const std::optional<DivergenceProof> proof = ObserveEstimate(st.valuations, sample, polyhedral);
  if (!proof) return;
  st.valuation = proof->exponent;
  if (polyhedral) {
    Fail(st, PathFailure::kDiverged);
    return;
  }
  // A large root reached late looks like a pole until the distance is below 1 / |root|: below
  // the route's divergence bound the verdict waits (the path goes on; a root it reaches near the
  // target is kept by the polish, tracker/path/end_polish.h).
  DivergenceVerdict(st, *ctx.route, PathFailure::kDiverged);
}

namespace {

// p(tau) = target - tau on a radius (tau the distance), or target - r e^{i tau} on the loop of
// radius r (tau the angle).
struct Arc {
  double target = 0.0;
  double radius = 0.0;
  bool radial = true;

  Complex At(double tau) const {
    return radial ? Complex(target - tau, 0.0) : target - radius * std::polar(1.0, tau);
  }
  Complex Rate(double tau) const {
    return radial ? Complex(-1.0, 0.0) : Complex(0.0, -radius) * std::polar(1.0, tau);
  }
};

void EvaluateAt(PathState& st, Homotopy& homotopy, Complex p) {
  homotopy.EvaluateComplex(st.y.data(), p, st.jacobian, st.residual.data(),
                           st.parameterDerivative.data());
}

// The velocity J^{-1} dH/dp of the path at st.y (dy/dp = -velocity), known when `known`. Newton's
// last evaluation of a step lies within the step's last correction of the point it returns (at
// most walkAccuracy^(2/3) of it, far below what an Euler prediction misses by), so its Jacobian
// and dH/dp give the next step's tangent without a further evaluation.
struct Tangent {
  bool known = false;
  std::vector<Complex> velocity;
  std::vector<Complex> next;  // the velocity at the point a correction is reaching
  // The point of the same arc before st.y, at previousTau, with its velocity: with both the next
  // point is predicted by the cubic Hermite interpolant of the two (error O(h^4) against Euler's
  // O(h^2)), so that Newton starts close enough to need two corrections instead of three.
  bool hasPrevious = false;
  double previousTau = 0.0;
  std::vector<Complex> previousY, previousVelocity;
};

// At most this ratio of the step to the last one is extrapolated by the Hermite cubic.
constexpr double kHermiteReach = 2.0;

// st.y moved from `tau` (where it has tangent.velocity) to `next` along the arc: the cubic Hermite
// extrapolation through the previous point, else Euler's step. dy/dtau = -(dp/dtau) velocity.
void Predict(PathState& st, const Arc& arc, double tau, double next, const Tangent& tangent) {
  const Complex rate = -arc.Rate(tau);
  const double last = tau - tangent.previousTau;
  const double ratio = (next - tau) / last;
  if (!tangent.hasPrevious || !(last != 0.0) || !(std::abs(ratio) <= kHermiteReach)) {
    for (int i = 0; i < st.n; ++i) st.y[i] += (next - tau) * rate * tangent.velocity[i];
    return;
  }
  // Hermite basis on [previousTau, tau] at x = 1 + ratio.
  const double x = 1.0 + ratio;
  const double h00 = (2.0 * x - 3.0) * x * x + 1.0, h10 = ((x - 2.0) * x + 1.0) * x;
  const double h01 = (3.0 - 2.0 * x) * x * x, h11 = (x - 1.0) * x * x;
  const Complex rate0 = -arc.Rate(tangent.previousTau);
  for (int i = 0; i < st.n; ++i) {
    st.y[i] = h00 * tangent.previousY[i] + h01 * st.y[i] +
              last * (h10 * rate0 * tangent.previousVelocity[i] + h11 * rate * tangent.velocity[i]);
  }
}

// st.scratch.correction := J^{-1} H and velocity := J^{-1} dH/dp, one elimination for both.
void SolveForCorrectionAndVelocity(PathState& st, std::vector<Complex>& velocity) {
  std::copy(st.jacobian.storage().begin(), st.jacobian.storage().end(),
            st.scratch.jacobianCopy.storage().begin());
  std::copy(st.residual.begin(), st.residual.end(), st.scratch.correction.begin());
  velocity = st.parameterDerivative;
  SolveLinearComplex(st.n, st.scratch.jacobianCopy.data(), st.scratch.correction.data(),
                     velocity.data());
}

// A Newton correction at most this share of the one before: the iteration converges quadratically.
constexpr double kQuadraticShrink = 1e-2;

// Newton at parameter p from the predicted st.y. The first correction may be at most a quarter of
// the predicted move (else the prediction was too far off, or on another path); later ones must
// at least halve. True when a correction falls below kEndGame.walkAccuracy, or the next one,
// estimated from quadratic convergence as c_k (c_k / c_{k-1})^2, would; or when the iteration
// stalls below a thousand times that. `velocity` ends as that of Newton's last evaluation.
struct EndGameCorrectorRule : NewtonRuleBase {
  PathState& st;
  Homotopy& homotopy;
  Complex p;
  double predictedMove;
  std::vector<Complex>& velocity;
  double accuracy = 0.0;

  const Complex* Correction(std::span<Complex>) {
    EvaluateAt(st, homotopy, p);
    SolveForCorrectionAndVelocity(st, velocity);
    return st.scratch.correction.data();
  }
  double Size(const Complex*, std::span<Complex>) const { return MaxNorm(st.scratch.correction); }
  NewtonVerdict BeforeApplying(const NewtonCorrection<double>& c, std::span<const Complex>) {
    accuracy = kEndGame.walkAccuracy * std::max(1.0, MaxNorm(st.y));
    if (!std::isfinite(c.size)) return NewtonVerdict::kRejected;
    if (c.index == 0 && c.size > 0.25 * predictedMove + 1e3 * accuracy)
      return NewtonVerdict::kRejected;
    if (c.index > 0 && c.size > 0.5 * c.previous)
      return c.size <= 1e3 * accuracy ? NewtonVerdict::kConverged : NewtonVerdict::kRejected;
    return NewtonVerdict::kContinue;
  }
  NewtonVerdict AfterApplying(const NewtonCorrection<double>& c, std::span<const Complex>) const {
    if (c.size <= accuracy) return NewtonVerdict::kConverged;
    // Only once the iteration is clearly quadratic (a correction at most a hundredth of the last):
    // near a multiple root its first steps shrink steadily but slowly, and stopping there leaves
    // the point several times the accuracy away (the loops of a triple root then never close).
    const double shrink = c.size / c.previous;
    if (c.index > 0 && c.size <= kQuadraticShrink * c.previous &&
        shrink * shrink * c.size <= accuracy)
      return NewtonVerdict::kConverged;
    return NewtonVerdict::kContinue;
  }
};

bool CorrectAt(PathState& st, Homotopy& homotopy, Complex p, double predictedMove,
               std::vector<Complex>& velocity) {
  EndGameCorrectorRule rule{{}, st, homotopy, p, predictedMove, velocity};
  return Newton(std::span<Complex>(st.y.data(), static_cast<std::size_t>(st.n)), 8, rule)
      .converged();
}

// Moves st.y, a point of the path at arc.At(from), to arc.At(to) by Euler predictions and Newton
// corrections, halving rejected steps. On a radius a step is at most half the distance left to the
// target. False when the step falls below kEndGame.minWalkStep times the length, or when the end
// game's steps exceed `budget`. `tangent` is kept for the point st.y ends at.
bool Walk(PathState& st, Homotopy& homotopy, const Arc& arc, double from, double to,
          Tangent& tangent, std::int64_t budget) {
  if (st.endGameSteps >= budget) return false;
  const double length = std::abs(to - from);
  const double direction = to > from ? 1.0 : -1.0;
  double step = length;
  double tau = from;
  while (direction * (to - tau) > 0.0) {
    double h = std::min(step, std::abs(to - tau));
    if (arc.radial) h = std::min(h, 0.5 * tau);
    if (!tangent.known) {
      EvaluateAt(st, homotopy, arc.At(tau));
      SolveWithJacobian(st, st.parameterDerivative);
      tangent.velocity = st.scratch.correction;
      tangent.known = true;
    }
    st.scratch.walkStart = st.y;
    const double next = to - direction * (std::abs(to - tau) - h);
    Predict(st, arc, tau, next, tangent);
    const double move = h * std::abs(arc.Rate(tau)) * MaxNorm(tangent.velocity);  // Euler's
    if (++st.endGameSteps > budget) return false;
    if (CorrectAt(st, homotopy, arc.At(next), move, tangent.next)) {
      tangent.hasPrevious = true;
      tangent.previousTau = tau;
      tangent.previousY = st.scratch.walkStart;
      std::swap(tangent.previousVelocity, tangent.velocity);
      std::swap(tangent.velocity, tangent.next);
      tau = next;
      step = 2.0 * h;
    } else {
      st.y = st.scratch.walkStart;
      step = h / 2.0;
      if (step < kEndGame.minWalkStep * length) return false;
    }
  }
  return AllFinite(st.y);
}

// The tracker's point where the loops of the first radius start, at parameter p, meets the
// tracker's tolerance only. Near a singular end its error along the Jacobian's near-null
// directions reaches 3e-5 of |y| (cyclic-8's paths to its positive-dimensional sets), far above
// kEndGame.loopClosure: the loops, walked to kEndGame.walkAccuracy, come back to the path's own
// point instead and never close (a path of winding number 2 walked four loops at the first radius
// and was decided only at the third). Newton's method at p puts the point on the path, as a walk's
// corrections do, the first correction at most a quarter of the Euler move of the loop's first
// step, as a step's. The point stays as it was if Newton's method fails; else `tangent` holds the
// velocity of its last evaluation.
void SettleOnPath(PathState& st, Homotopy& homotopy, Complex p, double radius, Tangent& tangent) {
  EvaluateAt(st, homotopy, p);
  SolveForCorrectionAndVelocity(st, tangent.velocity);
  const double firstArc = 2.0 * std::numbers::pi / kEndGame.samplesPerLoop;
  const double move = firstArc * radius * MaxNorm(tangent.velocity);
  st.scratch.walkStart = st.y;
  tangent.known = CorrectAt(st, homotopy, p, move, tangent.velocity);
  if (!tangent.known) st.y = st.scratch.walkStart;
}

double MaxDistance(const std::vector<Complex>& a, const std::vector<Complex>& b) {
  double distance = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) distance = std::max(distance, std::abs(a[i] - b[i]));
  return distance;
}

double RelativeDistance(const std::vector<Complex>& a, const std::vector<Complex>& b) {
  return MaxDistance(a, b) / std::max(1.0, MaxNorm(a));
}

// Loops around the target at `radius` from st.y (a point of the path at distance radius) until
// back at the start, at most maxLoops times. Returns the number of loops (0 when
// a loop failed or never closed), with the mean of the samples in scratch.loopSum and the samples
// themselves in `samples`; st.y is back at the start point either way.
int LoopAround(PathState& st, const PathContext& ctx, double radius, int maxLoops, Tangent& tangent,
               LoopSamples& samples, std::int64_t budget) {
  const Arc arc{ctx.route->target, radius, false};
  const int perLoop = kEndGame.samplesPerLoop;
  const double angle = 2.0 * std::numbers::pi / perLoop;
  st.scratch.loopStart = st.y;
  tangent.hasPrevious = false;  // a point of the radius, on another arc
  std::fill(st.scratch.loopSum.begin(), st.scratch.loopSum.end(), Complex(0.0, 0.0));
  samples = LoopSamples{radius, 0, perLoop, st.n, {}};
  int found = 0;
  for (int loop = 1; loop <= maxLoops && found == 0; ++loop) {
    bool walked = true;
    for (int k = 0; k < perLoop && walked; ++k) {
      for (int i = 0; i < st.n; ++i) st.scratch.loopSum[i] += st.y[i];
      samples.values.insert(samples.values.end(), st.y.begin(), st.y.end());
      const double from = angle * ((loop - 1) * perLoop + k);
      // A loop of a high winding number is hundreds of steps: the stop is heard at every sample.
      walked =
          !ctx.StopRequested() && Walk(st, *ctx.homotopy, arc, from, from + angle, tangent, budget);
    }
    if (!walked) break;
    if (RelativeDistance(st.scratch.loopStart, st.y) <= kEndGame.loopClosure) found = loop;
  }
  st.y = st.scratch.loopStart;
  tangent.known = tangent.hasPrevious = false;
  if (found == 0) return 0;
  samples.winding = found;
  const double count = static_cast<double>(found) * perLoop;
  for (Complex& value : st.scratch.loopSum) value /= count;
  return found;
}

// Whether y is a root of the target: finite, with max_i |F_i(y)| / sum_p |c_p| max(1, |y|)^a_p
// at most kEndGame.rootResidual. The terms are floored at |y_k| = 1 because a singular root at
// the origin has terms as small as its residual (the plain backward error is then near 1), while
// the mean of loops around a pole (a path to infinity with winding number 1) is the constant term
// of its Laurent series, no root, with a residual of the size of the coefficients.
bool IsTargetRoot(PathState& st, const PathContext& ctx, const std::vector<Complex>& y) {
  if (!AllFinite(y)) return false;
  EvaluateSystem(ctx.target, ctx.maxDegree, y.data(), st.jacobian, st.acceptedResidual,
                 st.scratch.targetWorkspace);
  for (int k = 0; k < st.n; ++k) st.scratch.walkStart[k] = std::max(1.0, std::abs(y[k]));
  return BackwardError(ctx.target, ctx.maxDegree, st.scratch.walkStart.data(),
                       st.acceptedResidual) <= kEndGame.rootResidual;
}

// The limit of the path from its points y_0, ..., y_3 at four radii a ratio 10 apart, the latest
// last. Close to the target y(d) = y(0) + c d^{1/m} + ..., so the steps y_{k+1} - y_k shrink by
// q = 10^{-1/m} a radius, however small the coordinates (they are measured in the max norm, on the
// system's scale, as the rest of the end game). With the last two ratios below
// kEndGame.convergenceRatio and agreeing within kEndGame.ratioAgreement, the rest of the path is
// the geometric series (y_3 - y_2) q / (1 - q) (Aitken's extrapolation); it must be at most
// kEndGame.convergedTail of max(1, |y|). A path to infinity has growing steps, one that is still
// turning has ratios that disagree.
bool ConvergingLimit(const std::array<std::vector<Complex>, 4>& y, std::vector<Complex>& limit) {
  double step[3];
  for (int k = 0; k < 3; ++k) step[k] = MaxDistance(y[k], y[k + 1]);
  const double q1 = step[1] / step[0];
  const double q2 = step[2] / step[1];
  if (!(q1 < kEndGame.convergenceRatio && q2 < kEndGame.convergenceRatio && q2 > 0.0)) return false;
  if (!(std::abs(q2 - q1) <= kEndGame.ratioAgreement * q2)) return false;
  const double tail = q2 / (1.0 - q2);
  if (!(step[2] * tail <= kEndGame.convergedTail * std::max(1.0, MaxNorm(y[3])))) return false;
  limit = y[3];
  for (std::size_t i = 0; i < limit.size(); ++i) limit[i] += (y[3][i] - y[2][i]) * tail;
  return AllFinite(limit);
}

// Keeps st.y as the latest of the radial samples.
void KeepRadialSample(PathState& st, int index) {
  std::array<std::vector<Complex>, 4>& samples = st.scratch.radialSamples;
  if (index >= static_cast<int>(samples.size()))
    std::rotate(samples.begin(), samples.begin() + 1, samples.end());
  samples[std::min<std::size_t>(index, samples.size() - 1)] = st.y;
}

// The loops to try at the radius of attempt `attempt`, and the steps the end game may take by then.
// The first radius may enclose another branch point and gets kEndGame.firstRadiusLoops. Later ones
// get kEndGame.maxWindingNumber, unless the path's points at the last three radii show a slower
// cycle: y(d) = y(0) + c d^{1/m} + ... moves by steps that shrink by q = radiusRatio^{1/m} a
// radius, so m = ln(radiusRatio) / ln(q). Such a path gets twice the estimate (the series' next
// terms bend q at radii where d^{1/m} is near 1), up to kEndGame.maxRaisedWindingNumber, and the
// step budget grows with the loops: a cycle of m loops costs m times kEndGame.samplesPerLoop
// walks at each of two radii.
struct LoopAllowance {
  int loops;
  std::int64_t budget;
};

LoopAllowance AllowedLoops(const PathState& st, int attempt, int samples) {
  const auto baseBudget = static_cast<std::int64_t>(kEndGame.stepBudget.value());
  if (attempt == 0) return {static_cast<int>(kEndGame.firstRadiusLoops.value()), baseBudget};
  LoopAllowance allowance{kEndGame.maxWindingNumber, baseBudget};
  if (samples < 3) return allowance;
  const std::array<std::vector<Complex>, 4>& y = st.scratch.radialSamples;
  const int last = std::min<int>(samples, static_cast<int>(y.size())) - 1;
  const double q = MaxDistance(y[last], y[last - 1]) / MaxDistance(y[last - 1], y[last - 2]);
  if (!(q > kEndGame.radiusRatio.value() && q < 1.0)) return allowance;
  const double estimate = std::log(kEndGame.radiusRatio.value()) / std::log(q);
  if (!(estimate > kEndGame.maxWindingNumber)) return allowance;
  allowance.loops = static_cast<int>(
      std::min<double>(kEndGame.maxRaisedWindingNumber, std::ceil(2.0 * estimate)));
  allowance.budget = baseBudget + static_cast<std::int64_t>(allowance.loops) *
                                      static_cast<std::int64_t>(kEndGame.samplesPerLoop.value()) *
                                      4;
  return allowance;
}

// Whether the loops at three radii prove that the path goes to infinity (principal_part.h); if so
// the path fails as diverging with the valuation proved. On a route whose large roots look like
// poles until late (the total-degree route) only beyond its divergence bound: a root at distance
// e beyond the target, y = 1 / (d + e), has the Laurent series sum (-e)^k d^{-k-1} on every loop
// of radius above e.
bool LoopsProvePole(PathState& st, const PathContext& ctx, const LoopSamples& outermost,
                    const LoopSamples& outer, const LoopSamples& inner) {
  const double valuation = ProvenPoleValuation(outermost, outer, inner);
  if (!(valuation < 0.0)) return false;
  double largest = 0.0;
  for (const Complex& value : inner.values) largest = std::max(largest, std::abs(value));
  if (ctx.route->divergenceNeedsBound && !(largest > ctx.route->divergenceFactor * st.n))
    return false;
  SetVerdict(st, PathFailure::kDiverged, valuation);
  return true;
}

}  // namespace

// Estimates at radii r, r/10, ... until two in a row with the same winding number agree within
// kEndGame.estimateAgreement; failing that, the closest such pair within kEndGame.fallbackAgreement
// (where rounding at the smaller radii keeps the estimates from agreeing better). The estimate of
// the smaller radius of the pair is the end point: its series terms are the smaller.
bool RunCauchyEndGame(PathState& st, const PathContext& ctx) {
  if (!st.hasEndGameStart) return false;
  const double startDistance = ctx.route->target - st.endGameStartAt;
  if (!(startDistance > 0.0)) return false;
  const std::vector<Complex> arrived = st.y;
  st.y = st.endGameStart;
  st.endGameSteps = 0;
  double radius = std::min(startDistance, kEndGame.cauchyRadius.value());
  const Arc inward{ctx.route->target, 0.0, true};
  Tangent tangent;
  bool walking = true;
  LoopAllowance allowance{0, static_cast<std::int64_t>(kEndGame.stepBudget.value())};
  if (radius < startDistance)
    walking = Walk(st, *ctx.homotopy, inward, startDistance, radius, tangent, allowance.budget);
  else
    SettleOnPath(st, *ctx.homotopy, inward.At(radius), radius, tangent);
  std::vector<Complex>& previous = st.scratch.previousEstimate;
  std::vector<Complex> best;
  double bestAgreement = kEndGame.fallbackAgreement;
  int previousWinding = 0;
  int samples = 0;
  LoopSamples loop, previousLoop, olderLoop;
  for (int attempt = 0; walking && attempt < kEndGame.radiusCount && !ctx.StopRequested();
       ++attempt) {
    KeepRadialSample(st, samples++);
    // A cycle once seen to be slow stays so at the smaller radii.
    const LoopAllowance next = AllowedLoops(st, attempt, samples);
    allowance.loops = attempt == 0 ? next.loops : std::max(allowance.loops, next.loops);
    allowance.budget = std::max(allowance.budget, next.budget);
    const int winding =
        LoopAround(st, ctx, radius, allowance.loops, tangent, loop, allowance.budget);
    // The walk inward starts from the tracker's point, whose first corrections put it on the path
    // as well: what the radii after the first find does not depend on the settling.
    if (attempt == 0 && radius == startDistance) st.y = st.endGameStart;
    const double agreement = winding > 0 && winding == previousWinding
                                 ? RelativeDistance(st.scratch.loopSum, previous)
                                 : std::numeric_limits<double>::infinity();
    if (agreement <= bestAgreement && IsTargetRoot(st, ctx, st.scratch.loopSum)) {
      best = st.scratch.loopSum;
      bestAgreement = agreement;
      st.windingNumber = winding;
      if (agreement <= kEndGame.estimateAgreement) break;
    } else if (!best.empty()) {
      // The estimates agreed within the fallback and stopped agreeing better: at smaller radii
      // rounding only grows (paths ending on a solution set never reach estimateAgreement).
      break;
    } else if (st.failed() && winding > 0 && winding == previousWinding &&
               LoopsProvePole(st, ctx, olderLoop, previousLoop, loop)) {
      st.y = arrived;
      return false;
    }
    previousWinding = winding;
    if (winding > 0) previous = st.scratch.loopSum;
    std::swap(olderLoop, previousLoop);
    std::swap(previousLoop, loop);
    walking = Walk(st, *ctx.homotopy, inward, radius, radius * kEndGame.radiusRatio, tangent,
                   allowance.budget);
    radius *= kEndGame.radiusRatio;
  }
  if (best.empty() && samples >= static_cast<int>(st.scratch.radialSamples.size()) &&
      ConvergingLimit(st.scratch.radialSamples, st.y)) {
    st.windingNumber = 0;
    return true;
  }
  st.y = best.empty() ? arrived : best;
  return !best.empty();
}

bool NewtonConvergesQuickly(PathState& st, const PathContext& ctx) {
  struct Rule : NewtonRuleBase {
    PathState& st;
    const PathContext& ctx;

    const Complex* Correction(std::span<Complex>) {
      EvaluateSystem(ctx.target, ctx.maxDegree, st.y.data(), st.jacobian, st.acceptedResidual,
                     st.scratch.targetWorkspace);
      SolveWithJacobian(st, st.acceptedResidual);
      return st.scratch.correction.data();
    }
    double Size(const Complex*, std::span<Complex>) const { return MaxNorm(st.scratch.correction); }
    NewtonVerdict AfterApplying(const NewtonCorrection<double>& c, std::span<const Complex>) const {
      if (!AllFinite(st.y)) return NewtonVerdict::kRejected;
      return c.size <= kEndGame.quickNewtonAccuracy * std::max(1.0, MaxNorm(st.y))
                 ? NewtonVerdict::kConverged
                 : NewtonVerdict::kContinue;
    }
  };
  Rule rule{{}, st, ctx};
  return Newton(std::span<Complex>(st.y.data(), static_cast<std::size_t>(st.n)),
                static_cast<int>(std::ceil(kEndGame.quickNewtonSteps.value())), rule)
      .converged();
}

bool LooksSingular(const ColMajorMatrix<Complex>& J, ColMajorMatrix<Complex>& work) {
  const int n = static_cast<int>(J.rows());
  std::copy(J.storage().begin(), J.storage().end(), work.storage().begin());
  HouseholderQRComplex(n, work.storage().data());
  double largest = 0.0;
  double smallest = std::numeric_limits<double>::infinity();
  for (int i = 0; i < n; ++i) {
    largest = std::max(largest, std::abs(work(i, i)));
    smallest = std::min(smallest, std::abs(work(i, i)));
  }
  // The target is scaled so that its coefficients are near 1: a Jacobian whose pivots are all tiny
  // (the first derivatives of (x-1)^5 and (y-2)^3 near (1, 2)) is singular too.
  return !(std::max(1.0, largest) <= kEndGame.singularPivotRatio * smallest);
}

}  // namespace zormix
