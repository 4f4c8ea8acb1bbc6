#include "python/src/result_convert.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

#include "frontend/json_output.h"
#include "frontend/summary.h"

namespace py = pybind11;

namespace zormix::python {
namespace {

// A 1-D array holding `values` converted element by element to Out.
template <typename Out, typename In>
py::array_t<Out> Vector(const std::vector<In>& values) {
  py::array_t<Out> out(static_cast<py::ssize_t>(values.size()));
  std::transform(values.begin(), values.end(), out.mutable_data(),
                 [](const In& v) { return static_cast<Out>(v); });
  return out;
}

// An n x k column-major matrix is a k x n row-major array with the same memory: row j of the
// array is column j of the matrix (root j, its n values).
py::array_t<Complex> RowsOfColumns(const ColMajorMatrix<Complex>& matrix, std::int64_t n) {
  py::array_t<Complex> out({static_cast<py::ssize_t>(matrix.cols()), static_cast<py::ssize_t>(n)});
  std::copy(matrix.data(), matrix.data() + matrix.rows() * matrix.cols(), out.mutable_data());
  return out;
}

// The fields of the path records whose status is (`atInfinity`) or is not at infinity, one
// array per field.
py::dict PathArrays(const std::vector<PathRecord>& records, bool atInfinity) {
  std::vector<std::int32_t> cell, start, steps, retracks;
  std::vector<std::uint8_t> status;
  std::vector<double> valuation;
  for (const PathRecord& p : records) {
    if (IsAtInfinity(p.status) != atInfinity) continue;
    cell.push_back(p.cell);
    start.push_back(p.startIndex);
    steps.push_back(p.steps);
    retracks.push_back(p.retrackCount);
    status.push_back(static_cast<std::uint8_t>(p.status));
    valuation.push_back(p.valuation);
  }
  py::dict d;
  d["cell"] = Vector<std::int32_t>(cell);
  d["start_index"] = Vector<std::int32_t>(start);
  d["steps"] = Vector<std::int32_t>(steps);
  d["retracks"] = Vector<std::int32_t>(retracks);
  d["status"] = Vector<std::uint8_t>(status);
  d["valuation"] = Vector<double>(valuation);
  return d;
}

// Counts under the names and with the meanings of the JSON document, the class counts from
// Summarize as every front end's.
py::dict Counts(const SolveResult& r) {
  const zormix::Summary s = Summarize(r);
  py::dict c;
  c["path_count"] = r.pathCount;
  c["cell_count"] = r.cellCount;
  c["root_count"] = r.rootCount;
  c["real_count"] = s.realRegular;
  c["blow_up_count"] = r.counts.blowUps;
  c["end_point_count"] = r.counts.endPoints;
  c["retracked_paths"] = r.counts.retracked;
  c["separated_pairs"] = r.counts.separatedPairs;
  c["rescue_attempts"] = r.counts.rescueAttempts;
  c["rescued_paths"] = r.counts.rescued;
  c["lost_path_count"] = s.failed;
  c["regular_count"] = s.regular;
  c["singular_count"] = s.singular;
  c["singular_end_point_count"] = s.singularEndPoints;
  c["positive_dimensional_count"] = s.positiveDimensional;
  c["real_regular_count"] = s.realRegular;
  c["at_infinity_count"] = s.atInfinity;
  c["failed_count"] = s.failed;
  c["rescued_count"] = s.rescued;
  c["certified_count"] = s.certification.certified;
  c["certified_distinct_count"] = s.certification.distinct;
  c["certified_real_count"] = s.certification.real;
  return c;
}

py::dict PathStatusCounts(const PathCounts& counts) {
  py::dict d;
  for (int s = 0; s < kPathStatusCount; ++s) {
    d[PathStatusName(static_cast<PathStatus>(s))] = counts.byStatus[s];
  }
  return d;
}

// The route a member's records name: its paths come from the start's roots, not from a route.
constexpr const char* kMemberRoute = "parameter";

void AddMemberFields(const frontend::MemberFields& m, py::dict& d) {
  d["route"] = kMemberRoute;
  d["instance"] = m.instance;
  py::array_t<Complex> parameters(static_cast<py::ssize_t>(m.parameters.size()));
  std::copy(m.parameters.begin(), m.parameters.end(), parameters.mutable_data());
  d["parameters"] = parameters;
  d["solved"] = m.solved;
  d["error"] = m.error;
  d["flagged"] = m.flagged;
  d["gamma_attempts"] = m.gammaAttempts;
}

}  // namespace

SolvedResult::SolvedResult(MemberResult member, const ParametricSystem& family)
    : result_(std::move(member.result)),
      member_(frontend::MemberFields{member.instance, std::move(member.parameters), member.solved,
                                     std::move(member.error), member.flagged,
                                     member.gammaAttempts}) {
  if (member_->solved) return;
  result_.n = family.n;
  result_.roots.Assign(family.n, 0);
  result_.variableNames.clear();
  for (const std::string& name : family.variableNames)
    result_.variableNames.push_back(name.substr(0, name.find_last_not_of(' ') + 1));
}

py::dict SolvedResult::Arrays() const {
  const SolveResult& r = result_;
  py::dict d;
  d["n"] = r.n;
  d["route"] = RouteName(r.route);
  d["seed"] = r.seed;
  d["mixed_volume_only"] = mixedVolumeOnly_;
  d["variables"] = r.variableNames;
  d["warnings"] = r.warnings;
  d["counts"] = Counts(r);
  d["path_status_counts"] = PathStatusCounts(r.counts);
  d["certification_run"] = r.certification.run;
  d["roots"] = RowsOfColumns(r.roots, r.n);
  d["residuals"] = Vector<double>(r.residuals);
  d["conditions"] = Vector<double>(r.conditionNumbers);
  d["scaled_conditions"] = Vector<double>(r.scaledConditionNumbers);
  d["real_point"] = Vector<bool>(r.isReal);
  std::vector<std::uint8_t> realRoots;
  for (std::int64_t k = 0; k < r.roots.cols(); ++k) realRoots.push_back(RootAt(r, k).real);
  d["real"] = Vector<bool>(realRoots);
  d["zero_jacobian"] = Vector<bool>(r.zeroJacobian);
  d["status"] = Vector<std::uint8_t>(r.rootStatus);
  d["multiplicity"] = Vector<std::int32_t>(r.multiplicity);
  d["group_leader"] = Vector<std::int64_t>(r.groupLeader);
  d["certified"] = Vector<bool>(r.certified);
  d["certified_real"] = Vector<bool>(r.certifiedReal);
  d["box_centers"] = RowsOfColumns(r.boxCenters, r.boxCenters.empty() ? 0 : r.n);
  d["box_radii"] = Vector<double>(r.boxRadii);
  // A root's path has an end point, so no status of theirs is at infinity.
  d["paths"] = PathArrays(r.records, false);
  d["lost_paths"] = PathArrays(r.lostPaths, false);
  d["at_infinity_paths"] = PathArrays(r.lostPaths, true);
  if (member_) AddMemberFields(*member_, d);
  return d;
}

std::string SolvedResult::Json() const {
  if (member_) return frontend::MemberJsonLine(*member_, result_);
  std::string text;
  frontend::WriteResultJson(result_, mixedVolumeOnly_,
                            [&text](std::string_view piece) { text.append(piece); });
  return text;
}

std::string SolvedResult::Roots(std::int64_t maxRoots) const {
  return mixedVolumeOnly_ ? std::string() : frontend::RootsBlock(result_, maxRoots);
}

std::string SolvedResult::Summary() const {
  if (!member_) return frontend::SummaryBlock(result_, mixedVolumeOnly_);
  const std::string head = "instance " + std::to_string(member_->instance) + ": ";
  if (!member_->solved) return head + "not solved: " + member_->error + "\n";
  // The solve's lines with the member's route in place of the route line.
  std::string block = frontend::SummaryBlock(result_, false);
  block.erase(block.rfind("route: "));
  return head + block + "route: " + kMemberRoute + "\n";
}

void BindResult(py::module_& m) {
  py::class_<SolvedResult>(m, "SolvedResult", "A finished solve, kept whole on the C++ side.")
      .def("arrays", &SolvedResult::Arrays)
      .def("json", &SolvedResult::Json)
      .def("summary", &SolvedResult::Summary)
      .def("roots_text", &SolvedResult::Roots, pybind11::arg("max_roots"));
  py::list statusNames;
  for (int s = 0; s < kPathStatusCount; ++s) {
    statusNames.append(PathStatusName(static_cast<PathStatus>(s)));
  }
  m.attr("PATH_STATUS_NAMES") = py::tuple(statusNames);
  m.attr("ROOT_STATUS_NAMES") =
      py::make_tuple(RootStatusName(RootStatus::kRegular), RootStatusName(RootStatus::kSingular),
                     RootStatusName(RootStatus::kPositiveDimensional));
}

}  // namespace zormix::python
