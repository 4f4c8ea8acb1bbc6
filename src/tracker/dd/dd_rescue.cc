#include "tracker/dd/dd_rescue.h"

#include <algorithm>
#include <cmath>

#include "base/newton.h"
#include "model/dd_system.h"
#include "tracker/endgame/end_game.h"
#include "tracker/jumps/path_waypoint.h"
#include "tracker/parameters.h"
#include "tracker/path/path_steps.h"

namespace zormix {
namespace {

bool StillLost(const UnitOutcome& outcome) {
  return outcome.status == PathStatus::kStepUnderflow || outcome.status == PathStatus::kStepLimit;
}

// Whether the target's Jacobian at y, its rows brought to unit size first (a regular root of a
// badly scaled equation has tiny derivatives), looks singular (end_game.h).
bool JacobianLooksSingular(const SystemView& target, std::span<const std::int32_t> maxDegree,
                           const Complex* y) {
  ColMajorMatrix<Complex> J(target.n, target.n), work(target.n, target.n);
  std::vector<Complex> F;
  EvaluateSystem(target, maxDegree, y, J, F);
  for (std::int64_t i = 0; i < J.rows(); ++i) {
    double largest = 0.0;
    for (std::int64_t k = 0; k < J.cols(); ++k) largest = std::max(largest, std::abs(J(i, k)));
    for (std::int64_t k = 0; k < J.cols() && largest > 0.0; ++k) J(i, k) /= largest;
  }
  return LooksSingular(J, work);
}

// Units whose end points coincide with another's (within 1e-8) at a point where the target's
// Jacobian is regular: two paths at one regular root, so one of them jumped there.
std::vector<std::int64_t> SharedRegularEndPoints(const RouteTracking& tracking,
                                                 const PointSlots& points, const SystemView& target,
                                                 std::span<const std::int32_t> maxDegree) {
  std::vector<std::uint8_t> recorded(static_cast<std::size_t>(tracking.total));
  for (std::int64_t u = 0; u < tracking.total; ++u)
    recorded[u] = tracking.outcomes[static_cast<std::size_t>(u)].recorded() ? 1 : 0;
  std::vector<std::int64_t> shared;
  for (std::int64_t u : CoincidingWaypoints(points, recorded))
    if (!JacobianLooksSingular(target, maxDegree, points.col(u))) shared.push_back(u);
  return shared;
}

constexpr int kLimitSteps = 8;
constexpr double kLimitAccuracy = 1e-12;  // relative Newton step at which the limit is taken

// Newton's method in double-double from y on `target`: y becomes the limit when a step falls
// below kLimitAccuracy within kLimitSteps steps that each shrink; y is left as it was otherwise.
struct LimitRule : NewtonRuleBase {
  const MonomialLayout& layout;
  const std::vector<DdComplex>& A;
  std::vector<DdComplex> J, F;
  DdScratch scratch;
  DdLu lu;

  const DdComplex* Correction(std::span<DdComplex> w) {
    EvaluateDoubleDouble(layout, A.data(), nullptr, w.data(), J, F.data(), nullptr, scratch);
    if (!lu.Factor(layout.n, J)) return nullptr;
    lu.Solve(F.data());
    return F.data();
  }
  double Size(const DdComplex*, std::span<DdComplex>) const { return MaxAbs(F); }
  NewtonVerdict AfterApplying(const NewtonCorrection<double>& c, std::span<const DdComplex> w) {
    if (!(c.size < c.previous)) return NewtonVerdict::kRejected;
    return c.size <= kLimitAccuracy * std::max(1.0, MaxAbs(w)) ? NewtonVerdict::kConverged
                                                               : NewtonVerdict::kContinue;
  }
};

bool NewtonLimit(const SystemView& target, std::span<const std::int32_t> maxDegree, Complex* y) {
  const int n = target.n;
  const MonomialLayout layout{n, target.termCount, target.exponents, maxDegree};
  const std::vector<DdComplex> A(target.coefficients.begin(), target.coefficients.end());
  std::vector<DdComplex> w(y, y + n);
  LimitRule rule{{}, layout, A, {}, std::vector<DdComplex>(static_cast<std::size_t>(n)), {}, {}};
  if (!Newton(std::span<DdComplex>(w), kLimitSteps, rule).converged()) return false;
  for (int j = 0; j < n; ++j) y[j] = static_cast<Complex>(w[j]);
  return true;
}

}  // namespace

double DoubleDoubleBackwardError(const SystemView& target, std::span<const std::int32_t> maxDegree,
                                 const Complex* y) {
  const int n = target.n;
  const MonomialLayout layout{n, target.termCount, target.exponents, maxDegree};
  const std::vector<DdComplex> A(target.coefficients.begin(), target.coefficients.end());
  const std::vector<DdComplex> point(y, y + n);
  std::vector<DdComplex> J, F(static_cast<std::size_t>(n));
  std::vector<double> size(static_cast<std::size_t>(n));
  DdScratch scratch;
  EvaluateDoubleDouble(layout, A.data(), nullptr, point.data(), J, F.data(), nullptr, scratch,
                       size.data());
  double largest = 0.0;
  for (int i = 0; i < n; ++i)
    if (size[i] > 0.0) largest = std::max(largest, AbsDouble(F[i]) / size[i]);
  return largest;
}

namespace {

// Whether the end point of unit u, recorded by tracking in double, solves nothing: its backward
// error is beyond kUnsolvedBackwardError, or beyond kDoubtfulBackwardError while Newton's method
// in double-double does not settle from it (not for the end game's points).
bool Unsolved(const RouteTracking& tracking, std::int64_t u, const SystemView& target,
              std::span<const std::int32_t> maxDegree) {
  const UnitOutcome& outcome = tracking.outcomes[static_cast<std::size_t>(u)];
  if (!outcome.recorded()) return false;
  const Complex* y = tracking.endPoints.col(u);
  // The end game's points are singular ones unless the Jacobian says otherwise.
  if (outcome.status == PathStatus::kEndGame && JacobianLooksSingular(target, maxDegree, y))
    return false;
  const double error = DoubleDoubleBackwardError(target, maxDegree, y);
  if (error > kUnsolvedBackwardError) return true;
  // The end game extrapolates to about 1e-10, which leaves backward errors above the doubtful.
  if (error <= kDoubtfulBackwardError || outcome.status == PathStatus::kEndGame) return false;
  std::vector<Complex> limit(y, y + target.n);
  return !NewtonLimit(target, maxDegree, limit.data());
}

}  // namespace

std::vector<std::int64_t> UnitsForDoubleDouble(const RouteTracking& tracking,
                                               const SystemView& target) {
  const std::vector<std::int32_t> maxDegree = MaxDegrees(*target.exponents);
  std::vector<std::uint8_t> chosen(static_cast<std::size_t>(tracking.total), 0);
  for (std::int64_t u = 0; u < tracking.total; ++u) {
    const UnitOutcome& outcome = tracking.outcomes[static_cast<std::size_t>(u)];
    chosen[u] = StillLost(outcome) || Unsolved(tracking, u, target, maxDegree) ? 1 : 0;
  }
  for (std::int64_t u : SharedRegularEndPoints(tracking, tracking.endPoints, target, maxDegree))
    chosen[u] = 1;
  const auto most = static_cast<std::size_t>(tracker::kMostDoubleDoubleUnits.value());
  std::vector<std::int64_t> units;
  for (std::int64_t u = 0; u < tracking.total && units.size() < most; ++u)
    if (chosen[u]) units.push_back(u);
  return units;
}

namespace {

// The units still lost after the rescues, in unit order, at most tracker.most_continued_paths.
std::vector<std::int64_t> LostUnits(const RouteTracking& tracking) {
  const auto most = static_cast<std::size_t>(tracker::kMostContinuedPaths.value());
  std::vector<std::int64_t> units;
  for (std::int64_t u = 0; u < tracking.total && units.size() < most; ++u)
    if (StillLost(tracking.outcomes[static_cast<std::size_t>(u)])) units.push_back(u);
  return units;
}

// Re-tracks `units` in double-double; each unit writes only its own slot.
void RetrackUnits(RouteTracking& tracking, const std::vector<std::int64_t>& units,
                  const RetrackFactory& makeRetrack, int threads, PathCounts& counts) {
  if (units.empty()) return;
  std::vector<std::uint8_t> wasLost(units.size());
  for (std::size_t i = 0; i < units.size(); ++i)
    wasLost[i] = StillLost(tracking.outcomes[static_cast<std::size_t>(units[i])]) ? 1 : 0;
  const int rows = static_cast<int>(tracking.endPoints.rows());
  auto makeWorker = [&]() -> UnitFunction {
    RetrackFunction retrack = makeRetrack(RetrackPurpose::kDoubleDouble);
    return [&, retrack](std::int64_t i) {
      const std::int64_t unit = units[static_cast<std::size_t>(i)];
      UnitOutcome& outcome = tracking.outcomes[static_cast<std::size_t>(unit)];
      PathRecord record;
      record.cell = outcome.cell;
      record.startIndex = outcome.startIndex;
      const RetrackResult result = retrack(record, 0.0);
      outcome.steps += result.steps;
      if (result.failed && result.diverged) {
        outcome.status = PathStatus::kDiverged;
        outcome.valuation = result.valuation;
        return;
      }
      if (result.failed || result.y.size() != static_cast<std::size_t>(rows) ||
          !path_steps::AllFinite(result.y))
        return;
      std::copy(result.y.begin(), result.y.end(), tracking.endPoints.col(unit));
      // A regular root; or (winding number 0) a point close to a singular end, which the
      // classification examines as the last point of a path approaching it.
      outcome.status = result.windingNumber == 1 ? PathStatus::kRescued : PathStatus::kEndGame;
      outcome.windingNumber = result.windingNumber == 1 ? 1 : 0;
      outcome.valuation = 0.0;
      outcome.blowUps = 0;
    };
  };
  RunUnitsInParallel(static_cast<std::int64_t>(units.size()), threads, makeWorker, [] {});
  for (std::size_t i = 0; i < units.size(); ++i) {
    const bool rescued =
        tracking.outcomes[static_cast<std::size_t>(units[i])].status == PathStatus::kRescued;
    counts.rescued += wasLost[i] && rescued ? 1 : 0;
  }
}

}  // namespace

void RetrackInDoubleDouble(RouteTracking& tracking, const SystemView& target,
                           const RetrackFactory& makeRetrack, int threads, PathCounts& counts) {
  if (target.n > kMostDoubleDoubleVariables) {
    RetrackUnits(tracking, LostUnits(tracking), makeRetrack, threads, counts);
    return;
  }
  const std::vector<std::int64_t> first = UnitsForDoubleDouble(tracking, target);
  if (first.empty()) return;
  RetrackUnits(tracking, first, makeRetrack, threads, counts);
  // A path brought home may land where a path of the first tracking jumped: that one goes too,
  // and its re-track may land where another jumped (Wilkinson's polynomial of degree 20 needs
  // three such passes), so the check repeats until no new path shares a root, each path
  // re-tracked once and at most tracker.most_double_double_units in these passes. The end points of
  // tracking in double near such roots are off by far more than the 1e-8 at which points coincide,
  // so they are compared where Newton's method takes them.
  const std::vector<std::int32_t> maxDegree = MaxDegrees(*target.exponents);
  std::vector<std::int64_t> retracked = first;
  // Re-tracks of these passes together.
  auto budget = static_cast<std::size_t>(tracker::kMostDoubleDoubleUnits.value());
  while (budget > 0) {
    PointSlots limits = tracking.endPoints;
    for (std::int64_t u = 0; u < tracking.total; ++u) {
      if (tracking.outcomes[static_cast<std::size_t>(u)].recorded())
        NewtonLimit(target, maxDegree, limits.col(u));
    }
    std::vector<std::int64_t> next;
    for (std::int64_t u : SharedRegularEndPoints(tracking, limits, target, maxDegree))
      if (!std::binary_search(retracked.begin(), retracked.end(), u) && next.size() < budget)
        next.push_back(u);
    if (next.empty()) break;
    RetrackUnits(tracking, next, makeRetrack, threads, counts);
    budget -= next.size();
    retracked.insert(retracked.end(), next.begin(), next.end());
    std::sort(retracked.begin(), retracked.end());
  }
}

}  // namespace zormix
