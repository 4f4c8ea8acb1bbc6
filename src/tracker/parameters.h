// The tracker's thresholds, each declared once in the parameter registry
// (base/parameter_registry.h) under the name tracker.<what>, with its range and reason in
// parameters.cc. Where the two routes differ, each has its own parameter
// (tracker.polyhedral.<what>, tracker.total_degree.<what>). The presets of
// tracker/path/tracker_parameters.h, the end game's kEndGame and the growth test's kGrowth refer to
// these; comments cite the registry names.
#ifndef ZORMIX_TRACKER_PARAMETERS_H_
#define ZORMIX_TRACKER_PARAMETERS_H_

#include "base/parameter_registry.h"

namespace zormix::tracker {

// The path loop and its corrector, both routes.
extern const Parameter kCorrectorToleranceFactor;
extern const Parameter kStartResidual;
extern const Parameter kStartIterationCap;
extern const Parameter kMinFirstStep;
extern const Parameter kMinStep;
extern const Parameter kSmallStep;
extern const Parameter kEndGameZone;
extern const Parameter kExponentZone;
extern const Parameter kLooseToleranceCap;
extern const Parameter kTightToleranceCap;
extern const Parameter kCorrectorSkipFactor;
extern const Parameter kCorrectorFirstDecreaseLarge;
extern const Parameter kCorrectorFirstDecreaseSmall;
extern const Parameter kCorrectorDecreaseLarge;
extern const Parameter kCorrectorDecreaseSmall;
extern const Parameter kCorrectorIterationsLarge;
extern const Parameter kCorrectorIterationsSmall;
extern const Parameter kSettledCorrection;
extern const Parameter kStallResidual;
extern const Parameter kCorrectionScaleFloor;
extern const Parameter kRoundingFloorFactor;
extern const Parameter kExtendedRoundingFactor;
extern const Parameter kSizeTestAgreement;
extern const Parameter kSizeTestDivergingExponent;
extern const Parameter kSizeTestFractionLow;
extern const Parameter kSizeTestFractionHigh;
extern const Parameter kArrivalDriftSmall;
extern const Parameter kArrivalDriftLarge;
extern const Parameter kArrivalResidual;
extern const Parameter kHandOverDistance;

// What differs between the routes.
extern const Parameter kPolyhedralFirstStepLaterFactor;
extern const Parameter kTotalDegreeFirstStepLaterFactor;
extern const Parameter kPolyhedralRaisedCorrectionLimit;
extern const Parameter kTotalDegreeRaisedCorrectionLimit;
extern const Parameter kPolyhedralRaiseSwitch;
extern const Parameter kTotalDegreeRaiseSwitch;
extern const Parameter kPolyhedralRaiseNormFactor;
extern const Parameter kTotalDegreeRaiseNormFactor;
extern const Parameter kPolyhedralBlowUpBelow;
extern const Parameter kTotalDegreeBlowUpBelow;
extern const Parameter kPolyhedralLooseToleranceBelow;
extern const Parameter kTotalDegreeLooseToleranceBelow;
extern const Parameter kPolyhedralDivergenceFactor;
extern const Parameter kTotalDegreeDivergenceFactor;
extern const Parameter kPolyhedralZeroModulus;
extern const Parameter kTotalDegreeZeroModulus;
extern const Parameter kPolyhedralMinStepNearTarget;
extern const Parameter kTotalDegreeMinStepNearTarget;

// What differs between a first tracking and a re-track.
extern const Parameter kRetrackStepLimit;
extern const Parameter kRescueCorrectionLimit;
extern const Parameter kLastRescueTangentBelow;

// The end game: valuations, the Cauchy loops, the end point.
extern const Parameter kValuationZone;
extern const Parameter kDivergingValuation;
extern const Parameter kValuationAgreement;
extern const Parameter kValuationSpan;
extern const Parameter kInfinityNorm;
extern const Parameter kTightValuationAgreement;
extern const Parameter kTightValuationSpans;
extern const Parameter kExtrapolationRatio;
extern const Parameter kGrowthAgreement;
extern const Parameter kSteadyGrowthZone;
extern const Parameter kSteadyGrowthNorm;
extern const Parameter kUnderflowSpan;
extern const Parameter kUnderflowTightSpans;
extern const Parameter kCauchyRadius;
extern const Parameter kRadiusRatio;
extern const Parameter kRadiusCount;
extern const Parameter kSamplesPerLoop;
extern const Parameter kFirstRadiusLoops;
extern const Parameter kConvergenceRatio;
extern const Parameter kRatioAgreement;
extern const Parameter kConvergedTail;
extern const Parameter kLoopClosure;
extern const Parameter kEstimateAgreement;
extern const Parameter kFallbackAgreement;
extern const Parameter kPrincipalAgreement;
extern const Parameter kPrincipalDominance;
extern const Parameter kWalkAccuracy;
extern const Parameter kMinWalkStep;
extern const Parameter kEndGameStepBudget;
extern const Parameter kRootResidual;
extern const Parameter kSingularPivotRatio;
extern const Parameter kQuickNewtonSteps;
extern const Parameter kQuickNewtonAccuracy;

// The growth test of paths the end game could not decide (tracker/endgame/growth_record.h).
extern const Parameter kGrowthZone;
extern const Parameter kGrowthDecades;
extern const Parameter kGrowthFloorExponent;
extern const Parameter kGrowthShrinkBound;

// Newton on the target from a path given up close to it (tracker/path/end_polish.h).
extern const Parameter kPolishIterations;
extern const Parameter kPolishAccuracy;
extern const Parameter kPolishDrift;
extern const Parameter kPolishWander;
extern const Parameter kPolishZone;
extern const Parameter kPolishSameRoot;

// The tropical check of every verdict at infinity (tracker/endgame/divergence_check.h).
extern const Parameter kValuationErrorShare;

// The continuation in double-double of the paths double precision lost (dd_rescue.h).
extern const Parameter kMostContinuedPaths;
extern const Parameter kMostDoubleDoubleUnits;
extern const Parameter kDdStartIterations;
extern const Parameter kDdPolishIterations;
extern const Parameter kDdDivergenceBound;

}  // namespace zormix::tracker

#endif  // ZORMIX_TRACKER_PARAMETERS_H_
