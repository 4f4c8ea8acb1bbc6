#include "gateway/mex_result.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace zormix::gateway {
namespace {

mxArray* Scalar(double value) { return mxCreateDoubleScalar(value); }

mxArray* Row(const std::vector<double>& values) {
  mxArray* row = mxCreateDoubleMatrix(1, values.size(), mxREAL);
  double* out = mxGetPr(row);
  for (std::size_t k = 0; k < values.size(); ++k) out[k] = values[k];
  return row;
}

mxArray* Roots(const SolveResult& r) {
  const auto rows = static_cast<std::size_t>(r.roots.rows());
  const auto cols = static_cast<std::size_t>(r.roots.cols());
  mxArray* roots = mxCreateDoubleMatrix(rows, cols, mxCOMPLEX);
  double* re = mxGetPr(roots);
  double* im = mxGetPi(roots);
  for (std::size_t k = 0; k < rows * cols; ++k) {
    re[k] = r.roots.storage()[k].real();
    im[k] = r.roots.storage()[k].imag();
  }
  return roots;
}

mxArray* IsReal(const SolveResult& r) {
  mxArray* flags = mxCreateLogicalMatrix(1, r.isReal.size());
  mxLogical* out = mxGetLogicals(flags);
  for (std::size_t k = 0; k < r.isReal.size(); ++k) out[k] = r.isReal[k] != 0;
  return flags;
}

mxArray* Texts(std::size_t count, const char* (*text)(const SolveResult&, std::size_t),
               const SolveResult& r) {
  mxArray* cell = mxCreateCellMatrix(1, count);
  for (std::size_t k = 0; k < count; ++k) mxSetCell(cell, k, mxCreateString(text(r, k)));
  return cell;
}

const char* StatusOfLostPath(const SolveResult& r, std::size_t k) {
  return PathStatusName(r.lostPaths[k].status);
}

const char* VariableName(const SolveResult& r, std::size_t k) { return r.variableNames[k].c_str(); }

mxArray* Failures(const SolveResult& r) {
  const char* names[] = {"status", "cell", "startIndex"};
  mxArray* failures = mxCreateStructMatrix(1, r.lostPaths.size(), 3, names);
  for (std::size_t k = 0; k < r.lostPaths.size(); ++k) {
    const PathRecord& path = r.lostPaths[k];
    mxSetFieldByNumber(failures, k, 0, mxCreateString(PathStatusName(path.status)));
    mxSetFieldByNumber(failures, k, 1, Scalar(path.cell));
    mxSetFieldByNumber(failures, k, 2, Scalar(path.startIndex));
  }
  return failures;
}

// The paths of each final status, under the status's name.
mxArray* ByStatus(const PathCounts& c) {
  const char* names[kPathStatusCount];
  for (int s = 0; s < kPathStatusCount; ++s) names[s] = PathStatusName(static_cast<PathStatus>(s));
  mxArray* byStatus = mxCreateStructMatrix(1, 1, kPathStatusCount, names);
  for (int s = 0; s < kPathStatusCount; ++s) {
    mxSetFieldByNumber(byStatus, 0, s, Scalar(static_cast<double>(c.byStatus[s])));
  }
  return byStatus;
}

mxArray* Counts(const SolveResult& r) {
  const PathCounts& c = r.counts;
  const char* names[] = {"endPoints",      "blowUps", "retracked", "separatedPairs",
                         "rescueAttempts", "rescued", "byStatus"};
  const double values[] = {
      static_cast<double>(c.endPoints),      static_cast<double>(c.blowUps),
      static_cast<double>(c.retracked),      static_cast<double>(c.separatedPairs),
      static_cast<double>(c.rescueAttempts), static_cast<double>(c.rescued)};
  mxArray* counts = mxCreateStructMatrix(1, 1, 7, names);
  for (int f = 0; f < 6; ++f) mxSetFieldByNumber(counts, 0, f, Scalar(values[f]));
  mxSetFieldByNumber(counts, 0, 6, ByStatus(c));
  return counts;
}

mxArray* Seed(const SolveResult& r) {
  char text[32];
  std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(r.seed));
  return mxCreateString(text);
}

struct Field {
  const char* name;
  mxArray* (*make)(const SolveResult&);
};

// The fields in the order the struct shows them.
const Field kFields[] = {
    {"roots", Roots},
    {"residues", [](const SolveResult& r) { return Row(r.residues); }},
    {"conditionNumbers", [](const SolveResult& r) { return Row(r.conditionNumbers); }},
    {"isReal", IsReal},
    {"nroots", [](const SolveResult& r) { return Scalar(static_cast<double>(r.roots.cols())); }},
    {"npaths", [](const SolveResult& r) { return Scalar(static_cast<double>(r.pathCount)); }},
    {"ncells", [](const SolveResult& r) { return Scalar(static_cast<double>(r.cellCount)); }},
    {"pathStatuses",
     [](const SolveResult& r) { return Texts(r.lostPaths.size(), StatusOfLostPath, r); }},
    {"failures", Failures},
    {"counts", Counts},
    {"seed", Seed},
    {"route",
     [](const SolveResult& r) {
       return mxCreateString(r.route == Route::kTotalDegree ? "totaldegree" : "polyhedral");
     }},
    {"variables",
     [](const SolveResult& r) { return Texts(r.variableNames.size(), VariableName, r); }},
};
constexpr int kFieldCount = sizeof kFields / sizeof kFields[0];

}  // namespace

mxArray* MakeResultStruct(const SolveResult& result, const std::string* report) {
  const char* names[kFieldCount + 1];
  for (int f = 0; f < kFieldCount; ++f) names[f] = kFields[f].name;
  names[kFieldCount] = "report";
  mxArray* out = mxCreateStructMatrix(1, 1, kFieldCount + (report != nullptr ? 1 : 0), names);
  for (int f = 0; f < kFieldCount; ++f) mxSetFieldByNumber(out, 0, f, kFields[f].make(result));
  if (report != nullptr) mxSetFieldByNumber(out, 0, kFieldCount, mxCreateString(report->c_str()));
  return out;
}

}  // namespace zormix::gateway
