// The MEX function "zormix_solve_mex": the system in memory, the results in one struct.
//
//   result = zormix_solve_mex(EXPONENTS, COEFFICIENTS, TERMCOUNTS, NAMES, OPTIONS)
//   result = zormix_solve_mex(EQUATIONS, OPTIONS)
//
// EQUATIONS is a cell array of equations written as text. No file is read or written. The M-file
// zormix_solve.m is the documented way in; mex_input.h lists the arguments and options,
// mex_result.h the fields of the result.

#include <memory>
#include <string>
#include <string_view>

#include "finish/report.h"
#include "gateway/host_interrupt.h"
#include "gateway/mex_family.h"
#include "gateway/mex_input.h"
#include "gateway/mex_result.h"
#include "gateway/mex_support.h"
#include "mex.h"
#include "zormix/error.h"
#include "zormix/solve.h"

namespace {

using namespace zormix::gateway;

// Static, so that a host error ending the call without unwinding leaks nothing; the next call
// replaces them.
std::unique_ptr<zormix::SolveResult> lastResult;
std::string lastReport;
bool reportAsked = false;
std::unique_ptr<FamilyCall> lastFamilyCall;  // a call with option 'parameters'

zormix::PolySystem ReadCallSystem(int nrhs, const mxArray* prhs[], const CallOptions& options) {
  if (nrhs == 2) return ReadEquations(prhs[0], options.variables);
  if (!options.variables.empty()) {
    throw zormix::Error(zormix::ErrorCode::kBadArgument,
                        "option 'variables' goes with equations given as text");
  }
  return ReadSystem(prhs[0], prhs[1], prhs[2], prhs[3]);
}

bool Solve(int nrhs, const mxArray* prhs[]) {
  return Guarded("solving the system", [&] {
    lastResult.reset();
    lastReport.clear();
    lastFamilyCall.reset();
    CallOptions options = ReadOptions(prhs[nrhs - 1]);
    if (options.parameters.empty() && (options.values || options.start))
      throw zormix::Error(zormix::ErrorCode::kBadArgument,
                          std::string("option '") + (options.values ? "values" : "start") +
                              "' belongs to a family: give option 'parameters' too");
    if (!options.parameters.empty()) {
      if (nrhs != 2)
        throw zormix::Error(zormix::ErrorCode::kBadArgument,
                            "option 'parameters' goes with equations given as text");
      ConnectToHost(options.solve, options.progress);
      lastFamilyCall = std::make_unique<FamilyCall>();
      RunFamilyCall(prhs[0], options, *lastFamilyCall);
      return;
    }
    const zormix::PolySystem system = ReadCallSystem(nrhs, prhs, options);
    ConnectToHost(options.solve, options.progress);
    lastResult = std::make_unique<zormix::SolveResult>(SolveSystem(system, options.solve));
    reportAsked = options.report;
    if (reportAsked) {
      zormix::FormatReport(*lastResult, [](std::string_view piece) { lastReport.append(piece); });
    }
  });
}

}  // namespace

ZORMIX_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs != 5 && nrhs != 2) {
    mexErrMsgIdAndTxt(kWrongInputCountId,
                      "Five inputs (EXPONENTS, COEFFICIENTS, TERMCOUNTS, NAMES, OPTIONS) or two "
                      "(EQUATIONS, OPTIONS) required.");
  }
  if (nlhs > 1) mexErrMsgIdAndTxt(kWrongOutputCountId, "One output at most.");
  WatchTermination();
  const bool solved = Solve(nrhs, prhs);
  FlushConsole();
  EndTermination();
  if (!solved) RaiseKeptError();
  if (lastFamilyCall) {
    plhs[0] = MakeFamilyOutput(*lastFamilyCall);
    lastFamilyCall.reset();
    return;
  }
  plhs[0] = MakeResultStruct(*lastResult, reportAsked ? &lastReport : nullptr);
  lastResult.reset();
  lastReport.clear();
}
