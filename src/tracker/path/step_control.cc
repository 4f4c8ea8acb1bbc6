// Step-size control after an accepted step, and the end-game tests close to the target.
#include <algorithm>
#include <cmath>

#include "tracker/path/path_state.h"
#include "tracker/path/path_steps.h"

namespace zormix {

using namespace path_steps;

namespace {

// Polyhedral route: d/3 far out, 0.05 in between, the whole rest within 0.05 of the target.
void LimitByDistanceZones(PathState& st, double hc, double d) {
  double hmax;
  if (d >= 0.15) {
    hmax = d / 3.0;
  } else if (d > 0.05) {
    hmax = 0.05;
  } else {
    hmax = d;
    st.finalStep = true;
  }
  st.stepSize = hmax;
  if (hc < hmax) {
    st.stepSize = hc;
    st.finalStep = false;
    if (std::abs(hc - d) < 1e-16) {
      st.finalStep = true;
      st.stepSize = d;
    }
  }
}

}  // namespace

void ControlStep(PathState& st, const RouteConstants& route) {
  ++st.steps;
  double hc;
  if (st.successCount < 2) {
    hc = st.stepSize;
    ++st.successCount;
  } else {
    hc = 2.0 * st.stepSize;
    st.successCount = 0;
  }
  st.lastStep = st.stepSize;
  const double d = Distance(st, route);
  if (route.distanceZones) {
    LimitByDistanceZones(st, hc, d);
  } else {
    st.stepSize = hc;
    if (d < hc) {
      st.finalStep = true;
      st.successCount = 0;
      st.stepSize = d;
    }
  }
  st.tolerance = ToleranceAt(st.jacobian, st.y);
  st.tolerance = std::min(st.tolerance, st.s < route.looseToleranceBelow
                                            ? tracker::kLooseToleranceCap.value()
                                            : tracker::kTightToleranceCap.value());
  st.yPrev = st.yCur;
  st.yCur = st.y;
}

void DivergenceVerdict(PathState& st, const RouteConstants& route, PathFailure verdict) {
  const bool withinBound = MaxNorm(st.y) <= route.divergenceFactor * st.n;
  if (st.deferDivergence && withinBound) {
    // A divergence outranks a singular end noted before: coordinates shrink as others grow.
    if (!st.divergenceDeferred || verdict == PathFailure::kDiverged) st.deferredVerdict = verdict;
    st.divergenceDeferred = true;
  } else if (route.divergenceNeedsBound && withinBound && verdict == PathFailure::kDiverged) {
    return;  // a large root reached late looks like a pole until then
  } else {
    Fail(st, verdict);
  }
}

void CheckEndGame(PathState& st, const RouteConstants& route) {
  const double normPrev = MaxNorm(st.yPrev);
  const double normCur = MaxNorm(st.yCur);
  if (normPrev > route.divergenceFactor * st.n && normPrev < normCur && normCur < MaxNorm(st.y))
    Fail(st, PathFailure::kDiverged);
  const double d = Distance(st, route);
  if (!(d < kTrackerParameters.exponentZone)) return;
  // Exponent p of |y_j| ~ K d^p from the last three points, at distances dPrev > dCur > d.
  const double dCur = st.stepSize + d;
  const double dPrev = route.olderDistanceFromStepsFirst ? st.lastStep + st.stepSize + d
                                                         : d + st.stepSize + st.lastStep;
  auto modulus = [&route](const Complex& z) {
    const double r = std::abs(z);
    return r == 0.0 ? route.zeroModulus : r;
  };
  // One verdict from all coordinates. A path whose valuation estimates run below
  // -tracker.diverging_valuation (the end game's evidence of a coordinate heading to infinity,
  // tracker/endgame/valuation_history.h) does not end at a singular point, however its other
  // coordinates shrink: cyclic-8's paths to infinity by the total-degree route shrink some
  // coordinates like d^0.7 while others grow like d^-0.4, or only like d^-0.12, too slowly for the
  // verdict here. Handed over as end points near the target, they were refused as points of no
  // root and no set, or put on sets far from where they were (butcher by total degree: residues
  // 1e6). The end game decides them instead.
  const bool headsToInfinity = st.valuations.runStart.distance > 0.0;
  const double agree = tracker::kSizeTestAgreement;
  const double diverging = tracker::kSizeTestDivergingExponent;
  bool diverges = false, shrinksFractionally = false;
  for (int j = 0; j < st.n; ++j) {
    if (!st.watched[j]) continue;
    const double a = modulus(st.yPrev[j]);
    const double b = modulus(st.yCur[j]);
    const double c = modulus(st.y[j]);
    const double p2 = std::log(a / b) / std::log(dPrev / dCur);
    const double p1 = std::log(b / c) / std::log(dCur / d);
    const double p3 = p1 - (p2 - p1) * dCur / st.lastStep;
    if (std::abs(p1) < agree && std::abs(p3) < agree && std::abs(p2) < agree) {
      st.watched[j] = 0;  // tends to a finite nonzero value
      continue;
    }
    if (!(std::abs(p2 - p1) < agree && std::abs(p1 - p3) < agree)) continue;
    if (p1 < -diverging && p2 < -diverging) {
      // Tends to infinity like d^p1: the verdict's exponent unless an estimate came first.
      if (st.valuation == 0.0 && std::isfinite(p1)) st.valuation = p1;
      diverges = true;
    }
    // Tends to zero with a fractional power.
    shrinksFractionally = shrinksFractionally || (tracker::kSizeTestFractionLow < p3 &&
                                                  p3 < tracker::kSizeTestFractionHigh);
  }
  if (diverges) {
    DivergenceVerdict(st, route, PathFailure::kDiverged);
  } else if (shrinksFractionally && !headsToInfinity) {
    DivergenceVerdict(st, route, PathFailure::kSingularEnd);
  }
}

}  // namespace zormix
