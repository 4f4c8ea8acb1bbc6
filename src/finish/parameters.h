// The finish's thresholds, each declared once in the parameter registry (base/parameter_registry.h)
// under the name finish.<what>, with its range and reason in parameters.cc. docs/verdicts.md says
// which rule reads which; comments elsewhere cite the registry names.
#ifndef ZORMIX_FINISH_PARAMETERS_H_
#define ZORMIX_FINISH_PARAMETERS_H_

#include "base/parameter_registry.h"

namespace zormix::finish {

// What tells a regular root: conditions and Newton's convergence (point_rules.h).
extern const Parameter kWellConditioned;
extern const Parameter kResolvable;
extern const Parameter kShownByNewton;
extern const Parameter kConditionDrift;
extern const Parameter kResolvedStep;
extern const Parameter kUnconvergedStep;

// The units of a point (scaled_jacobian.h).
extern const Parameter kZeroCoordinate;
extern const Parameter kOriginShare;

// When two end points are at one root (grouping.h).
extern const Parameter kMinCoincidence;
extern const Parameter kMaxCoincidence;
extern const Parameter kMaxSingularCoincidence;
extern const Parameter kEndGameCoincidence;
extern const Parameter kUnextrapolatedCoincidence;
extern const Parameter kErrorPerCondition;
extern const Parameter kStepsPerError;
extern const Parameter kCoordinateFloor;
extern const Parameter kSingularCoordinateFloor;
extern const Parameter kSearchedCoincidence;

// The local dimension test by slicing and the sets in coordinate subspaces (local_dimension.h).
extern const Parameter kEndPointCorank;
extern const Parameter kNearestSlice;
extern const Parameter kFarthestSlice;
extern const Parameter kSliceAttempts;
extern const Parameter kFarthestLanding;
extern const Parameter kSliceConvergedStep;
extern const Parameter kOnSetResidual;
extern const Parameter kSliceSteps;
extern const Parameter kSliceContraction;
extern const Parameter kSliceRankTolerance;
extern const Parameter kCurvatureStep;
extern const Parameter kDecisiveCurvature;
extern const Parameter kSmallCoordinate;
extern const Parameter kSnapReach;
extern const Parameter kSnapSteps;
extern const Parameter kNoiseOfOrigin;
extern const Parameter kAccurateMove;

// One unknown: clusters of roots from the Taylor coefficients (root_cluster.h).
extern const Parameter kRoundingsPerDegree;
extern const Parameter kClusterCenterSteps;
extern const Parameter kWidestClusterShare;
extern const Parameter kWidestClusterReach;

// Krawczyk's boxes (certify.h).
extern const Parameter kBoxRadiusPerStep;
extern const Parameter kBoxRadiusPerUlp;
extern const Parameter kBoxNoiseUlps;
extern const Parameter kBoxWidening;
extern const Parameter kBoxAttempts;
extern const Parameter kLargestTestedCluster;

// What each accepted root is told with (finish.h).
extern const Parameter kRealTolerance;
extern const Parameter kZeroJacobian;
extern const Parameter kConditionEstimateTolerance;

}  // namespace zormix::finish

#endif  // ZORMIX_FINISH_PARAMETERS_H_
