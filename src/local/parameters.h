// The thresholds of the local analysis (parameter_registry.h): each declared once, with its range
// and reason; code and comments elsewhere cite them by name.
#ifndef ZORMIX_LOCAL_PARAMETERS_H_
#define ZORMIX_LOCAL_PARAMETERS_H_

#include "base/parameter_registry.h"

namespace zormix {

extern const Parameter kNullExponent;            // local.null_exponent
extern const Parameter kRootResidual;            // local.root_residual
extern const Parameter kEndPointReach;           // local.end_point_reach
extern const Parameter kSliceMultiplicityLimit;  // local.slice_multiplicity_limit

}  // namespace zormix

#endif  // ZORMIX_LOCAL_PARAMETERS_H_
