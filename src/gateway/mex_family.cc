#include "gateway/mex_family.h"

#include <cmath>
#include <string>

#include "base/text.h"
#include "gateway/mex_result.h"
#include "gateway/mex_support.h"
#include "zormix/error.h"

namespace zormix::gateway {
namespace {

[[noreturn]] void Bad(const std::string& message) { throw Error(ErrorCode::kBadArgument, message); }

mxArray* ComplexRow(const std::vector<Complex>& values) {
  mxArray* row = mxCreateDoubleMatrix(1, values.size(), mxCOMPLEX);
  for (std::size_t k = 0; k < values.size(); ++k) {
    mxGetPr(row)[k] = values[k].real();
    mxGetPi(row)[k] = values[k].imag();
  }
  return row;
}

mxArray* TextCell(const std::vector<std::string>& texts) {
  mxArray* cell = mxCreateCellMatrix(1, texts.size());
  for (std::size_t k = 0; k < texts.size(); ++k)
    mxSetCell(cell, k, mxCreateString(texts[k].c_str()));
  return cell;
}

void AddField(mxArray* s, const char* name, mxArray* value) {
  mxSetFieldByNumber(s, 0, mxAddField(s, name), value);
}

mxArray* MonodromyStruct(const FamilyMonodromyResult& r) {
  mxArray* s = mxCreateStructMatrix(1, 1, 0, nullptr);
  AddField(s, "solutionCount", mxCreateDoubleScalar(static_cast<double>(r.start.roots.cols())));
  AddField(s, "traceTestPassed", mxCreateLogicalScalar(r.trace == FamilyTraceVerdict::kPassed));
  AddField(s, "traceTest", mxCreateString(FamilyTraceVerdictName(r.trace)));
  AddField(s, "traceResidual", mxCreateDoubleScalar(r.traceResidual));
  AddField(s, "stop", mxCreateString(MonodromyStopName(r.stop)));
  AddField(s, "loops", mxCreateDoubleScalar(r.loops));
  AddField(s, "npaths", mxCreateDoubleScalar(static_cast<double>(r.pathsTracked)));
  AddField(s, "seconds", mxCreateDoubleScalar(r.seconds));
  return s;
}

}  // namespace

std::vector<std::vector<Complex>> ReadMembers(const mxArray* values, int parameterCount) {
  if (!mxIsDouble(values) || mxIsSparse(values) ||
      mxGetN(values) != static_cast<std::size_t>(parameterCount)) {
    Bad("option 'values' must be a double matrix with one column per parameter (" +
        std::to_string(parameterCount) + ") and one row per member");
  }
  const std::size_t rows = mxGetM(values);
  const double* re = mxGetPr(values);
  const double* im = mxIsComplex(values) ? mxGetPi(values) : nullptr;
  std::vector<std::vector<Complex>> members(rows);
  for (std::size_t r = 0; r < rows; ++r) {
    for (int l = 0; l < parameterCount; ++l) {
      const std::size_t at = r + static_cast<std::size_t>(l) * rows;
      const Complex z(re[at], im ? im[at] : 0.0);
      if (!std::isfinite(z.real()) || !std::isfinite(z.imag()))
        Bad("option 'values' holds a value that is not finite (row " + std::to_string(r + 1) + ")");
      members[r].push_back(z);
    }
  }
  return members;
}

FamilyStart ReadStart(const mxArray* start) {
  const mxArray* file = mxIsStruct(start) ? mxGetField(start, 0, "file") : nullptr;
  if (file == nullptr || !mxIsChar(file))
    Bad("option 'start' must be a start struct returned by zormix_solve (field 'file')");
  char* text = mxArrayToString(file);
  const std::string json = text ? text : "";
  mxFree(text);
  return ParseFamilyStart(json, "option 'start'");
}

mxArray* MakeStartStruct(const FamilyStart& start) {
  const char* names[] = {"parameters", "p0", "roots", "multiplicity", "seed", "npaths", "file"};
  mxArray* s = mxCreateStructMatrix(1, 1, 7, names);
  mxSetFieldByNumber(s, 0, 0, TextCell(start.parameterNames));
  mxSetFieldByNumber(s, 0, 1, ComplexRow(start.parameters));
  mxArray* roots = mxCreateDoubleMatrix(start.roots.rows(), start.roots.cols(), mxCOMPLEX);
  for (std::size_t k = 0; k < start.roots.storage().size(); ++k) {
    mxGetPr(roots)[k] = start.roots.storage()[k].real();
    mxGetPi(roots)[k] = start.roots.storage()[k].imag();
  }
  mxSetFieldByNumber(s, 0, 2, roots);
  mxArray* multiplicity = mxCreateDoubleMatrix(1, start.multiplicity.size(), mxREAL);
  for (std::size_t k = 0; k < start.multiplicity.size(); ++k)
    mxGetPr(multiplicity)[k] = start.multiplicity[k];
  mxSetFieldByNumber(s, 0, 3, multiplicity);
  mxSetFieldByNumber(s, 0, 4, mxCreateString(std::to_string(start.seed).c_str()));
  mxSetFieldByNumber(s, 0, 5, mxCreateDoubleScalar(static_cast<double>(start.pathCount)));
  mxSetFieldByNumber(s, 0, 6, mxCreateString(FormatFamilyStart(start).c_str()));
  return s;
}

mxArray* MakeMemberCells(const std::vector<MemberResult>& members, const ParametricSystem& family) {
  mxArray* cells = mxCreateCellMatrix(1, members.size());
  for (std::size_t k = 0; k < members.size(); ++k) {
    const MemberResult& m = members[k];
    SolveResult unsolved;
    unsolved.n = family.n;
    unsolved.roots.Assign(family.n, 0);
    for (const std::string& name : family.variableNames)
      unsolved.variableNames.push_back(TrimTrailingBlanks(name));
    mxArray* s = MakeResultStruct(m.solved ? m.result : unsolved, nullptr);
    // A member's paths come from the start's roots, not from a route: the JSON's and Python's
    // name for them.
    mxDestroyArray(mxGetField(s, 0, "route"));
    mxSetField(s, 0, "route", mxCreateString("parameter"));
    AddField(s, "instance", mxCreateDoubleScalar(static_cast<double>(m.instance)));
    AddField(s, "parameters", ComplexRow(m.parameters));
    AddField(s, "solved", mxCreateLogicalScalar(m.solved));
    AddField(s, "error", mxCreateString(m.error.c_str()));
    AddField(s, "flagged", mxCreateLogicalScalar(m.flagged));
    AddField(s, "gammaAttempts", mxCreateDoubleScalar(m.gammaAttempts));
    mxSetCell(cells, k, s);
  }
  return cells;
}

void RunFamilyCall(const mxArray* equations, const CallOptions& options, FamilyCall& call) {
  call.family = ReadFamilyEquations(equations, options.variables, options.parameters);
  SweepOptions sweep;
  sweep.seed = options.solve.seed;
  sweep.threads = options.solve.threads;
  sweep.startRoute = options.solve.route;
  sweep.certify = options.solve.certify;
  sweep.maxPaths = options.solve.maxPaths;
  sweep.interrupted = options.solve.interrupted;
  if (options.start) {
    call.start = ReadStart(options.start);
    CheckStartBelongs(call.family, call.start, "option 'start'");
  } else if (options.monodromy) {
    FamilyMonodromyOptions monodromy;
    monodromy.seed = options.solve.seed;
    monodromy.threads = options.solve.threads;
    monodromy.count = options.count;
    monodromy.interrupted = options.solve.interrupted;
    call.monodromy = SolveFamilyByMonodromy(call.family, monodromy);
    call.start = call.monodromy->start;
  } else {
    call.start = SolveFamilyStart(call.family, sweep);
  }
  if (!options.values) return;
  const std::vector<std::vector<Complex>> members =
      ReadMembers(options.values, call.family.parameterCount());
  call.swept = true;
  SweepFamily(call.family, call.start, members, sweep,
              [&call](MemberResult&& m) { call.members.push_back(std::move(m)); });
}

mxArray* MakeFamilyOutput(const FamilyCall& call) {
  const char* names[] = {"start", "members"};
  mxArray* out = mxCreateStructMatrix(1, 1, 2, names);
  mxSetFieldByNumber(out, 0, 0, MakeStartStruct(call.start));
  mxSetFieldByNumber(out, 0, 1, MakeMemberCells(call.members, call.family));
  if (call.monodromy) AddField(out, "monodromy", MonodromyStruct(*call.monodromy));
  return out;
}

}  // namespace zormix::gateway
