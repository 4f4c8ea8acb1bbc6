#include "tracker/dd/dd_tracker.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

#include "base/newton.h"
#include "tracker/dd/dd_rescue.h"
#include "tracker/endgame/divergence_check.h"
#include "tracker/endgame/end_game.h"
#include "tracker/endgame/valuation_history.h"
#include "tracker/homotopy/homotopy.h"
#include "tracker/parameters.h"
#include "tracker/path/path_steps.h"
#include "tracker/routes/route_tracking.h"

namespace zormix {
namespace {

constexpr std::int32_t kStepLimit = 1000;  // a path of many more steps costs seconds
constexpr int kFirstSteps = 50;            // first step: 1/50 of the way
constexpr double kMinStepShare = 1e-13;    // a step below this share of the way underflows
constexpr double kPathTolerance = 1e-14;   // corrector stops below this correction (relative)
constexpr double kNoiseMargin = 100.0;     // ... or below this many times the rounding noise
constexpr double kFirstCorrection = 1e-4;  // the first correction may move the point this much
constexpr double kContraction = 0.1;       // each further correction at most this share
constexpr int kCorrectorIterations = 6;

// Newton at the start point, and at the target after the last step.
int StartIterations() { return static_cast<int>(tracker::kDdStartIterations.value()); }
int PolishIterations() { return static_cast<int>(tracker::kDdPolishIterations.value()); }

std::vector<DdComplex> Widen(std::span<const Complex> values) {
  return std::vector<DdComplex>(values.begin(), values.end());
}

// The path's state and the solves it needs, for one homotopy.
class DdPath {
 public:
  explicit DdPath(DdHomotopy& homotopy)
      : h_(homotopy), n_(homotopy.n()), H_(n_), Hp_(n_), delta_(n_), size_(n_) {}

  // delta = H_y^-1 H at (y, p); noise: the rounding of that correction, u |H_y^-1 size(H)|.
  bool Correction(const std::vector<DdComplex>& y, double p, double& noise) {
    h_.Evaluate(y.data(), p, J_, H_.data(), Hp_.data(), size_.data());
    if (!lu_.Factor(n_, J_)) return false;
    delta_ = H_;
    lu_.Solve(delta_.data());
    std::vector<DdComplex> rounding(size_.begin(), size_.end());
    lu_.Solve(rounding.data());
    noise = kDoubleDoubleRoundoff * MaxAbs(rounding);
    return std::isfinite(MaxAbs(delta_));
  }
  // v = -H_y^-1 H_p at (y, p).
  bool Tangent(const std::vector<DdComplex>& y, double p, std::vector<DdComplex>& v) {
    h_.Evaluate(y.data(), p, J_, H_.data(), Hp_.data(), nullptr);
    if (!lu_.Factor(n_, J_)) return false;
    v = Hp_;
    lu_.Solve(v.data());
    for (DdComplex& z : v) z = -z;
    return std::isfinite(MaxAbs(v));
  }

  // Newton's corrector at p from y: true when the corrections contract to the tolerance within
  // `iterations`, the first one at most firstLimit relative to the point.
  // noiseFloor: the tolerance is raised to the rounding noise of the corrections (on the way);
  // without it the correction must reach kPathTolerance (at the target: a regular root).
  bool Correct(std::vector<DdComplex>& y, double p, int iterations, double firstLimit,
               bool noiseFloor = true) {
    struct Rule : NewtonRuleBase {
      DdPath& path;
      const std::vector<DdComplex>& y;
      double p, firstLimit;
      bool noiseFloor;
      double noise = 0.0;

      const DdComplex* Correction(std::span<DdComplex>) {
        return path.Correction(y, p, noise) ? path.delta_.data() : nullptr;
      }
      double Size(const DdComplex*, std::span<DdComplex>) const { return MaxAbs(path.delta_); }
      NewtonVerdict AfterApplying(const NewtonCorrection<double>& c, std::span<const DdComplex>) {
        const double scale = std::max(1.0, MaxAbs(y));
        const double tolerance =
            std::max(kPathTolerance * scale, noiseFloor ? kNoiseMargin * noise : 0.0);
        if (c.index == 0 && c.size > firstLimit * scale) return NewtonVerdict::kRejected;
        if (c.size <= tolerance) return NewtonVerdict::kConverged;
        if (c.index > 0 && c.size > kContraction * c.previous) return NewtonVerdict::kRejected;
        return NewtonVerdict::kContinue;
      }
    };
    Rule rule{{}, *this, y, p, firstLimit, noiseFloor};
    return Newton(std::span<DdComplex>(y), iterations, rule).converged();
  }

  // The fourth-order Runge-Kutta prediction from (y, p) over h.
  bool Predict(const std::vector<DdComplex>& y, double p, double h,
               std::vector<DdComplex>& predicted) {
    auto at = [p, h](double share) { return p + share * h; };
    return RungeKutta(
        y, h, at, [](double) { return 1.0; }, predicted);
  }

  // The same prediction in u = ln(pTarget - p), from p to p + h: dy/du = -(pTarget - p) dy/dp.
  // Close to the target y_j = c_j d^v_j (1 + a_j d^(1/m) + ...) is smooth in u over steps of
  // order 1, while in p its Taylor series at distance d converges only within d. Only a
  // continuation's first step uses it: its inner stages take tangents at points off the path,
  // where an ill-conditioned Jacobian turns the field (PredictHermiteInLogDistance).
  bool PredictInLogDistance(const std::vector<DdComplex>& y, double p, double h, double pTarget,
                            std::vector<DdComplex>& predicted) {
    const double u0 = std::log(pTarget - p);
    const double du = std::log(pTarget - p - h) - u0;
    auto at = [u0, du, pTarget](double share) { return pTarget - std::exp(u0 + share * du); };
    auto rate = [&at, pTarget](double share) { return -(pTarget - at(share)); };
    return RungeKutta(y, du, at, rate, predicted);
  }

 private:
  // The fourth-order Runge-Kutta step of length h in a variable w from y, where the parameter at
  // the share c of the step is at(c) and dy/dw = rate(c) dy/dp.
  template <typename At, typename Rate>
  bool RungeKutta(const std::vector<DdComplex>& y, double h, const At& at, const Rate& rate,
                  std::vector<DdComplex>& predicted) {
    const DoubleDouble half(0.5 * h), whole(h), sixth = DoubleDouble(h) / DoubleDouble(6.0);
    std::vector<DdComplex> k[4], point(n_);
    const double shares[4] = {0.0, 0.5, 0.5, 1.0};
    const DoubleDouble offsets[4] = {DoubleDouble(0.0), half, half, whole};
    for (int stage = 0; stage < 4; ++stage) {
      const std::vector<DdComplex>& from = stage == 0 ? y : point;
      if (stage > 0)
        for (int j = 0; j < n_; ++j) point[j] = y[j] + offsets[stage] * k[stage - 1][j];
      if (!Tangent(from, at(shares[stage]), k[stage])) return false;
      const DoubleDouble scale(rate(shares[stage]));
      for (DdComplex& z : k[stage]) z = scale * z;
    }
    predicted.resize(n_);
    for (int j = 0; j < n_; ++j)
      predicted[j] = y[j] + sixth * (k[0][j] + DoubleDouble(2.0) * (k[1][j] + k[2][j]) + k[3][j]);
    return true;
  }

  DdHomotopy& h_;
  int n_;
  std::vector<DdComplex> J_, H_, Hp_, delta_;
  std::vector<double> size_;
  DdLu lu_;
};

DdTrackResult Finished(const std::vector<DdComplex>& y, std::int32_t steps, bool reached) {
  DdTrackResult result;
  result.y.reserve(y.size());
  for (const DdComplex& z : y) result.y.push_back(static_cast<Complex>(z));
  result.steps = steps;
  result.reached = reached;
  return result;
}

constexpr double kApproachShare = 0.5;   // a continuation step covers at most this share of d
constexpr double kLostStepShare = 1e-4;  // a continuation step below this share of d: lost
// Steps of one continuation. cohn3's paths along its curve z = t = 0, y (x + 72) = -1728 (where the
// Jacobian's condition grows like d^-1.3) prove their divergence after 250 to 370 steps, at d near
// 1e-9, where their estimates of x settle at -1/6.
constexpr std::int32_t kContinuationSteps = 500;
// The first correction of a continuation may move its start this much.
constexpr double kContinuationStartCorrection = 1e-2;
// The continuation ends this close to the target, where t = 1 - d is still resolved to 90 units
// of its last place on the total-degree route.
constexpr double kLastDistance = 1e-14;

std::vector<Complex> Narrow(const std::vector<DdComplex>& values) {
  return std::vector<Complex>(values.begin(), values.end());
}

// The valuation estimates of a continuation, every time d has shrunk by tracker.valuation_span:
// the history the divergence verdict is a function of (tracker/endgame/valuation_history.h), the
// estimates of every coordinate at the latest span (the direction of a divergence), and whether
// the smallest estimate of each of the last two spans lay below -tracker.diverging_valuation.
struct ContinuationEstimates {
  ValuationHistory history;
  double lastSpan = 0.0;  // the distance of the latest span (0: none)
  std::vector<double> direction;
  bool grew[2] = {true, true};  // the span before the latest, and the latest

  // Whether the path is at a new span at distance d.
  bool Due(double d) const { return lastSpan == 0.0 || d <= lastSpan / kEndGame.valuationSpan; }

  // Records the span at (y, d) with dy/dp = velocity; returns the proof of a divergence when its
  // estimates and sizes now give one, within tracker.valuation_zone as tracking in double does.
  std::optional<DivergenceProof> Observe(const std::vector<DdComplex>& y,
                                         const std::vector<DdComplex>& velocity, double d,
                                         bool polyhedral) {
    const std::vector<Complex> point = Narrow(y);
    direction = ValuationDirection(point, Narrow(velocity), d);
    lastSpan = d;
    const double smallest = *std::min_element(direction.begin(), direction.end());
    grew[0] = grew[1];
    grew[1] = smallest < -kEndGame.divergingValuation;
    return ObserveEstimate(history, {d, smallest, MaxAbs(y)}, polyhedral);
  }
  // Whether no coordinate grew at the last two spans.
  bool NothingGrows() const { return !grew[0] && !grew[1]; }
};

RetrackResult AsRetrack(DdTrackResult&& tracked) {
  RetrackResult result;
  result.y = std::move(tracked.y);
  result.steps = tracked.steps;
  result.failed = !tracked.reached;
  result.windingNumber = tracked.reached ? 1 : 0;
  return result;
}

// A point of the path in u = ln(pTarget - p), with its slope dy/du = -(pTarget - p) dy/dp there.
struct LogDistancePoint {
  std::vector<DdComplex> y;
  std::vector<DdComplex> slope;
  double u = 0.0;
};

LogDistancePoint AtLogDistance(const std::vector<DdComplex>& y,
                               const std::vector<DdComplex>& velocity, double d) {
  LogDistancePoint point{y, velocity, std::log(d)};
  const DoubleDouble scale(-d);
  for (DdComplex& z : point.slope) z = scale * z;
  return point;
}

// The cubic Hermite interpolant in u through two accepted points of the path, a earlier and b
// later, with their slopes, evaluated at u: with l = b.u - a.u, h = u - b.u, tau = h / l,
//   y(u) = (1 + 2 (1 + tau)) tau^2 a.y + (1 - 2 tau) (1 + tau)^2 b.y
//          + tau^2 (h + l) a.slope + (1 + tau)^2 h b.slope,
// exact for cubics in u. Its data are points the corrector put on the path and tangents there.
void PredictHermiteInLogDistance(const LogDistancePoint& a, const LogDistancePoint& b, double u,
                                 std::vector<DdComplex>& predicted) {
  const double h = u - b.u, last = b.u - a.u;
  const double tau = h / last, sigma = 1.0 + tau;
  const DoubleDouble cA((1.0 + 2.0 * sigma) * tau * tau), cB((1.0 - 2.0 * tau) * sigma * sigma);
  const DoubleDouble slopeA(tau * tau * (h + last)), slopeB(sigma * sigma * h);
  predicted.resize(b.y.size());
  for (std::size_t j = 0; j < b.y.size(); ++j)
    predicted[j] = cA * a.y[j] + cB * b.y[j] + slopeA * a.slope[j] + slopeB * b.slope[j];
}

}  // namespace

DdTrackResult TrackDoubleDouble(DdHomotopy& homotopy, const Complex* start, double p0,
                                double pTarget) {
  const int n = homotopy.n();
  DdPath path(homotopy);
  std::vector<DdComplex> y(start, start + n), predicted;
  std::int32_t steps = 0;
  if (!path.Correct(y, p0, StartIterations(), 1.0)) return Finished(y, steps, false);
  const double way = pTarget - p0;
  double p = p0, h = way / kFirstSteps;
  int successes = 0;
  while (p < pTarget) {
    if (steps >= kStepLimit || h < kMinStepShare * (pTarget - p)) return Finished(y, steps, false);
    const bool last = h >= pTarget - p;
    const double step = last ? pTarget - p : h;
    const double next = last ? pTarget : p + step;
    predicted.clear();
    if (path.Predict(y, p, step, predicted) &&
        path.Correct(predicted, next, kCorrectorIterations, kFirstCorrection)) {
      y = predicted;
      p = next;
      ++steps;
      if (++successes == 2) {
        h *= 2.0;
        successes = 0;
      }
    } else {
      h *= 0.5;
      successes = 0;
    }
    if (!(MaxAbs(y) < tracker::kDdDivergenceBound.value())) return Finished(y, steps, false);
  }
  // Near a singular root the rounding noise of the corrections is large, and the corrector at
  // the noise level accepts points 1e-6 away from a triple root: the end point must be a root
  // Newton's method resolves to kPathTolerance.
  const bool regular =
      path.Correct(y, pTarget, PolishIterations(), kFirstCorrection, /*noiseFloor=*/false);
  return Finished(y, steps, regular);
}

namespace {

DdContinuation Ended(DdEnd end, const std::vector<DdComplex>& y, std::int32_t steps,
                     double valuation = 0.0) {
  DdContinuation result;
  result.end = end;
  result.y = Finished(y, steps, false).y;
  result.steps = steps;
  result.valuation = valuation;
  return result;
}

}  // namespace

DdContinuation ContinueInDoubleDouble(DdHomotopy& homotopy, const Complex* start, double p,
                                      double pTarget, double divergenceBound) {
  const int n = homotopy.n();
  DdPath path(homotopy);
  std::vector<DdComplex> y(start, start + n), predicted, velocity;
  std::int32_t steps = 0;
  if (!path.Correct(y, p, StartIterations(), kContinuationStartCorrection) ||
      !path.Tangent(y, p, velocity))
    return Ended(DdEnd::kLost, y, steps);
  // Without a bound (the polyhedral route) the estimates decide alone; with one (total degree)
  // sizes must follow the estimates and pass the bound, as in tracking in double.
  const bool polyhedral = divergenceBound <= 0.0;
  ContinuationEstimates estimates;
  estimates.Observe(y, velocity, pTarget - p, polyhedral);
  LogDistancePoint earlier, latest = AtLogDistance(y, velocity, pTarget - p);
  bool hasEarlier = false;
  double h = kApproachShare * (pTarget - p);
  int successes = 0;
  while (pTarget - p > kLastDistance && steps < kContinuationSteps) {
    const double d = pTarget - p;
    h = std::min(h, kApproachShare * d);
    if (h < kLostStepShare * d) break;
    predicted.clear();
    if (hasEarlier) PredictHermiteInLogDistance(earlier, latest, std::log(d - h), predicted);
    if ((!hasEarlier && !path.PredictInLogDistance(y, p, h, pTarget, predicted)) ||
        !path.Correct(predicted, p + h, kCorrectorIterations, kContinuationStartCorrection)) {
      h *= 0.5;
      successes = 0;
      continue;
    }
    y = predicted;
    p += h;
    ++steps;
    if (++successes == 2) {
      h *= 2.0;
      successes = 0;
    }
    if (!path.Tangent(y, p, velocity)) break;
    earlier = std::move(latest);
    latest = AtLogDistance(y, velocity, pTarget - p);
    hasEarlier = true;
    if (!estimates.Due(pTarget - p)) continue;
    const std::optional<DivergenceProof> proof =
        estimates.Observe(y, velocity, pTarget - p, polyhedral);
    const bool proved = proof && (polyhedral || MaxAbs(y) > divergenceBound);
    // Beyond tracker.dd_divergence_bound the path is at infinity whatever its estimates say.
    if (proved || !(MaxAbs(y) < tracker::kDdDivergenceBound.value())) {
      DdContinuation ended = Ended(DdEnd::kDiverged, y, steps, proved ? proof->exponent : 0.0);
      ended.direction = std::move(estimates.direction);
      return ended;
    }
  }
  // Newton's method at the target from the tangent's prediction: a regular root converges.
  std::vector<DdComplex> atTarget = y;
  if (path.Tangent(y, p, velocity)) {
    const DoubleDouble rest(pTarget - p);
    for (int j = 0; j < n; ++j) atTarget[j] += rest * velocity[j];
    if (path.Correct(atTarget, pTarget, PolishIterations(), kFirstCorrection, /*noiseFloor=*/false))
      return Ended(DdEnd::kReached, atTarget, steps);
  }
  const bool close = pTarget - p <= kTrackerParameters.exponentZone;
  return Ended(close && estimates.NothingGrows() ? DdEnd::kApproached : DdEnd::kLost, y, steps);
}

DdTotalDegreeHomotopy::DdTotalDegreeHomotopy(const MonomialLayout& layout,
                                             std::span<const Complex> target,
                                             std::span<const Complex> q,
                                             std::span<const std::int32_t> degree)
    : layout_(layout), target_(Widen(target)), q_(q), degree_(degree) {}

void DdTotalDegreeHomotopy::Evaluate(const DdComplex* y, double t, std::vector<DdComplex>& J,
                                     DdComplex* H, DdComplex* Ht, double* termSize) {
  const int n = layout_.n;
  values_.resize(static_cast<std::size_t>(n));
  EvaluateDoubleDouble(layout_, target_.data(), nullptr, y, J, values_.data(), nullptr, scratch_,
                       termSize);
  const DoubleDouble tt(t), rest = DoubleDouble(1.0) - tt;
  for (DdComplex& entry : J) entry = tt * entry;
  for (int i = 0; i < n; ++i) {
    DdComplex below(1.0);  // y_i^(d_i - 1)
    for (std::int32_t e = 1; e < degree_[i]; ++e) below *= y[i];
    const DdComplex lead = DdComplex(q_[2 * i]) * below * y[i];
    const DdComplex Q = lead + DdComplex(q_[2 * i + 1]);
    H[i] = rest * Q + tt * values_[i];
    Ht[i] = values_[i] - Q;
    J[i + static_cast<std::size_t>(i) * n] +=
        rest * DoubleDouble(static_cast<double>(degree_[i])) * DdComplex(q_[2 * i]) * below;
    if (termSize != nullptr)
      termSize[i] = (1.0 - t) * (AbsDouble(lead) + std::abs(q_[2 * i + 1])) + t * termSize[i];
  }
}

DdPolyhedralHomotopy::DdPolyhedralHomotopy(const MonomialLayout& layout,
                                           std::span<const Complex> start,
                                           std::span<const Complex> target)
    : layout_(layout), start_(Widen(start)) {
  delta_.reserve(target.size());
  for (std::size_t j = 0; j < target.size(); ++j)
    delta_.push_back(DdComplex(target[j]) - DdComplex(start[j]));
}

void DdPolyhedralHomotopy::Evaluate(const DdComplex* y, double s, std::vector<DdComplex>& J,
                                    DdComplex* H, DdComplex* Hs, double* termSize) {
  const std::size_t m = start_.size();
  A_.resize(m);
  B_.resize(m);
  const DoubleDouble toTarget = exp(DoubleDouble(s));
  for (std::size_t j = 0; j < m; ++j) {
    const DoubleDouble lift =
        beta_[j] == 0.0 ? DoubleDouble(1.0) : exp(DoubleDouble(beta_[j]) * DoubleDouble(s));
    const DdComplex moving = (toTarget * lift) * delta_[j];
    A_[j] = lift * start_[j] + moving;
    B_[j] = DoubleDouble(beta_[j]) * A_[j] + moving;
  }
  EvaluateDoubleDouble(layout_, A_.data(), B_.data(), y, J, H, Hs, scratch_, termSize);
}

namespace {

// What a continuation tells a re-track: an end point (winding number 1 at a regular root, 0 for
// a point handed to classification) or a failure, with the divergence that caused it.
RetrackResult AsRetrack(DdContinuation&& continued, std::int32_t doubleSteps) {
  RetrackResult result;
  result.y = std::move(continued.y);
  result.steps = doubleSteps + continued.steps;
  result.failed = continued.end != DdEnd::kReached && continued.end != DdEnd::kApproached;
  result.windingNumber = continued.end == DdEnd::kReached ? 1 : 0;
  result.diverged = continued.end == DdEnd::kDiverged;
  result.valuation = continued.valuation;
  return result;
}

// Tracking in double with the limits of a rescue, then, for a path lost close to the target, the
// continuation in double-double from its last accepted point. Paths that grow along a solution
// set while another coordinate tends to 0 are continued too (cohn3's along z = t = 0,
// y (x + 72) = -1728): with the Hermite prediction they take 250 to 370 steps, 0.1 to 0.2 s of
// CPU a path, where Runge-Kutta took thousands.
class TrackThenContinue {
 public:
  TrackThenContinue(Homotopy& homotopy, DdHomotopy& continuation, const RouteConstants& route,
                    const MonomialLayout& layout, std::span<const Complex> target,
                    std::span<const std::int32_t> startDegrees = {})
      : continuation_(continuation), state_(layout.n) {
    context_.startDegrees = startDegrees;
    context_.homotopy = &homotopy;
    context_.route = &route;
    context_.limits = RetrackLimits(RetrackPurpose::kRescue);
    context_.limits.correctionLimit = tracker::kRescueCorrectionLimit;
    context_.target = {layout.n, layout.termCount, layout.exponents, target};
    context_.maxDegree = layout.maxDegree;
  }

  RetrackResult operator()(const Complex* start, double p0) {
    const RouteConstants& route = *context_.route;
    std::int64_t ignoredBlowUps = 0;
    const bool accepted = TrackPath(state_, context_, start, p0, ignoredBlowUps);
    const bool lost =
        state_.failure == PathFailure::kStepUnderflow || state_.failure == PathFailure::kStepLimit;
    if (accepted || !lost) return RetrackOutcome(state_, accepted);
    std::vector<Complex> from;
    double at = 0.0;
    std::int32_t steps = state_.steps;
    if (Distance(state_, route) < kTrackerParameters.endGameZone) {
      // From the end game's start point (the first below distance kEndGame.cauchyRadius), not
      // from the last point: where double precision ends, the Jacobian's condition is 1e12 or
      // more, and the point has drifted along its near null space by up to a fifth of its size
      // (cohn3).
      if (!state_.hasEndGameStart) return RetrackOutcome(state_, accepted);
      from = state_.endGameStart;
      at = state_.endGameStartAt;
    } else {
      // Lost farther out, where the path grew too fast for double precision before any estimate
      // could prove where it goes (cyclic-7 by total degree: |y| = 6e5 at d = 0.035, coordinates
      // from 1e-15 to 6e5; its last accepted point is 2 % off the path, too far for the
      // continuation's first correction): the path is tracked in double-double from its start
      // to where double precision lost it, and continued from there.
      if (!path_steps::AllFinite(state_.yCur)) return RetrackOutcome(state_, accepted);
      at = state_.s;
      const DdTrackResult approach = TrackDoubleDouble(continuation_, start, p0, at);
      steps += approach.steps;
      if (!approach.reached) return RetrackOutcome(state_, accepted);
      from = approach.y;
    }
    if (!path_steps::AllFinite(from)) return RetrackOutcome(state_, accepted);
    const double bound = route.divergenceNeedsBound ? route.divergenceFactor * state_.n : 0.0;
    DdContinuation continued =
        ContinueInDoubleDouble(continuation_, from.data(), at, route.target, bound);
    // The same consistency check as every verdict of tracking in double (divergence_check.h).
    if (continued.end == DdEnd::kDiverged &&
        !DivergenceDirectionPossible(context_.target, context_.startDegrees, continued.direction))
      continued.end = DdEnd::kLost;
    return AsRetrack(std::move(continued), steps);
  }

 private:
  DdHomotopy& continuation_;
  PathState state_;
  PathContext context_;
};

// The homotopies of the total-degree route in double and double-double, and the tracker on them.
struct TotalDegreeContinuation {
  TotalDegreeContinuation(const MonomialLayout& layout, std::span<const Complex> target,
                          std::span<const Complex> q, std::span<const std::int32_t> degree)
      : homotopy(layout, target, q, degree),
        dd(layout, target, q, degree),
        track(homotopy, dd, kTotalDegreeRoute, layout, target, degree) {}
  TotalDegreeHomotopy homotopy;
  DdTotalDegreeHomotopy dd;
  TrackThenContinue track;
};

// The same for the polyhedral route; SetPowers before every path.
struct PolyhedralContinuation {
  PolyhedralContinuation(const MonomialLayout& layout, std::span<const Complex> start,
                         std::span<const Complex> target)
      : delta(Difference(target, start)),
        homotopy(layout, start, delta),
        dd(layout, start, target),
        track(homotopy, dd, kPolyhedralRoute, layout, target) {}
  static std::vector<Complex> Difference(std::span<const Complex> a, std::span<const Complex> b) {
    std::vector<Complex> difference(a.size());
    for (std::size_t j = 0; j < a.size(); ++j) difference[j] = a[j] - b[j];
    return difference;
  }
  void SetPowers(std::span<const double> beta) {
    homotopy.SetPowers(beta);
    dd.SetPowers(beta);
  }
  std::vector<Complex> delta;
  PolyhedralHomotopy homotopy;
  DdPolyhedralHomotopy dd;
  TrackThenContinue track;
};

}  // namespace

RetrackFunction MakeTotalDegreeDdRetrack(const MonomialLayout& layout,
                                         std::span<const Complex> target,
                                         std::span<const Complex> q,
                                         std::span<const std::int32_t> degree,
                                         const BinomialSolutions& startPoints) {
  auto route = std::make_shared<TotalDegreeContinuation>(layout, target, q, degree);
  return [route, &startPoints, n = layout.n](const PathRecord& record, double) {
    const std::int64_t k = record.startIndex - 1;
    if (k < 0 || k >= startPoints.count()) return RetrackResult{{}, 0, true, 0};
    std::vector<Complex> start(static_cast<std::size_t>(n));
    startPoints.Solution(k, start.data());
    if (n > kMostDoubleDoubleVariables) return route->track(start.data(), 0.0);
    return AsRetrack(TrackDoubleDouble(route->dd, start.data(), 0.0, 1.0));
  };
}

RetrackFunction MakePolyhedralDdRetrack(const MonomialLayout& layout,
                                        std::span<const Complex> start,
                                        std::span<const Complex> target,
                                        std::function<CellSetup(std::int64_t)> prepareCell) {
  auto route = std::make_shared<PolyhedralContinuation>(layout, start, target);
  auto cached = std::make_shared<std::pair<std::int64_t, CellSetup>>(-1, CellSetup{});
  return [route, cached, prepareCell, n = layout.n](const PathRecord& record, double) {
    const std::int64_t cell = record.cell - 1;
    if (cached->first != cell) {
      cached->second = prepareCell(cell);
      cached->first = cell;
    }
    const CellSetup& setup = cached->second;
    const std::int64_t k = record.startIndex - 1;
    if (k < 0 || k >= setup.startCount) return RetrackResult{{}, 0, true, 0};
    route->SetPowers(setup.powers.beta);
    std::vector<Complex> start(static_cast<std::size_t>(n));
    setup.starts->Solution(k, start.data());
    if (n > kMostDoubleDoubleVariables) return route->track(start.data(), setup.s0);
    return AsRetrack(TrackDoubleDouble(route->dd, start.data(), setup.s0, 0.0));
  };
}

}  // namespace zormix
