#include "gateway/mex_result.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

#include "frontend/summary.h"

namespace zormix::gateway {
namespace {

// Roots listed in the field `text`, as Python's print(result) lists them.
constexpr std::int64_t kRootsShown = 10;

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

template <typename Integer>
mxArray* Row(const std::vector<Integer>& values, double offset) {
  mxArray* row = mxCreateDoubleMatrix(1, values.size(), mxREAL);
  double* out = mxGetPr(row);
  for (std::size_t k = 0; k < values.size(); ++k) out[k] = static_cast<double>(values[k]) + offset;
  return row;
}

mxArray* Flags(const std::vector<std::uint8_t>& values) {
  mxArray* flags = mxCreateLogicalMatrix(1, values.size());
  mxLogical* out = mxGetLogicals(flags);
  for (std::size_t k = 0; k < values.size(); ++k) out[k] = values[k] != 0;
  return flags;
}

struct NamedNumber {
  const char* name;
  double value;
};

// A 1 x 1 struct of numbers, one field per entry.
template <std::size_t N>
mxArray* NumberStruct(const NamedNumber (&fields)[N]) {
  const char* names[N];
  for (std::size_t f = 0; f < N; ++f) names[f] = fields[f].name;
  mxArray* out = mxCreateStructMatrix(1, 1, static_cast<int>(N), names);
  for (std::size_t f = 0; f < N; ++f) {
    mxSetFieldByNumber(out, 0, static_cast<int>(f), Scalar(fields[f].value));
  }
  return out;
}

double Count(std::int64_t count) { return static_cast<double>(count); }

mxArray* Texts(std::size_t count, const char* (*text)(const SolveResult&, std::size_t),
               const SolveResult& r) {
  mxArray* cell = mxCreateCellMatrix(1, count);
  for (std::size_t k = 0; k < count; ++k) mxSetCell(cell, k, mxCreateString(text(r, k)));
  return cell;
}

const char* StatusOfLostPath(const SolveResult& r, std::size_t k) {
  return PathStatusName(r.lostPaths[k].status);
}

const char* StatusOfRoot(const SolveResult& r, std::size_t k) {
  return RootStatusName(r.rootStatus[k]);
}

const char* VariableName(const SolveResult& r, std::size_t k) { return r.variableNames[k].c_str(); }

// The paths without an end point whose status is (`atInfinity`) or is not at infinity: status,
// cell, startIndex, and for a path at infinity the valuation that proved it.
mxArray* PathsWithoutEndPoint(const SolveResult& r, bool atInfinity) {
  std::vector<const PathRecord*> paths;
  for (const PathRecord& path : r.lostPaths)
    if (IsAtInfinity(path.status) == atInfinity) paths.push_back(&path);
  const char* names[] = {"status", "cell", "startIndex", "valuation"};
  mxArray* out = mxCreateStructMatrix(1, paths.size(), atInfinity ? 4 : 3, names);
  for (std::size_t k = 0; k < paths.size(); ++k) {
    mxSetFieldByNumber(out, k, 0, mxCreateString(PathStatusName(paths[k]->status)));
    mxSetFieldByNumber(out, k, 1, Scalar(paths[k]->cell));
    mxSetFieldByNumber(out, k, 2, Scalar(paths[k]->startIndex));
    if (atInfinity) mxSetFieldByNumber(out, k, 3, Scalar(paths[k]->valuation));
  }
  return out;
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

// Per root: a real root (regular and real), the meaning of "real" in every front end.
std::vector<std::uint8_t> RealRoots(const SolveResult& r) {
  std::vector<std::uint8_t> real;
  for (std::int64_t k = 0; k < r.roots.cols(); ++k) real.push_back(RootAt(r, k).real ? 1 : 0);
  return real;
}

// regular + singularEndPoints + positiveDimensional + atInfinity + failed = npaths.
mxArray* Classes(const SolveResult& r) {
  const Summary s = Summarize(r);
  const NamedNumber fields[] = {{"regular", Count(s.regular)},
                                {"singular", Count(s.singular)},
                                {"singularEndPoints", Count(s.singularEndPoints)},
                                {"realRegular", Count(s.realRegular)},
                                {"atInfinity", Count(s.atInfinity)},
                                {"failed", Count(s.failed)},
                                {"rescued", Count(s.rescued)},
                                {"positiveDimensional", Count(s.positiveDimensional)}};
  return NumberStruct(fields);
}

std::vector<std::int32_t> WindingNumbers(const SolveResult& r) {
  std::vector<std::int32_t> out;
  for (const PathRecord& p : r.records) out.push_back(p.windingNumber);
  return out;
}

mxArray* Certification(const SolveResult& r) {
  const CertificationCounts& c = r.certification;
  const char* names[] = {"run", "certified", "distinct", "real"};
  mxArray* out = mxCreateStructMatrix(1, 1, 4, names);
  mxSetFieldByNumber(out, 0, 0, mxCreateLogicalScalar(c.run));
  mxSetFieldByNumber(out, 0, 1, Scalar(Count(c.certified)));
  mxSetFieldByNumber(out, 0, 2, Scalar(Count(c.distinct)));
  mxSetFieldByNumber(out, 0, 3, Scalar(Count(c.real)));
  return out;
}

// One corner of each certified box center + [-radius, radius] (1 + i): side -1 the lower, +1 the
// upper, both moved one unit in the last place outward so that the rounding of center +- radius
// cannot put the corner inside the box. NaN for a root without a certificate; n x 0 when the
// certification was not asked for.
mxArray* BoxCorner(const SolveResult& r, double side) {
  const auto rows = static_cast<std::size_t>(r.n);
  const std::size_t cols = r.certified.size();
  mxArray* corner = mxCreateDoubleMatrix(rows, cols, mxCOMPLEX);
  double* re = mxGetPr(corner);
  double* im = mxGetPi(corner);
  const double away = side * std::numeric_limits<double>::infinity();
  for (std::size_t k = 0; k < cols; ++k) {
    for (std::size_t v = 0; v < rows; ++v) {
      const std::size_t at = v + k * rows;
      if (r.certified[k] == 0) {
        re[at] = im[at] = std::numeric_limits<double>::quiet_NaN();
        continue;
      }
      const Complex c = r.boxCenters(static_cast<std::int64_t>(v), static_cast<std::int64_t>(k));
      const double radius = side * r.boxRadii[k];
      re[at] = std::nextafter(c.real() + radius, away);
      im[at] = std::nextafter(c.imag() + radius, away);
    }
  }
  return corner;
}

mxArray* Timings(const SolveResult& r) {
  const StageTimings& t = r.timings;
  const NamedNumber fields[] = {{"mixedCells", t.mixedCells},
                                {"tracking", t.tracking},
                                {"finishing", t.finishing},
                                {"classification", t.classification},
                                {"certification", t.certification}};
  return NumberStruct(fields);
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
    {"residues", [](const SolveResult& r) { return Row(r.residuals); }},
    {"conditionNumbers", [](const SolveResult& r) { return Row(r.conditionNumbers); }},
    {"isReal", [](const SolveResult& r) { return Flags(RealRoots(r)); }},
    {"nroots", [](const SolveResult& r) { return Scalar(static_cast<double>(r.roots.cols())); }},
    {"npaths", [](const SolveResult& r) { return Scalar(static_cast<double>(r.pathCount)); }},
    {"ncells", [](const SolveResult& r) { return Scalar(static_cast<double>(r.cellCount)); }},
    {"pathStatuses",
     [](const SolveResult& r) { return Texts(r.lostPaths.size(), StatusOfLostPath, r); }},
    {"failures", [](const SolveResult& r) { return PathsWithoutEndPoint(r, false); }},
    {"counts", Counts},
    {"seed", Seed},
    {"route", [](const SolveResult& r) { return mxCreateString(HostRouteName(r.route)); }},
    {"variables",
     [](const SolveResult& r) { return Texts(r.variableNames.size(), VariableName, r); }},
    {"rootStatus",
     [](const SolveResult& r) { return Texts(r.rootStatus.size(), StatusOfRoot, r); }},
    {"multiplicity", [](const SolveResult& r) { return Row(r.multiplicity, 0.0); }},
    {"scaledConditionNumbers", [](const SolveResult& r) { return Row(r.scaledConditionNumbers); }},
    {"groupLeader", [](const SolveResult& r) { return Row(r.groupLeader, 1.0); }},  // 1-based
    {"classes", Classes},
    {"certified", [](const SolveResult& r) { return Flags(r.certified); }},
    {"certifiedReal", [](const SolveResult& r) { return Flags(r.certifiedReal); }},
    {"boxLower", [](const SolveResult& r) { return BoxCorner(r, -1.0); }},
    {"boxUpper", [](const SolveResult& r) { return BoxCorner(r, 1.0); }},
    {"certification", Certification},
    {"timings", Timings},
    {"localDimension", [](const SolveResult& r) { return Row(r.localDimension, 0.0); }},
    {"windingNumber", [](const SolveResult& r) { return Row(WindingNumbers(r), 0.0); }},
    {"summary",
     [](const SolveResult& r) { return mxCreateString(Summarize(r).BriefReport().c_str()); }},
    {"isRealPoint", [](const SolveResult& r) { return Flags(r.isReal); }},
    {"atInfinityPaths", [](const SolveResult& r) { return PathsWithoutEndPoint(r, true); }},
    {"text",
     [](const SolveResult& r) {
       return mxCreateString(
           (frontend::SummaryBlock(r, false) + frontend::RootsBlock(r, kRootsShown)).c_str());
     }},
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
