// The arguments of zormix_solve_mex read into a system and solve options. Every reader throws
// Error with identifier zormix:badArgument naming the argument and what it expects.
#ifndef ZORMIX_GATEWAY_MEX_INPUT_H_
#define ZORMIX_GATEWAY_MEX_INPUT_H_

#include <optional>
#include <string>
#include <vector>

#include "mex.h"
#include "zormix/parametric.h"
#include "zormix/poly_system.h"
#include "zormix/solve.h"

namespace zormix::gateway {

// The options struct (input 5, or input 2 with equations as text).
struct CallOptions {
  SolveOptions solve;
  bool progress = false;
  bool report = false;                 // return the report text
  std::vector<std::string> variables;  // variable order for equations as text
  // A family (equations as text with parameters): the parameter names, and the members (a
  // members x parameters matrix) and a start struct returned by an earlier call, when given.
  std::vector<std::string> parameters;
  const mxArray* values = nullptr;
  const mxArray* start = nullptr;
  // 'start', 'monodromy': the start is found by monodromy loops instead of a start solve; 'count'
  // the roots of a generic member, when known (the loops stop there).
  bool monodromy = false;
  std::optional<std::int64_t> count;
};

// Fields: route ('polyhedral' | 'totaldegree' or a number as the module's mode), seed (a number
// or a decimal string; [] for fresh entropy), threads ([] or 0 for all cores), progress, report,
// certify (flags: true or false, or 0 or 1), variables, maxPaths (the most paths a route may
// have; default: what the available memory holds). Unknown fields are refused, so that a
// misspelt option is not silently ignored.
CallOptions ReadOptions(const mxArray* options);

// exponents m x n (one row per term), coefficients (m real or complex), termCounts (n positive
// integers adding up to m), names (cell array of n names, or empty for x1 ... xn).
PolySystem ReadSystem(const mxArray* exponents, const mxArray* coefficients,
                      const mxArray* termCounts, const mxArray* names);

// A cell array of equations written as text, one per cell. Errors of the text name the equation
// and the column as the caller wrote them ("equation 2, column 5: ...").
PolySystem ReadEquations(const mxArray* equations, const std::vector<std::string>& variables);

// The same equations as a family whose coefficients may hold the named parameters.
ParametricSystem ReadFamilyEquations(const mxArray* equations,
                                     const std::vector<std::string>& variables,
                                     const std::vector<std::string>& parameters);

}  // namespace zormix::gateway

#endif  // ZORMIX_GATEWAY_MEX_INPUT_H_
