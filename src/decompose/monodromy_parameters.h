// The thresholds of monodromy and of the trace test, in the registry (base/parameter_registry.h).
#ifndef ZORMIX_DECOMPOSE_MONODROMY_PARAMETERS_H_
#define ZORMIX_DECOMPOSE_MONODROMY_PARAMETERS_H_

#include "base/parameter_registry.h"

namespace zormix {

extern const Parameter kMonodromyStableLoops;
extern const Parameter kMonodromyMaxLoops;
extern const Parameter kMonodromyConditionLimit;
extern const Parameter kMonodromySamePoint;
extern const Parameter kTraceConditionLimit;
extern const Parameter kTraceSafety;
extern const Parameter kTraceFloor;
extern const Parameter kTraceCeiling;

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_MONODROMY_PARAMETERS_H_
