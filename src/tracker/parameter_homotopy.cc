// The parameter homotopy and its route: one path per start root, then the rescue of lost paths
// and the path-jumping check, as on the total-degree route.
#include "tracker/parameter_homotopy.h"

#include <memory>

#include "model/parametric_eval.h"
#include "tracker/path_jumping.h"
#include "tracker/path_state.h"
#include "tracker/path_units.h"
#include "tracker/route_tracking.h"

namespace zormix {

ParameterHomotopy::ParameterHomotopy(const MonomialLayout& layout, const ParameterPath& path)
    : layout_(layout),
      path_(path),
      parameters_(path.start.size()),
      direction_(path.start.size()),
      familyValues_(static_cast<std::size_t>(path.family->termTotal())),
      familySlopes_(static_cast<std::size_t>(path.family->termTotal())),
      A_(path.termOfFamily.size()),
      B_(path.termOfFamily.size()) {
  scratch_.Prepare(layout_);
}

void ParameterHomotopy::UpdateCoefficients(double t) {
  const Complex denominator = (1.0 - t) + path_.gamma * t;
  // At t = 1 exactly the target's values, not gamma / gamma rounded.
  const Complex tau = t == 1.0 ? Complex(1.0, 0.0) : path_.gamma * t / denominator;
  const Complex tauSlope = path_.gamma / (denominator * denominator);
  for (std::size_t l = 0; l < parameters_.size(); ++l) {
    const Complex delta = path_.target[l] - path_.start[l];
    parameters_[l] = t == 1.0 ? path_.target[l] : path_.start[l] + tau * delta;
    direction_[l] = delta * tauSlope;
  }
  EvaluateCoefficients(*path_.family, parameters_, direction_, familyValues_.data(),
                       familySlopes_.data());
  for (std::size_t p = 0; p < A_.size(); ++p) {
    const std::int64_t source = path_.termOfFamily[p];
    const double scale = path_.termScale[p];
    A_[p] = source < 0 ? Complex(0.0, 0.0) : scale * familyValues_[source];
    B_[p] = source < 0 ? Complex(0.0, 0.0) : scale * familySlopes_[source];
  }
  coefficientsAt_ = t;
  coefficientsValid_ = true;
}

std::vector<Complex> ParameterHomotopy::TargetCoefficients() {
  UpdateCoefficients(1.0);
  return A_;
}

void ParameterHomotopy::Evaluate(const Complex* y, double t, ColMajorMatrix<Complex>& J, Complex* H,
                                 Complex* Ht) {
  if (!coefficientsValid_ || coefficientsAt_ != t) UpdateCoefficients(t);
  EvaluateHomotopy(layout_, A_.data(), B_.data(), y, J, H, Ht, scratch_);
  if (!extendedResidual_) return;
  extendedScratch_.assign(A_.begin(), A_.end());
  extendedValues_.resize(static_cast<std::size_t>(layout_.n));
  EvaluateValuesExtended(layout_, extendedScratch_.data(), y, extendedValues_.data(),
                         extendedPowers_, &termSizeMax_);
  for (int i = 0; i < layout_.n; ++i) H[i] = RoundToDouble(extendedValues_[i]);
}

namespace {

struct ParameterRoute {
  const PolySystem& system;
  const ParameterPath& path;
  const ColMajorMatrix<Complex>& startPoints;
  std::vector<std::int32_t> maxDegree;
  MonomialLayout layout;
  std::vector<Complex> targetCoefficients;
  SystemView target;

  ParameterRoute(const PolySystem& s, const ParameterPath& p, const ColMajorMatrix<Complex>& X)
      : system(s), path(p), startPoints(X) {
    maxDegree = MaxDegrees(system.exponents);
    layout = {system.n, system.termCount, &system.exponents, maxDegree};
    targetCoefficients = ParameterHomotopy(layout, path).TargetCoefficients();
    target = {system.n, system.termCount, &system.exponents, targetCoefficients};
  }
};

struct ParameterWorker {
  ParameterWorker(const ParameterRoute& route, const PathLimits& limits)
      : homotopy(route.layout, route.path), state(route.system.n), startPoints(route.startPoints) {
    context.homotopy = &homotopy;
    context.route = &kParameterRoute;
    context.limits = limits;
    context.target = route.target;
    context.maxDegree = route.maxDegree;
  }
  bool Track(std::int64_t k, std::int64_t& blowUps) {
    if (k < 0 || k >= startPoints.cols()) return false;
    return TrackPath(state, context, startPoints.col(k), 0.0, blowUps);
  }

  ParameterHomotopy homotopy;
  PathState state;
  PathContext context;
  const ColMajorMatrix<Complex>& startPoints;
};

// Where first trackings record their points for the jump check: as on the total-degree route,
// every path is a distinct regular solution of H(y, t) = 0 for t < 1.
constexpr double kParameterCheckpoint = 0.9;

RetrackFunction MakeParameterRetrack(const ParameterRoute& route, RetrackPurpose purpose) {
  PathLimits limits = RetrackLimits(purpose);
  limits.initialStep = 0.001;
  auto worker = std::make_shared<ParameterWorker>(route, limits);
  return [worker](const PathRecord& record, double correctionLimit) {
    worker->context.limits.correctionLimit = correctionLimit;
    std::int64_t ignoredBlowUps = 0;
    const bool accepted = worker->Track(record.startIndex - 1, ignoredBlowUps);
    return RetrackOutcome(worker->state, accepted);
  };
}

}  // namespace

TrackingOutcome TrackParameterHomotopy(const PolySystem& target, const ParameterPath& path,
                                       const ColMajorMatrix<Complex>& startPoints,
                                       RuntimeUniform& runtime, const TrackingOptions& options) {
  const ParameterRoute route(target, path, startPoints);
  RouteTracking tracking(target.n, startPoints.cols(), true);
  auto makeWorker = [&]() -> UnitFunction {
    PathLimits limits;
    limits.checkpoint = kParameterCheckpoint;
    limits.polishNearTarget = true;
    auto worker = std::make_shared<ParameterWorker>(route, limits);
    return [&, worker](std::int64_t unit) {
      UnitOutcome& outcome = tracking.outcomes[unit];
      outcome.startIndex = static_cast<std::int32_t>(unit + 1);
      const bool recorded = worker->Track(unit, outcome.blowUps);
      tracking.Record(unit, recorded, worker->state);
    };
  };
  return TrackRoute(
      tracking, makeWorker,
      [&route](RetrackPurpose purpose) { return MakeParameterRetrack(route, purpose); },
      route.target, runtime, options);
}

}  // namespace zormix
