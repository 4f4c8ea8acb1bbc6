#include "finish/parameters.h"

namespace zormix::finish {

// ---- What tells a regular root -----------------------------------------------------------------

const Parameter kWellConditioned{
    {.name = "finish.well_conditioned",
     .value = 1e6,
     .lowest = 1e4,
     .highest = 1e8,
     .decides = "the scaled condition above which a regular candidate also needs the interval "
                "test or the local dimension test, and a first Newton step at the floor shows no "
                "convergence",
     .reason = "below it a point 1e-9 off a curve fails Newton's test; above it such points pass "
               "it (cyclic-8's end points next to its curves: 1e9 to 1e10)"}};
const Parameter kResolvable{
    {.name = "finish.resolvable",
     .value = 1e12,
     .lowest = 1e11,
     .highest = 1e13,
     .decides = "the scaled condition above which Newton's convergence in long double proves "
                "nothing and only the interval proof (in the units with coordinates at the "
                "origin as zeros) makes a regular candidate",
     .reason = "u kappa leaves four digits at 1e12; fourbar's points on its sets reach 5e11 and "
               "pass the long-double test, i1's regular roots reach 7e11 and are proven by boxes"}};
const Parameter kShownByNewton{
    {.name = "finish.shown_by_newton",
     .value = 1e10,
     .lowest = 1e9,
     .highest = 1e11,
     .decides = "the scaled condition (and condition against the terms) up to which Newton's "
                "convergence alone, in long double or double-double, makes a regular candidate",
     .reason = "beyond it points on solution sets converge too (cyclic-8, seeds 2 and 3: end "
               "points 1e-9 off a curve at 1e10)"}};
const Parameter kConditionDrift{
    {.name = "finish.condition_drift",
     .value = 1e3,
     .lowest = 1e2,
     .highest = 1e4,
     .decides = "how much larger the scaled condition at Newton's limit may be than at the start "
                "for the limit to be a regular root",
     .reason = "at a regular root it drifts by the start's distance (6% at Wilkinson's roots); "
               "onto a solution set the limit's Jacobian is singular (1e16 and beyond)"}};
const Parameter kResolvedStep{
    {.name = "finish.resolved_step",
     .value = 1e-8,
     .lowest = 1e-10,
     .highest = 1e-6,
     .decides = "the largest Newton step, relative to each coordinate, for which coordinates far "
                "below the largest count as genuine (measured in their own units)",
     .reason = "i1's roots have genuine coordinates of 3e-11 beside 4e11; rounding noise around "
               "a zero moves by its own size"}};
const Parameter kUnconvergedStep{
    {.name = "finish.unconverged_step",
     .value = 1e-6,
     .lowest = 1e-8,
     .highest = 1e-4,
     .decides = "the relative Newton step above which an end point is no root to working accuracy "
                "and is looked at as a point on its way to a set",
     .reason = "the square root of the rounding: a singular root's end points stay below it, the "
               "reduced cyclic-8 system's unconverged points (1e-4) lie above"}};

// ---- The units of a point ----------------------------------------------------------------------

const Parameter kZeroCoordinate{
    {.name = "finish.zero_coordinate",
     .value = 1e-10,
     .lowest = 1e-12,
     .highest = 1e-8,
     .decides = "the share of the largest modulus below which a coordinate is rounding noise "
                "around an exact zero and takes the point's size as its unit",
     .reason = "the end game leaves zeros at 1e-16 to 1e-11 of the point; genuine coordinates of "
               "the benchmark roots lie above 1e-8 of the largest, or are tested in own units"}};
const Parameter kOriginShare{
    {.name = "finish.origin_share",
     .value = 1e-3,
     .lowest = 1e-5,
     .highest = 1e-2,
     .decides = "the share of a coordinate's natural size (the system's scaling) below which it "
                "is at the origin rather than small",
     .reason = "an end point 1e-18 off a root at the origin has no size of its own; roots of the "
               "benchmarks have no genuine coordinate within 1e-3 of the origin scale and 1e-10 "
               "of the point"}};

// ---- When two end points are at one root -------------------------------------------------------

const Parameter kMinCoincidence{
    {.name = "finish.min_coincidence",
     .value = 1e-10,
     .lowest = 1e-12,
     .highest = 1e-9,
     .decides = "the relative distance within which two perfectly conditioned end points are at "
                "one root (and the reach of a root refined in double-double)",
     .reason = "a refined regular root carries u kappa; two roots 2^-28 apart at kappa 1e9 must "
               "stay two"}};
const Parameter kMaxCoincidence{
    {.name = "finish.max_coincidence",
     .value = 1e-5,
     .lowest = 1e-7,
     .highest = 1e-4,
     .decides = "the largest relative distance at which a regular candidate is at another end "
                "point's root",
     .reason = "finish.error_per_condition times the largest kappa of a candidate, "
               "finish.resolvable: 1e-3, cut to keep near roots apart"}};
const Parameter kMaxSingularCoincidence{
    {.name = "finish.max_singular_coincidence",
     .value = 1e-2,
     .lowest = 1e-3,
     .highest = 5e-2,
     .decides = "the largest relative distance at which two singular end points that the end game "
                "did not extrapolate are at one root",
     .reason = "plain tracking leaves a root of multiplicity m up to u^(1/m) away: 1e-2 at m = 8"}};
const Parameter kEndGameCoincidence{
    {.name = "finish.end_game_coincidence",
     .value = 1e-8,
     .lowest = 1e-10,
     .highest = 1e-6,
     .decides = "the relative distance within which a point the end game extrapolated (winding "
                "number >= 2) is at another end point's root",
     .reason = "the Cauchy end game's points carry about 1e-10; close double roots 1e-6 apart "
               "must stay apart"}};
const Parameter kUnextrapolatedCoincidence{
    {.name = "finish.unextrapolated_coincidence",
     .value = 1e-6,
     .lowest = 1e-7,
     .highest = 1e-5,
     .decides = "the least relative distance at which a singular end point that the end game did "
                "not extrapolate meets another",
     .reason = "100 u^(1/2): at a double root the residual reaches rounding up to u^(1/2) away, "
               "where the Newton step is rounding noise too"}};
const Parameter kErrorPerCondition{
    {.name = "finish.error_per_condition",
     .value = 1e-15,
     .lowest = 1e-16,
     .highest = 1e-14,
     .decides = "the error a point carries per unit of its scaled condition, which sets the "
                "distance at which others are at its root",
     .reason = "u kappa with a margin of 4.5"}};
const Parameter kStepsPerError{
    {.name = "finish.steps_per_error",
     .value = 100,
     .lowest = 10,
     .highest = 1000,
     .decides = "how many of its relative Newton steps a singular end point may be from another "
                "of its root",
     .reason = "Newton's step at a root of multiplicity m is 1/m of the distance to it; a margin "
               "for multiplicities up to 100"}};
const Parameter kCoordinateFloor{
    {.name = "finish.coordinate_floor",
     .value = 1e-6,
     .lowest = 1e-8,
     .highest = 1e-4,
     .decides = "the share of the largest coordinate at which a small coordinate is compared when "
                "grouping a regular candidate",
     .reason = "regular roots with coordinates of 1e-18 (katsura-8) carry their error in the size "
               "of the point; genuine small coordinates (i1: 3e-11 beside 4e11) stay apart at "
               "their own size above it"}};
const Parameter kSingularCoordinateFloor{
    {.name = "finish.singular_coordinate_floor",
     .value = 1.0,
     .lowest = 1e-2,
     .highest = 1.0,
     .decides = "the share of the largest coordinate at which every coordinate of two singular "
                "end points is compared",
     .reason = "their error is a distance from the root in the point's size: zeros of the "
               "embedded reduced cyclic-9 system's 12-fold roots range from 1e-16 to 2e-9 while "
               "the points agree to 3e-9"}};
const Parameter kSearchedCoincidence{
    {.name = "finish.searched_coincidence",
     .value = 1e-8,
     .lowest = 1e-10,
     .highest = 1e-6,
     .decides = "one unknown: the relative distance within which two roots found by Newton's "
                "method in double-double are one",
     .reason = "double-double leaves 1e-16 at roots of condition 1e16; Wilkinson's roots lie 1/20 "
               "apart"}};

// ---- The local dimension test and sets in coordinate subspaces ---------------------------------

const Parameter kEndPointCorank{
    {.name = "finish.end_point_corank",
     .value = 1e-6,
     .lowest = 1e-8,
     .highest = 1e-4,
     .decides = "the share of max(sigma_1, 1) at or below which a singular value of the scaled "
                "Jacobian at an end point counts as zero (the dimensions the slices try)",
     .reason = "end points lie 1e-8 to 1e-10 off their sets, where the null directions' singular "
               "values are of that size"}};
const Parameter kNearestSlice{
    {.name = "finish.nearest_slice",
     .value = 3e-4,
     .lowest = 1e-4,
     .highest = 1e-3,
     .decides = "the distance (in units) of the nearest slices of the local dimension test, which "
                "show that a set passes through the point",
     .reason = "far beyond the end points' distance from their sets (1e-8), near enough that a "
               "set passing nearby does not count"}};
const Parameter kFarthestSlice{
    {.name = "finish.farthest_slice",
     .value = 3e-2,
     .lowest = 1e-2,
     .highest = 1e-1,
     .decides = "the distance (in units) of the farthest slices, which tell an isolated root "
                "apart (its residual there is about eps^m)",
     .reason = "eps^m stays above finish.on_set_residual up to an order of contact of about 7"}};
const Parameter kSliceAttempts{
    {.name = "finish.slice_attempts",
     .value = 6,
     .lowest = 2,
     .highest = 20,
     .decides = "the random slices tried per dimension before a set of that dimension is ruled "
                "out",
     .reason = "where two branches cross, Gauss-Newton may settle between them on one slice and "
               "not on another"}};
const Parameter kFarthestLanding{
    {.name = "finish.farthest_landing",
     .value = 30,
     .lowest = 5,
     .highest = 100,
     .decides = "how many times the slice's distance the solution on a slice may lie from the "
                "end point",
     .reason = "a set cuts a slice about eps away, more where it meets the slice at a low angle"}};
const Parameter kSliceConvergedStep{
    {.name = "finish.slice_converged_step",
     .value = 1e-13,
     .lowest = 1e-15,
     .highest = 1e-11,
     .decides = "the Gauss-Newton step (in units) at which the search on a slice has converged",
     .reason = "a few hundred ulps: rounding of the slice's equations"}};
const Parameter kOnSetResidual{
    {.name = "finish.on_set_residual",
     .value = 1e-12,
     .lowest = 1e-14,
     .highest = 1e-10,
     .decides = "the residual (in row units) of a solution on a slice or in a coordinate subspace",
     .reason = "a set of multiplicity 3 is approached at rate 2/3, its residual falling to 1e-12 "
               "long before its steps reach rounding"}};
const Parameter kSliceSteps{
    {.name = "finish.slice_steps",
     .value = 60,
     .lowest = 20,
     .highest = 200,
     .decides = "the most Gauss-Newton steps on a slice",
     .reason = "linear convergence at rate 8/9 (a set of multiplicity 9) from 3e-2 to 1e-12"}};
const Parameter kSliceContraction{
    {.name = "finish.slice_contraction",
     .value = 0.9,
     .lowest = 0.7,
     .highest = 0.99,
     .decides = "the share of the previous step (and residual) above which a Gauss-Newton search "
                "has stopped converging",
     .reason = "quadratic convergence and linear convergence at (m - 1) / m for sets of "
               "multiplicity m <= 8 pass"}};
const Parameter kSliceRankTolerance{
    {.name = "finish.slice_rank_tolerance",
     .value = 1e-8,
     .lowest = 1e-11,
     .highest = 1e-6,
     .decides = "the relative singular value below which a Gauss-Newton step drops a direction",
     .reason = "the square root of the rounding: a set of multiplicity 2 keeps its steps"}};
const Parameter kCurvatureStep{
    {.name = "finish.curvature_step",
     .value = 1e-5,
     .lowest = 1e-6,
     .highest = 1e-4,
     .decides = "the step (in units) of the central difference of the Jacobian along a null "
                "direction",
     .reason = "balances its truncation h^2 against its rounding u/h"}};
const Parameter kDecisiveCurvature{
    {.name = "finish.decisive_curvature",
     .value = 1e-3,
     .lowest = 1e-5,
     .highest = 1e-1,
     .decides = "the size of the second derivative along the null space, outside the Jacobian's "
                "range, that rules out a set of the null space's dimension",
     .reason = "on a set it is of the order of the point's distance to it; where cyclic-8's "
               "branches cross it is 1e-1"}};
const Parameter kSmallCoordinate{
    {.name = "finish.small_coordinate",
     .value = 100,
     .lowest = 10,
     .highest = 1000,
     .decides = "how many origin scales a coordinate of a path's last point may be and still be "
                "tried at 0 (the set in a coordinate subspace it approaches)",
     .reason = "paths into the reduced cyclic-8 system's subspaces end with their vanishing "
               "coordinates near 1e-2 of their natural size"}};
const Parameter kSnapReach{
    {.name = "finish.snap_reach",
     .value = 10,
     .lowest = 2,
     .highest = 100,
     .decides = "how far, in multiples of the largest coordinate set to 0, the other coordinates "
                "of a path's last point may move onto a set in a subspace",
     .reason = "the coordinates tending to 0 like d^p are the path's distance from the set"}};
const Parameter kSnapSteps{
    {.name = "finish.snap_steps",
     .value = 40,
     .lowest = 10,
     .highest = 200,
     .decides = "the most Gauss-Newton steps onto a set in a coordinate subspace",
     .reason = "linear convergence from 1e-2 to finish.on_set_residual"}};
const Parameter kNoiseOfOrigin{
    {.name = "finish.noise_of_origin",
     .value = 1e-9,
     .lowest = 1e-11,
     .highest = 1e-7,
     .decides = "the share of its origin scale below which an accurate point's coordinate is "
                "rounding noise around 0 (tried at 0 for a set in a subspace)",
     .reason = "1e-12 of the natural size: genuine coordinates of 4e-11 beside 4e11 lie above"}};
const Parameter kAccurateMove{
    {.name = "finish.accurate_move",
     .value = 1e-8,
     .lowest = 1e-10,
     .highest = 1e-6,
     .decides = "the share of max(|x_j|, o_j) by which an accurate point's free coordinates may "
                "move onto a set in a subspace",
     .reason = "a regular root 0.05 from a subspace with a set (reduced cyclic-8) moves far more "
               "once its small coordinates are zeroed"}};

// ---- One unknown: clusters of roots ------------------------------------------------------------

const Parameter kRoundingsPerDegree{
    {.name = "finish.roundings_per_degree",
     .value = 8,
     .lowest = 2,
     .highest = 64,
     .decides = "the roundings per degree in the error bound of a Taylor coefficient computed in "
                "long double",
     .reason = "each term's share goes through at most d products by x, a product and a quotient "
               "(6 roundings each), and the sum adds one per term"}};
const Parameter kClusterCenterSteps{
    {.name = "finish.cluster_center_steps",
     .value = 8,
     .lowest = 3,
     .highest = 30,
     .decides = "the most Newton steps on p^(m - 1) towards a multiple root",
     .reason = "quadratic convergence from within the cluster"}};
const Parameter kWidestClusterShare{
    {.name = "finish.widest_cluster_share",
     .value = 0.25,
     .lowest = 0.05,
     .highest = 0.5,
     .decides = "the largest radius of a cluster of roots, as a share of its multiple root's "
                "modulus, for it to be one multiple root",
     .reason = "Wilkinson's polynomial of degree 24 puts all its roots within 34 of 12.4 in "
               "double: such a disk says only where distinct roots lie"}};
const Parameter kWidestClusterReach{
    {.name = "finish.widest_cluster_reach",
     .value = 8,
     .lowest = 2,
     .highest = 32,
     .decides = "the largest radius of a cluster, in multiples of the point's distance from its "
                "multiple root (for a root at 0)",
     .reason = "x^m at x: the disk of m roots has radius 6.7 |x|"}};

// ---- Krawczyk's boxes --------------------------------------------------------------------------

const Parameter kBoxRadiusPerStep{
    {.name = "finish.box_radius_per_step",
     .value = 8,
     .lowest = 2,
     .highest = 64,
     .decides = "the first box's radius in Newton steps from its center",
     .reason = "the root lies within about one step; the box must hold K(X) with room"}};
const Parameter kBoxRadiusPerUlp{
    {.name = "finish.box_radius_per_ulp",
     .value = 64,
     .lowest = 8,
     .highest = 512,
     .decides = "the first box's radius in ulps of its center",
     .reason = "the rounding of the center and of the enclosure of F there"}};
const Parameter kBoxNoiseUlps{
    {.name = "finish.box_noise_ulps",
     .value = 4,
     .lowest = 1,
     .highest = 32,
     .decides = "the first box's radius in ulps of the rounding noise of F(c) carried through "
                "J^-1",
     .reason = "the evaluation's rounding moves the Newton point by a few eps sum |Y| s"}};
const Parameter kBoxWidening{
    {.name = "finish.box_widening",
     .value = 100,
     .lowest = 10,
     .highest = 1000,
     .decides = "the factor by which each further box is wider",
     .reason = "a root of condition 1e10 needs a box far wider than its step"}};
const Parameter kBoxAttempts{
    {.name = "finish.box_attempts",
     .value = 3,
     .lowest = 1,
     .highest = 6,
     .decides = "the boxes tried per choice of units",
     .reason = "three covers 1e4 of widening, beyond which a box holds neighbouring roots"}};

const Parameter kLargestTestedCluster{
    {.name = "finish.largest_tested_cluster",
     .value = 16,
     .lowest = 12,
     .highest = 24,
     .decides = "the most end points of a cluster around a point on a set that the local dimension "
                "test is run on",
     .reason = "its dual spaces and slices grow to the order of the paths + 1: at 74 paths on one "
               "point of the reduced cyclic-8 system's sets the test took two minutes; roots of "
               "multiplicity 12 must still be told from sets"}};

// ---- What each accepted root is told with ------------------------------------------------------

const Parameter kRealTolerance{
    {.name = "finish.real_tolerance",
     .value = 1e-7,
     .lowest = 1e-10,
     .highest = 1e-5,
     .decides = "the share of the largest modulus (or the modulus) below which imaginary parts "
                "make a root real",
     .reason = "half the digits of double: refined real roots have imaginary parts of rounding"}};
const Parameter kZeroJacobian{
    {.name = "finish.zero_jacobian",
     .value = 1e-8,
     .lowest = 1e-12,
     .highest = 1e-6,
     .decides = "the largest singular value below which a root's Jacobian counts as zero",
     .reason = "equations normalized to size 1: a Jacobian of 1e-8 vanishes against them"}};
const Parameter kConditionEstimateTolerance{
    {.name = "finish.condition_estimate_tolerance",
     .value = 1e-5,
     .lowest = 1e-8,
     .highest = 1e-2,
     .decides = "the relative accuracy of the estimates of the extreme singular values behind "
                "each root's condition number",
     .reason = "the condition number is reported, not used for a verdict: five digits suffice"}};

}  // namespace zormix::finish
