// The valuation estimates of a path close to the target, and the verdict "tends to infinity" as a
// function of them alone.
//
// Near the target a path is a Puiseux series y_j(d) = c_j d^{v_j} (1 + O(d^{1/m})) in the distance
// d, and v_j(d) = Re(d y_j'(d) / y_j) tends to v_j (tracker/endgame/end_game.h). The history keeps
// the smallest estimate over the coordinates at distances a span (tracker.valuation_span) apart,
// with the size max |y_j| there. Whether those estimates prove a divergence, and with which
// exponent, depends on nothing else: the functions below take the history and return the proof,
// so that each rule can be tested without tracking a path.
#ifndef ZORMIX_TRACKER_ENDGAME_VALUATION_HISTORY_H_
#define ZORMIX_TRACKER_ENDGAME_VALUATION_HISTORY_H_

#include <cstdint>
#include <optional>

namespace zormix {

// A valuation estimate with where it was taken.
struct ValuationSample {
  double distance = 0.0;  // distance to the target; 0: no sample
  double value = 0.0;     // the smallest estimate over the coordinates
  double norm = 0.0;      // max |y_j|
};

// The estimates of the current run of negative estimates (below -tracker.diverging_valuation).
struct ValuationHistory {
  ValuationSample reference;  // the estimate of the last span (distance 0: none)
  ValuationSample earlier;    // the estimate of the span before it (distance 0: none)
  ValuationSample oldest;     // the estimate of the span before that (distance 0: none)
  double limit = 0.0;         // the limit extrapolated at the last span (0: none)
  ValuationSample runStart;   // the first estimate since the estimates turned negative
  ValuationSample latest;     // the latest estimate (kept across runs, for the size test)
  int tightSpans = 0;         // spans in a row over which the limit kept to tight agreement

  // Forgets the run: the estimates turned non-negative.
  void ResetRun();
  // Forgets everything: a path begins.
  void Reset();
};

// Which rule proved a divergence (docs/verdicts.md).
enum class DivergenceRule : std::uint8_t {
  kEstimatesAgree,   // estimates a span apart agree beyond tracker.infinity_norm
  kSlowDivergence,   // the extrapolated limit kept over tracker.tight_valuation_spans spans
  kKeptOverSpan,     // after an underflow: estimates kept over tracker.underflow_span
  kLastSpansKept,    // after an underflow: the last two spans' estimates kept
  kLimitKept,        // after an underflow: the extrapolated limit kept, sizes following
  kSteadyGrowth,     // after an underflow: sizes grew steadily over two spans
  kGrowthAtOneRate,  // after an underflow: sizes grew at one rate over three spans
};

// A divergence proved by the estimates, with the exponent that proved it.
struct DivergenceProof {
  DivergenceRule rule;
  double exponent;  // the agreeing estimate, the extrapolated limit or the growth rate (< 0)
};

// Adds a sample taken at distance `sample.distance` after an accepted step within
// tracker.valuation_zone, and returns the proof when the run now proves a divergence:
// beyond tracker.infinity_norm two estimates a span apart that agree within
// tracker.valuation_agreement (on the polyhedral route, or the sizes following the estimate),
// or a slow divergence whose estimates or extrapolated limits kept to
// tracker.tight_valuation_agreement over tracker.tight_valuation_spans spans in a row. On the
// total-degree route (`polyhedral` false) the sizes must follow the estimates as well: paths that a
// rescue brings home and paths that turn towards a large root show stable estimates for a while
// too.
std::optional<DivergenceProof> ObserveValuation(ValuationHistory& history,
                                                const ValuationSample& sample, bool polyhedral);

// The rule both tracking in double and the continuation in double-double apply to the smallest
// estimate and the size at a point at distance `sample.distance`: outside tracker.valuation_zone
// nothing; an estimate not below -tracker.diverging_valuation ends the run of negative estimates;
// any other goes to ObserveValuation.
std::optional<DivergenceProof> ObserveEstimate(ValuationHistory& history,
                                               const ValuationSample& sample, bool polyhedral);

// Whether the estimates of a path whose step underflowed prove it diverging (the rules
// kKeptOverSpan to kGrowthAtOneRate, in that order). Such paths lose the step because the terms
// of the equations (|y|^degree) have outgrown what double precision resolves, not because the
// path is lost.
std::optional<DivergenceProof> ProveDivergenceAfterUnderflow(const ValuationHistory& history);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_ENDGAME_VALUATION_HISTORY_H_
