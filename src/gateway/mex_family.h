// Families in zormix_solve_mex: the members as a matrix, the start as a struct, and the results
// of a sweep.
#ifndef ZORMIX_GATEWAY_MEX_FAMILY_H_
#define ZORMIX_GATEWAY_MEX_FAMILY_H_

#include <optional>
#include <vector>

#include "gateway/mex_input.h"
#include "mex.h"
#include "zormix/monodromy.h"
#include "zormix/sweep.h"

namespace zormix::gateway {

// values: members x parameters, real or complex, finite. Throws Error zormix:badArgument.
std::vector<std::vector<Complex>> ReadMembers(const mxArray* values, int parameterCount);

// A start struct made by MakeStartStruct: its field `file` holds the start as JSON text.
FamilyStart ReadStart(const mxArray* start);

// Fields: parameters (names), p0 (1 x P complex), roots (n x r complex), multiplicity (1 x r),
// seed (decimal text), npaths (paths of the start solve), file (the start as JSON text, read back
// by ReadStart).
mxArray* MakeStartStruct(const FamilyStart& start);

// 1 x members cell array: per member the struct of MakeResultStruct with the fields instance,
// parameters (1 x P complex), solved, error (text, empty when solved), flagged and gammaAttempts
// added. A member that was not solved has n x 0 roots.
mxArray* MakeMemberCells(const std::vector<MemberResult>& members, const ParametricSystem& family);

// What a call with option 'parameters' computed; kept by the caller in static storage.
struct FamilyCall {
  ParametricSystem family;
  FamilyStart start;
  std::optional<FamilyMonodromyResult> monodromy;  // the start was found by monodromy
  std::vector<MemberResult> members;
  bool swept = false;  // option 'values' was given
};

// Reads the family from the equations, solves its start (or reads option 'start', or finds it by
// monodromy with 'start', 'monodromy') and, with
// option 'values', solves every member. Options are connected to the host beforehand.
void RunFamilyCall(const mxArray* equations, const CallOptions& options, FamilyCall& call);

// Struct with fields start (MakeStartStruct) and members (MakeMemberCells; an empty cell without
// option 'values'); after monodromy, also `monodromy`: solutionCount, traceTestPassed, traceTest,
// traceResidual, stop, loops, npaths, seconds.
mxArray* MakeFamilyOutput(const FamilyCall& call);

}  // namespace zormix::gateway

#endif  // ZORMIX_GATEWAY_MEX_FAMILY_H_
