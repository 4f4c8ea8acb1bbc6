#include "tracker/endgame/valuation_history.h"

#include <cmath>

#include "tracker/endgame/end_game.h"

namespace zormix {

void ValuationHistory::ResetRun() {
  reference.distance = 0.0;
  earlier.distance = 0.0;
  oldest.distance = 0.0;
  runStart.distance = 0.0;
  limit = 0.0;
  tightSpans = 0;
}

void ValuationHistory::Reset() {
  ResetRun();
  latest.distance = 0.0;
}

namespace {

// The exponent of the growth of max |y_j| from `from` to `to`: log(|y_to| / |y_from|) / log(d_to /
// d_from).
double GrowthExponent(const ValuationSample& from, const ValuationSample& to) {
  return std::log(to.norm / from.norm) / std::log(to.distance / from.distance);
}

// Whether max |y_j| grew from `from` to `to` as d^v does (v the estimate at `to`), within
// kEndGame.growthAgreement: the exponent log(|y| / |y_from|) / log(d / d_from) of the sizes
// themselves against the estimate. An estimate is a derivative at one point; the sizes over a
// span check it on the path as a whole, so that a point where the path turns does not pass for a
// divergence.
bool SizesFollowValuation(const ValuationSample& from, const ValuationSample& to) {
  const double exponent = GrowthExponent(from, to);
  return std::abs(exponent - to.value) <= kEndGame.growthAgreement * std::abs(to.value);
}

// Whether max |y_j| grew over two spans in a row (together at least kEndGame.underflowSpan^2 in
// the distance) with exponents below -divergingValuation that agree within
// kEndGame.growthAgreement, the latter agreeing as well with the latest estimate or with the limit
// extrapolated from the estimates (`limit`, 0: none). A slow divergence whose estimates still drift
// (stewgou40's v = -1/3 paths: -0.386, -0.372, -0.365 at d = 1.2e-7, 3e-8, 1.2e-8, extrapolated
// -0.344, with growth exponents -0.324 and -0.327) grows steadily; a path that turns towards a
// large root grows ever more slowly (cohn3's paths lost near d = 1e-6: exponents -0.22, -0.19).
// Only within kEndGame.steadyGrowthZone of the target and beyond kEndGame.steadyGrowthNorm: far
// out, a path the tracker lost on its way to a root can grow steadily for a while (Wilkinson's
// polynomial of degree 20: |y| = 4.9, 7.1, 7.3 at d = 8e-3, 1.9e-3, 1.8e-3, exponents -0.26,
// -0.28; double-double brings it to its root).
bool SizesGrowSteadily(const ValuationSample& earlier, const ValuationSample& reference,
                       const ValuationSample& latest, double limit) {
  if (!(earlier.distance > 0.0 && reference.distance > 0.0 && latest.distance > 0.0)) return false;
  if (!(latest.distance <= kEndGame.steadyGrowthZone && latest.norm >= kEndGame.steadyGrowthNorm))
    return false;
  if (!(latest.distance * kEndGame.underflowSpan * kEndGame.underflowSpan <= earlier.distance))
    return false;
  const double first = GrowthExponent(earlier, reference);
  const double second = GrowthExponent(reference, latest);
  auto follows = [second](double v) {
    return std::abs(second - v) <= kEndGame.growthAgreement * std::abs(v);
  };
  return second < -kEndGame.divergingValuation && first < -kEndGame.divergingValuation &&
         std::abs(second - first) <= kEndGame.growthAgreement * std::abs(second) &&
         (follows(latest.value) || (limit < 0.0 && follows(limit)));
}

// Whether max |y_j| grew at one rate over the last three span estimates and on to the latest,
// within kEndGame.steadyGrowthZone of the target, whatever its size: the exponents of the two
// spans (oldest to earlier, earlier to reference) and of the whole run (oldest to latest) lie
// below -divergingValuation and agree within kEndGame.growthAgreement, as does the reference's
// estimate. A path converging to a point y* has |y(d)| - |y*| ~ c d^(1/m), whose growth exponent
// shrinks by 4^(-1/m) a span (m <= 6: by a fifth at least); a pole keeps it. cyclic-9's paths to
// infinity with v = -1/6 lose the step at |y| ~ 80 where the Jacobian's condition reaches 1e14 and
// single estimates scatter by a few percent, while their sizes grow as d^-0.16 from d = 1e-7 on.
bool SizesGrowAtOneRate(const ValuationSample& oldest, const ValuationSample& earlier,
                        const ValuationSample& reference, const ValuationSample& latest) {
  if (!(oldest.distance > 0.0 && earlier.distance > 0.0 && reference.distance > 0.0 &&
        latest.distance > 0.0 && oldest.distance <= kEndGame.steadyGrowthZone))
    return false;
  const double first = GrowthExponent(oldest, earlier);
  const double second = GrowthExponent(earlier, reference);
  const double whole = GrowthExponent(oldest, latest);
  auto agrees = [second](double e) {
    return std::abs(e - second) <= kEndGame.growthAgreement * std::abs(second);
  };
  return second < -kEndGame.divergingValuation && agrees(first) && agrees(whole) &&
         agrees(reference.value);
}

bool SameValuation(const ValuationSample& from, const ValuationSample& to, double agreement) {
  return std::abs(to.value - from.value) <= agreement * std::abs(to.value);
}

// The limit of the estimates of three spans in a row by Aitken's extrapolation. Close to the
// target v(d) = v + c d^{1/m} + ..., so estimates taken a ratio q apart in d differ by steps that
// shrink by r = q^{-1/m} each span, and v = v_3 + (v_3 - v_2) r / (1 - r). The estimates of a
// slow divergence approach their limit as slowly as its terms (reimer5's and stewgou40's v = -1/3
// paths still drift by 2 % a span at d = 1e-7, where the step underflows); their limit stays put.
// Without a geometric decrease (r outside (0, kEndGame.extrapolationRatio)) the latest estimate
// is kept.
double ExtrapolatedValuation(double v1, double v2, double v3) {
  const double r = (v3 - v2) / (v2 - v1);
  if (!(r > 0.0 && r < kEndGame.extrapolationRatio)) return v3;
  return v3 + (v3 - v2) * r / (1.0 - r);
}

// Whether the estimate `to` agrees within kEndGame.tightValuationAgreement with `from`, taken at
// least kEndGame.underflowSpan times farther from the target, and max |y_j| grew like d^v in
// between.
bool EstimatesKeptOverSpan(const ValuationSample& from, const ValuationSample& to) {
  return from.distance > 0.0 && to.distance > 0.0 &&
         to.distance <= from.distance / kEndGame.underflowSpan &&
         SameValuation(from, to, kEndGame.tightValuationAgreement) &&
         SizesFollowValuation(from, to);
}

}  // namespace

std::optional<DivergenceProof> ObserveValuation(ValuationHistory& history,
                                                const ValuationSample& sample, bool polyhedral) {
  const double v = sample.value;
  history.latest = sample;
  if (history.runStart.distance == 0.0) history.runStart = sample;
  const ValuationSample& reference = history.reference;
  const bool hasReference = reference.distance > 0.0;
  if (hasReference && sample.distance > reference.distance / kEndGame.valuationSpan)
    return std::nullopt;
  const bool sizesFollow = hasReference && SizesFollowValuation(reference, sample);
  const bool consistent = polyhedral || sizesFollow;
  const double limit = history.earlier.distance > 0.0
                           ? ExtrapolatedValuation(history.earlier.value, reference.value, v)
                           : v;
  const bool limitKept =
      history.limit < 0.0 &&
      std::abs(limit - history.limit) <= kEndGame.tightValuationAgreement * std::abs(limit);
  const bool tight =
      consistent && hasReference &&
      (SameValuation(reference, sample, kEndGame.tightValuationAgreement) || limitKept);
  history.tightSpans = tight ? history.tightSpans + 1 : 0;
  // Beyond any root's size one agreement suffices: of the estimates, or on the polyhedral route of
  // the sizes with the estimate (stewgou40's poles drift from v = -1.4 to -1.2 while |y| grows
  // from 1e4 to 3e5, and the step underflows there). A slow divergence (reimer5's v = -1/5 reaches
  // only |y| ~ 70 at d = 1e-10) must keep its estimate or extrapolated limit to
  // tracker.tight_valuation_agreement over tracker.tight_valuation_spans spans in a row.
  const bool agreeing =
      SameValuation(reference, sample, kEndGame.valuationAgreement) || (polyhedral && sizesFollow);
  const bool large = consistent && hasReference && agreeing && sample.norm > kEndGame.infinityNorm;
  const bool slow = history.tightSpans >= kEndGame.tightValuationSpans;
  history.oldest = history.earlier;
  history.earlier = history.reference;
  history.reference = sample;
  history.limit = limit;
  if (slow) return DivergenceProof{DivergenceRule::kSlowDivergence, limit};
  if (large) return DivergenceProof{DivergenceRule::kEstimatesAgree, v};
  return std::nullopt;
}

std::optional<DivergenceProof> ObserveEstimate(ValuationHistory& history,
                                               const ValuationSample& sample, bool polyhedral) {
  if (!(sample.distance < kEndGame.valuationZone)) return std::nullopt;
  if (!(sample.value < -kEndGame.divergingValuation)) {
    history.ResetRun();
    return std::nullopt;
  }
  return ObserveValuation(history, sample, polyhedral);
}

std::optional<DivergenceProof> ProveDivergenceAfterUnderflow(const ValuationHistory& history) {
  const auto proven = [](DivergenceRule rule, double v) { return DivergenceProof{rule, v}; };
  const ValuationSample& to = history.latest;
  // The last span's estimate where it lies far enough out (it has converged further than the
  // first estimates of the run), else the first of the run.
  const ValuationSample& from = history.reference.distance >= kEndGame.underflowSpan * to.distance
                                    ? history.reference
                                    : history.runStart;
  if (!(from.distance > 0.0 && to.distance > 0.0)) return std::nullopt;
  if (EstimatesKeptOverSpan(from, to)) return proven(DivergenceRule::kKeptOverSpan, to.value);
  // The latest estimate was taken where the step then collapsed: where the Jacobian's condition
  // approaches 1/u the tangent J^{-1} dH/dp it comes from is off by about cond u, and so is the
  // estimate (cyclic-9's paths to infinity with v = -1/6: condition 1e14 at d = 5e-9, estimates
  // scattered by 1 %, the last one 5 % off). The last two spans' estimates, taken before, prove it
  // as well.
  if (EstimatesKeptOverSpan(history.earlier, history.reference))
    return proven(DivergenceRule::kLastSpansKept, history.reference.value);
  // A slow divergence whose extrapolated limit kept over the last spans, with sizes that grew
  // like d^v over the last two.
  const ValuationSample& earlier = history.earlier;
  if (history.tightSpans >= kEndGame.underflowTightSpans && earlier.distance > 0.0 &&
      SizesFollowValuation(earlier, to))
    return proven(DivergenceRule::kLimitKept, history.limit);
  if (SizesGrowSteadily(earlier, history.reference, to, history.limit))
    return proven(DivergenceRule::kSteadyGrowth, GrowthExponent(history.reference, to));
  if (SizesGrowAtOneRate(history.oldest, earlier, history.reference, to))
    return proven(DivergenceRule::kGrowthAtOneRate, GrowthExponent(history.oldest, to));
  return std::nullopt;
}

}  // namespace zormix
