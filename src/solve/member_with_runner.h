// A member of a family solved from its start with the first tracking of its paths run by the
// caller's code: the processes of a cluster job share out the paths of one member.
#ifndef ZORMIX_SOLVE_MEMBER_WITH_RUNNER_H_
#define ZORMIX_SOLVE_MEMBER_WITH_RUNNER_H_

#include <cstdint>
#include <span>

#include "tracker/tracking.h"
#include "zormix/parametric.h"
#include "zormix/sweep.h"

namespace zormix {

// SolveMember with the units of every detour's first tracking run by `units` (empty: this
// process's threads). The runner must fill every unit's slot as if it had been tracked here; the
// rescue, the path-jumping check and the finish then run here as always, so the result is
// SolveMember's bit for bit.
MemberResult SolveMemberWith(const ParametricSystem& family, const FamilyStart& start,
                             std::span<const Complex> parameters, std::int64_t instance,
                             const SweepOptions& options, const UnitRunner& units);

}  // namespace zormix

#endif  // ZORMIX_SOLVE_MEMBER_WITH_RUNNER_H_
