#include "tracker/parameters.h"

#include "base/numeric.h"

namespace zormix::tracker {

// ---- The path loop and its corrector -----------------------------------------------------------

const Parameter kCorrectorToleranceFactor{
    {.name = "tracker.corrector_tolerance_factor",
     .value = 1e-7,
     .lowest = 1e-9,
     .highest = 1e-6,
     .decides = "the residual the corrector must reach, this times sqrt(max(1, |J|_1) max(1, |y|))",
     .reason = "half the digits of double: tight enough to keep neighbouring paths apart, loose "
               "enough that a step needs two or three corrections"}};
const Parameter kStartResidual{
    {.name = "tracker.start_residual",
     .value = 1e-7,
     .lowest = 1e-10,
     .highest = 1e-6,
     .decides = "the residual below which Newton's method at a start point stops",
     .reason =
         "the corrector tolerance at a start point of size 1: the first step needs no better"}};
const Parameter kStartIterationCap{
    {.name = "tracker.start_iteration_cap",
     .value = 100,
     .lowest = 20,
     .highest = 500,
     .decides = "the most Newton iterations at a start point",
     .reason = "an exact start point's residual can stay put above tracker.start_residual; each "
               "iteration must still make progress, so the cap only bounds the stalls"}};
const Parameter kMinFirstStep{
    {.name = "tracker.min_first_step",
     .value = 1e-16,
     .lowest = 1e-18,
     .highest = 1e-13,
     .decides = "the step below which the first step along the start tangent fails",
     .reason = "the unit roundoff of the parameter: a smaller step no longer moves it"}};
const Parameter kMinStep{
    {.name = "tracker.min_step",
     .value = 1e-10,
     .lowest = 1e-12,
     .highest = 1e-9,
     .decides = "the step below which a halved step underflows and the path is lost, away from the "
                "target",
     .reason = "a million units of the parameter: below it the corrector only chases rounding"}};
const Parameter kSmallStep{
    {.name = "tracker.small_step",
     .value = 1e-4,
     .lowest = 1e-5,
     .highest = 1e-3,
     .decides = "the step below which the corrector allows more, slower iterations and the "
                "correction limit may be raised far out",
     .reason = "where steps are this small the path turns sharply and the prediction is poor"}};
const Parameter kEndGameZone{
    {.name = "tracker.end_game_zone",
     .value = 1e-4,
     .lowest = 1e-5,
     .highest = 1e-3,
     .decides = "the distance to the target within which the size test of the end game runs and a "
                "halved step underflows at the route's min_step_near_target",
     .reason = "within it every path's Puiseux series has settled to its leading terms on the "
               "benchmark families; farther out a pole and a turn look alike"}};
const Parameter kExponentZone{
    {.name = "tracker.exponent_zone",
     .value = 1e-8,
     .lowest = 1e-9,
     .highest = 1e-6,
     .decides = "the distance within which the size test estimates exponents of |y_j| from three "
                "points",
     .reason = "the three points' distances differ by factors the step control sets; only this "
               "close do their logarithms resolve an exponent to tracker.size_test_agreement"}};
const Parameter kLooseToleranceCap{
    {.name = "tracker.loose_tolerance_cap",
     .value = 0.1,
     .lowest = 0.01,
     .highest = 0.3,
     .decides = "the largest corrector tolerance far from the target (before the route's "
                "loose_tolerance_below)",
     .reason = "far out the path only has to stay on its own branch, not be accurate"}};
const Parameter kTightToleranceCap{
    {.name = "tracker.tight_tolerance_cap",
     .value = 1e-4,
     .lowest = 1e-6,
     .highest = 1e-3,
     .decides = "the largest corrector tolerance near the target",
     .reason = "near the target paths come close to each other and to roots: a residual of 1e-4 "
               "keeps them apart and leaves the target's Newton method in its quadratic region"}};
const Parameter kCorrectorSkipFactor{
    {.name = "tracker.corrector_skip_factor",
     .value = 10,
     .lowest = 2,
     .highest = 100,
     .decides = "a predicted point whose residual is this many times below the tolerance is "
                "accepted without a correction",
     .reason = "a margin of a decade over the tolerance: such a prediction is better than a "
               "correction would make it"}};
const Parameter kCorrectorFirstDecreaseLarge{
    {.name = "tracker.corrector_first_decrease_large",
     .value = 15,
     .lowest = 5,
     .highest = 50,
     .decides = "the factor by which the first correction must cut the residual, at steps above "
                "tracker.small_step",
     .reason = "a prediction in Newton's quadratic region loses more than a decade at once; less "
               "means the step left the basin of its own path"}};
const Parameter kCorrectorFirstDecreaseSmall{
    {.name = "tracker.corrector_first_decrease_small",
     .value = 3,
     .lowest = 1.5,
     .highest = 10,
     .decides = "the same at steps below tracker.small_step",
     .reason = "at tiny steps near a sharp turn the Jacobian is ill-conditioned and the decrease "
               "is slower, but still steady"}};
const Parameter kCorrectorDecreaseLarge{
    {.name = "tracker.corrector_decrease_large",
     .value = 10,
     .lowest = 3,
     .highest = 50,
     .decides = "the factor by which each later correction must cut the residual, at large steps",
     .reason = "quadratic convergence from the first correction's point"}};
const Parameter kCorrectorDecreaseSmall{
    {.name = "tracker.corrector_decrease_small",
     .value = 2,
     .lowest = 1.2,
     .highest = 5,
     .decides = "the same at small steps",
     .reason = "linear convergence near an ill-conditioned point still halves the residual"}};
const Parameter kCorrectorIterationsLarge{
    {.name = "tracker.corrector_iterations_large",
     .value = 4,
     .lowest = 2,
     .highest = 8,
     .decides = "the most corrections of a step above tracker.small_step",
     .reason = "a step that needs more was too long: halving it is cheaper"}};
const Parameter kCorrectorIterationsSmall{
    {.name = "tracker.corrector_iterations_small",
     .value = 7,
     .lowest = 3,
     .highest = 15,
     .decides = "the most corrections of a step below tracker.small_step",
     .reason = "slower convergence at tiny steps; halving them further does not help"}};
const Parameter kSettledCorrection{
    {.name = "tracker.settled_correction",
     .value = 1e-7,
     .lowest = 1e-9,
     .highest = 1e-6,
     .decides = "a correction below this times max(1, |y| 1e-5) shows the iteration settled "
                "although the residual did not decrease enough",
     .reason = "half the digits of the point: rounding, not a lost path, keeps the residual"}};
const Parameter kStallResidual{
    {.name = "tracker.stall_residual",
     .value = 1000,
     .lowest = 10,
     .highest = 1e4,
     .decides = "a settled iteration is accepted while its residual is below this times the "
                "tolerance",
     .reason = "three decades of margin for the rounding of large terms"}};
const Parameter kCorrectionScaleFloor{
    {.name = "tracker.correction_scale_floor",
     .value = 1e-4,
     .lowest = 1e-6,
     .highest = 1e-2,
     .decides = "points below this size (max norm) have their first correction bounded absolutely",
     .reason = "near a root at the origin the point tends to 0 while corrections stay of the order "
               "of the residual tolerance"}};
const Parameter kRoundingFloorFactor{
    {.name = "tracker.rounding_floor_factor",
     .value = 100,
     .lowest = 10,
     .highest = 1000,
     .decides = "the rounding level of a residual, this many units of roundoff times "
                "max(1, |J|_1) max(1, |y|), the floor of a rescue's corrector tolerance",
     .reason = "several operations per term and the sum over terms each round by a unit"}};
const Parameter kExtendedRoundingFactor{
    {.name = "tracker.extended_rounding_factor",
     .value = 100,
     .lowest = 10,
     .highest = 1000,
     .decides = "the last rescue's tolerance: this many units of long double times the largest sum "
                "of term sizes of an equation",
     .reason = "as tracker.rounding_floor_factor, for the actual term sizes"}};
const Parameter kSizeTestAgreement{
    {.name = "tracker.size_test_agreement",
     .value = 0.01,
     .lowest = 0.002,
     .highest = 0.05,
     .decides = "how closely the size test's three exponents of |y_j| must agree",
     .reason = "within tracker.exponent_zone a Puiseux series has settled to a percent"}};
const Parameter kSizeTestDivergingExponent{
    {.name = "tracker.size_test_diverging_exponent",
     .value = 0.2,
     .lowest = 0.1,
     .highest = 0.5,
     .decides = "an exponent below minus this, agreeing over three points, says the coordinate "
                "tends to infinity",
     .reason = "the smallest pole order the benchmark families show is 1/6; estimates of a "
               "converging coordinate lie near 0"}};
const Parameter kSizeTestFractionLow{
    {.name = "tracker.size_test_fraction_low",
     .value = 0.3,
     .lowest = 0.15,
     .highest = 0.45,
     .decides = "the lower end of the exponents that say a coordinate tends to zero with a "
                "fractional power (a singular end)",
     .reason = "1/m for winding numbers m = 2 and 3 lie inside, 0 (a finite coordinate) and 1 "
               "(a regular zero) outside"}};
const Parameter kSizeTestFractionHigh{
    {.name = "tracker.size_test_fraction_high",
     .value = 0.8,
     .lowest = 0.55,
     .highest = 0.95,
     .decides = "the upper end of those exponents",
     .reason = "as tracker.size_test_fraction_low: below the exponent 1 of a regular zero"}};
const Parameter kArrivalDriftSmall{
    {.name = "tracker.arrival_drift_small",
     .value = 0.5,
     .lowest = 0.1,
     .highest = 1.0,
     .decides = "how far Newton's method on the target may move an arriving point of size at most "
                "5 before it is refused",
     .reason = "a point that moves farther went to another root"}};
const Parameter kArrivalDriftLarge{{.name = "tracker.arrival_drift_large",
                                    .value = 0.3,
                                    .lowest = 0.1,
                                    .highest = 0.5,
                                    .decides = "the same relative to |y| for larger points",
                                    .reason = "as tracker.arrival_drift_small, scaled"}};
const Parameter kArrivalResidual{
    {.name = "tracker.arrival_residual",
     .value = 1e-4,
     .lowest = 1e-6,
     .highest = 1e-3,
     .decides = "the residual on the target at which an arriving point is accepted (else its "
                "backward error must be small)",
     .reason = "tracker.tight_tolerance_cap: what the corrector itself accepted near the target"}};
const Parameter kHandOverDistance{
    {.name = "tracker.hand_over_distance",
     .value = 1e-8,
     .lowest = 1e-10,
     .highest = 1e-6,
     .decides = "the distance within which a path given up as tending to zero with a fractional "
                "power hands its last point to the classification",
     .reason = "its coordinates are then within d^(1/m) of the set the path approaches, 1e-4 for "
               "m up to 2"}};

// ---- The routes --------------------------------------------------------------------------------

const Parameter kPolyhedralFirstStepLaterFactor{
    {.name = "tracker.polyhedral.first_step_later_factor",
     .value = 10,
     .lowest = 3,
     .highest = 30,
     .decides = "the decrease demanded of the first step's later Newton iterations",
     .reason = "quadratic convergence from a start point solved to tracker.start_residual"}};
const Parameter kTotalDegreeFirstStepLaterFactor{
    {.name = "tracker.total_degree.first_step_later_factor",
     .value = 15,
     .lowest = 3,
     .highest = 30,
     .decides = "the same on the total-degree route",
     .reason = "its start points are exact roots of unity: the decrease is steeper"}};
const Parameter kPolyhedralRaisedCorrectionLimit{
    {.name = "tracker.polyhedral.raised_correction_limit",
     .value = 1.0,
     .lowest = 0.5,
     .highest = 1.0,
     .decides = "the raised limit of the first correction relative to the point",
     .reason = "a path turning sharply or ending at a moderate point needs a correction of the "
               "order of the point itself"}};
const Parameter kTotalDegreeRaisedCorrectionLimit{
    {.name = "tracker.total_degree.raised_correction_limit",
     .value = double{0.8f},
     .lowest = 0.5,
     .highest = 1.0,
     .decides = "the same on the total-degree route",
     .reason = "the route's single-precision value, kept exactly so that every path is as before"}};
const Parameter kPolyhedralRaiseSwitch{
    {.name = "tracker.polyhedral.raise_switch",
     .value = -1e-4,
     .lowest = -1e-3,
     .highest = -1e-5,
     .decides = "the parameter s = ln t below which tiny steps raise the correction limit, and "
                "from which moderate points do",
     .reason = "tracker.end_game_zone on the route's parameter"}};
const Parameter kTotalDegreeRaiseSwitch{
    {.name = "tracker.total_degree.raise_switch",
     .value = double{0.9999f},
     .lowest = 0.999,
     .highest = 0.99999,
     .decides = "the same on t",
     .reason = "the route's single-precision value, kept exactly"}};
const Parameter kPolyhedralRaiseNormFactor{
    {.name = "tracker.polyhedral.raise_norm_factor",
     .value = 500,
     .lowest = 100,
     .highest = 5000,
     .decides = "a predicted point below this times n is moderate: near the target its correction "
                "limit is raised",
     .reason = "scaled roots lie well inside; paths to infinity are far beyond it there"}};
const Parameter kTotalDegreeRaiseNormFactor{
    {.name = "tracker.total_degree.raise_norm_factor",
     .value = 100,
     .lowest = 20,
     .highest = 1000,
     .decides = "the same on the total-degree route",
     .reason = "most of its paths diverge: a tighter bound keeps them from landing on roots"}};
const Parameter kPolyhedralBlowUpBelow{
    {.name = "tracker.polyhedral.blow_up_below",
     .value = -0.05,
     .lowest = -0.5,
     .highest = -0.01,
     .decides = "a path whose step underflows below this s is lost far out (a blow-up) and gets "
                "the last rescue",
     .reason = "closer to the target a lost path mostly heads to infinity or a singular end"}};
const Parameter kTotalDegreeBlowUpBelow{
    {.name = "tracker.total_degree.blow_up_below",
     .value = double{0.95f},
     .lowest = 0.5,
     .highest = 0.99,
     .decides = "the same on t",
     .reason = "the route's single-precision value, kept exactly"}};
const Parameter kPolyhedralLooseToleranceBelow{
    {.name = "tracker.polyhedral.loose_tolerance_below",
     .value = -0.1,
     .lowest = -1.0,
     .highest = -0.02,
     .decides = "below this s the corrector tolerance is capped at tracker.loose_tolerance_cap, "
                "from it at tracker.tight_tolerance_cap",
     .reason = "a tenth of a decade of t from the target paths start to meet their roots"}};
const Parameter kTotalDegreeLooseToleranceBelow{
    {.name = "tracker.total_degree.loose_tolerance_below",
     .value = 0.9,
     .lowest = 0.5,
     .highest = 0.98,
     .decides = "the same on t",
     .reason = "as on the polyhedral route, a tenth of the way"}};
const Parameter kPolyhedralDivergenceFactor{
    {.name = "tracker.polyhedral.divergence_factor",
     .value = 50000,
     .lowest = 1e4,
     .highest = 1e6,
     .decides = "|y| beyond this times n, growing over three points, gives the verdict at infinity "
                "in the end game",
     .reason = "scaled roots have moderate size; stewgou40's poles pass 3e5 at d = 1e-5"}};
const Parameter kTotalDegreeDivergenceFactor{
    {.name = "tracker.total_degree.divergence_factor",
     .value = 10000,
     .lowest = 5000,
     .highest = 1e5,
     .decides = "the same on the total-degree route, and the bound below which its verdicts at "
                "infinity wait",
     .reason = "fbremb2's largest roots reach 1e4 in scaled variables only very late"}};
const Parameter kPolyhedralZeroModulus{
    {.name = "tracker.polyhedral.zero_modulus",
     .value = 2.2204460492503133e-21,
     .lowest = 1e-30,
     .highest = 1e-17,
     .decides = "replaces a modulus 0 in the size test's exponents",
     .reason = "far below any coordinate a path reaches, so a coordinate exactly 0 reads as "
               "converging, not as a jump"}};
const Parameter kTotalDegreeZeroModulus{
    {.name = "tracker.total_degree.zero_modulus",
     .value = kMachineEpsilon,
     .lowest = 1e-30,
     .highest = 1e-12,
     .decides = "the same on the total-degree route",
     .reason = "the route's first value, kept so that every path is as before"}};
const Parameter kPolyhedralMinStepNearTarget{
    {.name = "tracker.polyhedral.min_step_near_target",
     .value = 1e-10,
     .lowest = 1e-13,
     .highest = 1e-9,
     .decides = "within tracker.end_game_zone a halved step underflows below this",
     .reason = "s = ln t is resolved to the unit roundoff of its own size; as tracker.min_step"}};
const Parameter kTotalDegreeMinStepNearTarget{
    {.name = "tracker.total_degree.min_step_near_target",
     .value = 1e-14,
     .lowest = 1e-15,
     .highest = 1e-12,
     .decides = "the same on t",
     .reason =
         "a path to a large root turns only near 1 - t ~ |root|^-3 (fbremb2: 1e-12); t near 1 "
         "is resolved to 1.1e-16, so steps of 90 units still move it"}};

// ---- First tracking and re-tracks --------------------------------------------------------------

const Parameter kRetrackStepLimit{
    {.name = "tracker.retrack_step_limit",
     .value = 50000,
     .lowest = 10000,
     .highest = 200000,
     .decides = "the most counted steps of a re-track",
     .reason = "re-tracks run with stricter correctors and take many more, smaller steps"}};
const Parameter kRescueCorrectionLimit{
    {.name = "tracker.rescue_correction_limit",
     .value = 0.01,
     .lowest = 1e-3,
     .highest = 0.05,
     .decides = "the first correction limit of a rescue re-track",
     .reason = "that of the path-jumping check's first attempt: ten times tighter than the first "
               "tracking"}};
const Parameter kLastRescueTangentBelow{
    {.name = "tracker.last_rescue_tangent_below",
     .value = 1e-5,
     .lowest = 1e-7,
     .highest = 1e-4,
     .decides = "below this step the last rescue predicts along the tangent",
     .reason = "past a sharp turn the cubic through two close points extrapolates wildly"}};

// ---- The end game ------------------------------------------------------------------------------

const Parameter kValuationZone{
    {.name = "tracker.valuation_zone",
     .value = 1e-2,
     .lowest = 1e-3,
     .highest = 0.1,
     .decides = "the distance from which valuations are estimated and the growth of sizes recorded",
     .reason = "stewgou40's poles show v = -1.00 +- 0.01 from 1e-2 on"}};
const Parameter kDivergingValuation{
    {.name = "tracker.diverging_valuation",
     .value = 0.05,
     .lowest = 0.02,
     .highest = 0.1,
     .decides = "an estimate below minus this says a coordinate heads to infinity",
     .reason = "the slowest divergence seen, cohn3's v = -0.16, lies far below; a converging "
               "coordinate's estimates tend to 0 or above"}};
const Parameter kValuationAgreement{
    {.name = "tracker.valuation_agreement",
     .value = 0.05,
     .lowest = 0.02,
     .highest = 0.1,
     .decides = "the relative agreement of two estimates a span apart that proves a divergence "
                "beyond tracker.infinity_norm",
     .reason = "beyond any root's size one agreement suffices; poles drift by a few percent"}};
const Parameter kValuationSpan{
    {.name = "tracker.valuation_span",
     .value = 4.0,
     .lowest = 2.0,
     .highest = 10.0,
     .decides = "the ratio of the distances of two estimates compared",
     .reason = "a converging series changes by 4^(-1/m) a span, measurably for every winding "
               "number the end game handles"}};
const Parameter kInfinityNorm{{.name = "tracker.infinity_norm",
                               .value = 1e4,
                               .lowest = 3e3,
                               .highest = 1e5,
                               .decides = "|y| (scaled variables) beyond which no root is expected",
                               .reason = "scaled roots of the systems seen stay below 1e3"}};
const Parameter kTightValuationAgreement{
    {.name = "tracker.tight_valuation_agreement",
     .value = 0.02,
     .lowest = 0.005,
     .highest = 0.04,
     .decides = "the relative agreement of a slow divergence's estimates or extrapolated limits",
     .reason = "a converging path's estimates change by 4^(-1/m): more than 2 % for m < 70"}};
const Parameter kTightValuationSpans{
    {.name = "tracker.tight_valuation_spans",
     .value = 4,
     .lowest = 3,
     .highest = 8,
     .decides = "spans in a row over which a slow divergence must keep that agreement",
     .reason = "reimer5's v = -1/5 paths keep it over four spans before the step underflows"}};
const Parameter kExtrapolationRatio{
    {.name = "tracker.extrapolation_ratio",
     .value = 0.9,
     .lowest = 0.7,
     .highest = 0.97,
     .decides = "estimates converging slower than this ratio a span are not extrapolated",
     .reason = "Aitken's step amplifies noise by 1 / (1 - r)"}};
const Parameter kGrowthAgreement{
    {.name = "tracker.growth_agreement",
     .value = 0.1,
     .lowest = 0.03,
     .highest = 0.2,
     .decides = "how closely |y| must grow as d^v does over a span",
     .reason = "the growth over a span is a mean of the estimates, off by their drift"}};
const Parameter kSteadyGrowthZone{
    {.name = "tracker.steady_growth_zone",
     .value = 1e-6,
     .lowest = 1e-8,
     .highest = 1e-5,
     .decides = "steady growth over two spans proves divergence within this distance",
     .reason = "farther out a path lost on its way to a root grows steadily for a while"}};
const Parameter kSteadyGrowthNorm{
    {.name = "tracker.steady_growth_norm",
     .value = 1e2,
     .lowest = 30,
     .highest = 1e3,
     .decides = "... and beyond this |y| (scaled variables)",
     .reason = "Wilkinson's polynomial's lost paths grow steadily up to |y| ~ 7"}};
const Parameter kUnderflowSpan{
    {.name = "tracker.underflow_span",
     .value = 2.0,
     .lowest = 1.5,
     .highest = 4.0,
     .decides = "the ratio of distances over which an underflowed path's estimates must agree",
     .reason = "an underflow leaves fewer spans than a path that goes on"}};
const Parameter kUnderflowTightSpans{
    {.name = "tracker.underflow_tight_spans",
     .value = 2,
     .lowest = 2,
     .highest = 4,
     .decides = "or the spans in a row over which its extrapolated limit must have kept",
     .reason = "two agreeing extrapolations rest on four estimates"}};
const Parameter kCauchyRadius{
    {.name = "tracker.cauchy_radius",
     .value = 1e-3,
     .lowest = 1e-4,
     .highest = 1e-2,
     .decides = "the radius of the end game's first loops",
     .reason = "inside it the other branch points of the benchmark families' paths are rare"}};
const Parameter kRadiusRatio{{.name = "tracker.radius_ratio",
                              .value = 0.1,
                              .lowest = 0.03,
                              .highest = 0.3,
                              .decides = "each further radius of the loops is this times the last",
                              .reason = "a decade cuts the series' error by 10^(-1/m) per radius"}};
const Parameter kRadiusCount{
    {.name = "tracker.radius_count",
     .value = 6,
     .lowest = 4,
     .highest = 10,
     .decides = "the radii the end game tries",
     .reason = "down to 1e-9: below it rounding grows faster than the series shrinks"}};
const Parameter kSamplesPerLoop{
    {.name = "tracker.samples_per_loop",
     .value = 16,
     .lowest = 8,
     .highest = 32,
     .decides = "equally spaced samples per loop of the Cauchy integral",
     .reason = "the trapezoidal mean is exact up to the series terms s^(16m)"}};
const Parameter kFirstRadiusLoops{
    {.name = "tracker.first_radius_loops",
     .value = 4,
     .lowest = 2,
     .highest = 16,
     .decides = "loops tried at the first radius",
     .reason = "the first loop may enclose another branch point and never close"}};
const Parameter kConvergenceRatio{
    {.name = "tracker.convergence_ratio",
     .value = 0.95,
     .lowest = 0.8,
     .highest = 0.99,
     .decides = "radial steps shrinking slower than this a radius show no limit",
     .reason = "10^(-1/m) stays below it for m up to 44"}};
const Parameter kRatioAgreement{
    {.name = "tracker.ratio_agreement",
     .value = 0.1,
     .lowest = 0.03,
     .highest = 0.3,
     .decides = "relative agreement of the shrink ratios of two radii",
     .reason = "a path still turning has ratios that disagree by far more"}};
const Parameter kConvergedTail{
    {.name = "tracker.converged_tail",
     .value = 1e-3,
     .lowest = 1e-5,
     .highest = 1e-2,
     .decides = "the largest extrapolated rest of the path relative to max(1, |y|)",
     .reason = "the classification groups end points at that scale and refines them"}};
const Parameter kLoopClosure{
    {.name = "tracker.loop_closure",
     .value = 1e-7,
     .lowest = 1e-9,
     .highest = 1e-5,
     .decides = "the relative distance at which a loop is back at its start",
     .reason = "loops are walked to tracker.walk_accuracy; different sheets lie 1e-3 and more "
               "apart at the radii used"}};
const Parameter kEstimateAgreement{
    {.name = "tracker.estimate_agreement",
     .value = 1e-9,
     .lowest = 1e-11,
     .highest = 1e-7,
     .decides = "relative agreement of the estimates of two radii that ends the end game",
     .reason = "what the Cauchy mean of a loop reaches at a singular root of low multiplicity"}};
const Parameter kFallbackAgreement{
    {.name = "tracker.fallback_agreement",
     .value = 1e-8,
     .lowest = 1e-10,
     .highest = 1e-6,
     .decides = "the loosest agreement accepted after all radii",
     .reason = "paths ending on a solution set never reach tracker.estimate_agreement"}};
const Parameter kPrincipalAgreement{
    {.name = "tracker.principal_agreement",
     .value = 1e-3,
     .lowest = 1e-4,
     .highest = 1e-2,
     .decides = "relative agreement of a Laurent coefficient at two radii that proves a pole",
     .reason = "the coefficient of a pole is a constant; a root's vanishes"}};
const Parameter kPrincipalDominance{
    {.name = "tracker.principal_dominance",
     .value = 0.1,
     .lowest = 0.01,
     .highest = 0.5,
     .decides = "its term on the inner loop relative to max(1, |y|)",
     .reason = "a rounding-sized coefficient must not pass for a pole"}};
const Parameter kWalkAccuracy{
    {.name = "tracker.walk_accuracy",
     .value = 1e-13,
     .lowest = 1e-14,
     .highest = 1e-11,
     .decides = "Newton on a loop point stops below this relative correction",
     .reason = "a thousand units of roundoff: loops must close to tracker.loop_closure"}};
const Parameter kMinWalkStep{
    {.name = "tracker.min_walk_step",
     .value = 1e-9,
     .lowest = 1e-11,
     .highest = 1e-7,
     .decides = "a loop or radial step below this share of the arc walked fails the end game",
     .reason = "beyond that the walk only chases rounding"}};
const Parameter kEndGameStepBudget{
    {.name = "tracker.end_game_step_budget",
     .value = 1500,
     .lowest = 800,
     .highest = 5000,
     .decides = "corrected steps of one end game, all radii together",
     .reason = "a multiplicity 15 root needs 15 loops of 16 samples at two radii, about 500"}};
const Parameter kRootResidual{
    {.name = "tracker.root_residual",
     .value = 1e-8,
     .lowest = 1e-10,
     .highest = 1e-6,
     .decides = "the end game's end point must have residual at most this relative to its terms "
                "floored at |y| = 1",
     .reason = "the mean of loops around a pole has a residual of the size of the coefficients"}};
const Parameter kSingularPivotRatio{
    {.name = "tracker.singular_pivot_ratio",
     .value = 1e8,
     .lowest = 1e6,
     .highest = 1e10,
     .decides =
         "an accepted end point whose Jacobian's QR pivots spread beyond this looks singular "
         "and gets the Cauchy end game",
     .reason = "the square root of 1/u: Newton's point at a double root is accurate to sqrt(u)"}};
const Parameter kQuickNewtonSteps{
    {.name = "tracker.quick_newton_steps",
     .value = 3,
     .lowest = 2,
     .highest = 6,
     .decides = "Newton steps in which a regular-looking end point must reach "
                "tracker.quick_newton_accuracy",
     .reason = "quadratic convergence from a point the tracker left at 1e-4 takes two or three"}};
const Parameter kQuickNewtonAccuracy{
    {.name = "tracker.quick_newton_accuracy",
     .value = 1e-13,
     .lowest = 1e-14,
     .highest = 1e-10,
     .decides = "... relative to the point",
     .reason = "a singular root converges only linearly and stays far above it"}};

// ---- The growth test ---------------------------------------------------------------------------

const Parameter kGrowthZone{
    {.name = "tracker.growth_zone",
     .value = 1e-2,
     .lowest = 1e-3,
     .highest = 0.1,
     .decides = "the distance from which the sizes of the coordinates are recorded",
     .reason = "tracker.valuation_zone"}};
const Parameter kGrowthDecades{
    {.name = "tracker.growth_decades",
     .value = 3.0,
     .lowest = 2.0,
     .highest = 5.0,
     .decides = "the decades of distance the growth test looks back over",
     .reason = "a converging path's exponents shrink by 10^(-3/m) over three: more than half for "
               "m <= 9"}};
const Parameter kGrowthFloorExponent{
    {.name = "tracker.growth_floor_exponent",
     .value = 0.1,
     .lowest = 0.05,
     .highest = 0.2,
     .decides = "every exponent of the span must lie beyond this (growing or shrinking)",
     .reason = "cohn3's slowest coordinates grow and shrink as d^0.15 and d^-0.17"}};
const Parameter kGrowthShrinkBound{
    {.name = "tracker.growth_shrink_bound",
     .value = 0.5,
     .lowest = 0.3,
     .highest = 0.8,
     .decides = "the last growth exponent at least this times the first",
     .reason = "a converging coordinate's exponent falls by more than half over the decades"}};

// ---- The polish near the target ----------------------------------------------------------------

const Parameter kPolishIterations{
    {.name = "tracker.polish_iterations",
     .value = 12,
     .lowest = 6,
     .highest = 30,
     .decides = "the most Newton steps of the polish",
     .reason = "from a point 1e-8 from the target to full accuracy, with overshoot"}};
const Parameter kPolishAccuracy{
    {.name = "tracker.polish_accuracy",
     .value = 1e-12,
     .lowest = 1e-14,
     .highest = 1e-10,
     .decides = "the last Newton step relative to the point that shows quadratic convergence",
     .reason = "a singular root converges too slowly to get there"}};
const Parameter kPolishDrift{
    {.name = "tracker.polish_drift",
     .value = 0.3,
     .lowest = 0.1,
     .highest = 1.0,
     .decides = "the largest move of the polished root relative to max(1, |y|)",
     .reason = "a root farther off belongs to another path"}};
const Parameter kPolishWander{
    {.name = "tracker.polish_wander",
     .value = 1.0,
     .lowest = 0.3,
     .highest = 3.0,
     .decides = "the largest move of an iterate, the same way",
     .reason = "Newton may overshoot from a steep path; paths to infinity leave at once"}};
const Parameter kPolishZone{
    {.name = "tracker.polish_zone",
     .value = 1e-8,
     .lowest = 1e-10,
     .highest = 1e-6,
     .decides = "the distance to the target within which a given-up path is polished",
     .reason = "cohn3's large roots are reached only near 1 - t = 1e-10"}};
const Parameter kPolishSameRoot{
    {.name = "tracker.polish_same_root",
     .value = 1e-6,
     .lowest = 1e-9,
     .highest = 1e-4,
     .decides = "the relative max-norm distance at which a polished root is one already recorded",
     .reason = "polished roots are accurate to 1e-12; distinct roots lie farther apart"}};

// ---- The check of verdicts at infinity ---------------------------------------------------------

const Parameter kValuationErrorShare{
    {.name = "tracker.valuation_error_share",
     .value = 0.5,
     .lowest = 0.2,
     .highest = 0.9,
     .decides = "the share of |min_j w_j| by which each estimated valuation may be off in the "
                "tropical check",
     .reason = "the verdicts accept estimates that agree within 10 to 20 %; below 1 the check "
               "still refutes every divergence in one unknown"}};

// ---- The continuation in double-double ----------------------------------------------------------

const Parameter kMostContinuedPaths{
    {.name = "tracker.most_continued_paths",
     .value = 4096,
     .lowest = 64,
     .highest = 65536,
     .decides = "the most paths of a solve that double precision lost, continued in double-double",
     .reason = "a continued path costs about a tenth of a second; cyclic-8 by total degree loses "
               "about 460 of its 40,320 paths far out (at 64, 432 of them stay failed), and the "
               "cap keeps a system that loses nearly every path within a few minutes"}};

const Parameter kMostDoubleDoubleUnits{
    {.name = "tracker.most_double_double_units",
     .value = 32,
     .lowest = 16,
     .highest = 32,
     .decides = "the most paths of a system of one unknown re-tracked in double-double in a solve, "
                "lost paths, unsolved end points and shared roots together",
     .reason = "the expanded Wilkinson polynomial of degree 20 loses or jumps about 20 of its "
               "paths in double; raising the cap only lets a system that loses every path spend "
               "more time, so it may be lowered, not raised"}};
const Parameter kDdStartIterations{
    {.name = "tracker.dd_start_iterations",
     .value = 20,
     .lowest = 10,
     .highest = 20,
     .decides = "the most Newton iterations at the start point of a path tracked in double-double",
     .reason = "each correction must be a tenth of the one before and the first at most the "
               "point's size, so Newton ends within 15 iterations at the path tolerance 1e-14: "
               "any cap from 15 on refuses nothing; below, a start point whose corrections "
               "contract only tenfold is refused"}};
const Parameter kDdPolishIterations{
    {.name = "tracker.dd_polish_iterations",
     .value = 6,
     .lowest = 4,
     .highest = 10,
     .decides = "the most Newton iterations at the target from the last point of a path tracked "
                "in double-double, which must converge to the path tolerance for a regular root",
     .reason = "from a first correction of at most 1e-4 of the point a regular root converges "
               "quadratically in three or four; corrections that shrink only tenfold (a root "
               "Newton resolves slowly, close to a singular one) need ten and are refused"}};
const Parameter kDdDivergenceBound{
    {.name = "tracker.dd_divergence_bound",
     .value = 1e12,
     .lowest = 1e10,
     .highest = 1e14,
     .decides = "the size max |y| beyond which a path tracked in double-double is taken to leave "
                "for infinity: tracking stops unreached, a continuation ends diverged",
     .reason = "a pole 1 / d is at 1e14 where the continuation ends (d = 1e-14), and must be "
               "stopped before; the roots of the systems double-double tracks are far smaller "
               "(the largest in the tests: 1e11)"}};

}  // namespace zormix::tracker
