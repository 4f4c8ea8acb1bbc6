// The struct that zormix_solve_mex returns, built from a finished solve.
#ifndef ZORMIX_GATEWAY_MEX_RESULT_H_
#define ZORMIX_GATEWAY_MEX_RESULT_H_

#include <string>

#include "mex.h"
#include "zormix/result.h"

namespace zormix::gateway {

// A 1 x 1 struct: roots (n x count, exactly the roots found), residues (the residuals),
// conditionNumbers, isReal (per root: a real root, regular and real),
// nroots, npaths, ncells, pathStatuses (the status names of the paths without an end point),
// failures (struct array: status, cell, startIndex of each failed path, whose verdict is
// unknown), counts (struct), seed (decimal text), route,
// variables; the classification: rootStatus ('regular' | 'singular' | 'positive-dimensional' per
// root), multiplicity, scaledConditionNumbers, groupLeader (1-based column of the root's group),
// classes (struct of the counts of Summary); localDimension and windingNumber per root; summary
// (BriefReport's line); the certification: certified and certifiedReal (per root, 1 x 0 when not
// asked for), boxLower and boxUpper (n x count complex corners of the certified boxes, NaN without
// a certificate), certification (struct: run, certified, distinct, real); timings (struct, seconds
// per stage); isRealPoint (per root: the point is real, whatever its status); atInfinityPaths
// (struct array of the paths found to diverge: status, cell, startIndex, valuation); text (the
// summary lines and the first roots as people read them: frontend::SummaryBlock and RootsBlock);
// and report (the report text) when report is not null. Every field comes from one row of a table,
// so a new field of SolveResult is one more row.
//
// Calls only host functions that allocate; reads nothing but its arguments, so the caller keeps
// them in static storage (a failed host allocation ends the call without unwinding).
mxArray* MakeResultStruct(const SolveResult& result, const std::string* report);

}  // namespace zormix::gateway

#endif  // ZORMIX_GATEWAY_MEX_RESULT_H_
