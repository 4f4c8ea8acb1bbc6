#include "python/src/system_parts.h"

#include <pybind11/stl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "zormix/error.h"

namespace py = pybind11;

namespace zormix::python {
namespace {

PolySystem SystemFromParts(const IntArray& counts, const IntArray& exponents,
                           const ComplexArray& coefficients,
                           const std::vector<std::string>& names) {
  const std::int64_t n = static_cast<std::int64_t>(names.size());
  const std::int64_t m = coefficients.ndim() == 1 ? coefficients.shape(0) : -1;
  if (counts.ndim() != 1 || counts.shape(0) != n || exponents.ndim() != 2 ||
      exponents.shape(0) != m || exponents.shape(1) != n) {
    throw Error(ErrorCode::kBadArgument,
                "the system's arrays do not fit together: term counts (n), "
                "exponents (terms x n), coefficients (terms), n names");
  }
  PolySystem system;
  system.n = static_cast<int>(n);
  system.termCount.assign(counts.data(), counts.data() + n);
  system.exponents.Assign(n, m);
  std::copy(exponents.data(), exponents.data() + n * m, system.exponents.data());
  system.coefficients.assign(coefficients.data(), coefficients.data() + m);
  for (const std::string& name : names) system.variableNames.push_back(PadVariableName(name));
  return system;
}

}  // namespace

py::tuple SystemToTuple(const PolySystem& system) {
  const auto n = static_cast<py::ssize_t>(system.n);
  const auto m = static_cast<py::ssize_t>(system.termTotal());
  IntArray counts(n);
  std::copy(system.termCount.begin(), system.termCount.end(), counts.mutable_data());
  IntArray exponents({m, n});
  std::copy(system.exponents.storage().begin(), system.exponents.storage().end(),
            exponents.mutable_data());
  ComplexArray coefficients(m);
  std::copy(system.coefficients.begin(), system.coefficients.end(), coefficients.mutable_data());
  py::list names;
  for (const std::string& name : system.variableNames) {
    names.append(name.substr(0, name.find_last_not_of(' ') + 1));
  }
  return py::make_tuple(counts, exponents, coefficients, names);
}

PolySystem SystemFromTuple(const py::tuple& parts) {
  if (parts.size() != 4) throw Error(ErrorCode::kBadArgument, "a system is a tuple of four parts");
  return SystemFromParts(parts[0].cast<IntArray>(), parts[1].cast<IntArray>(),
                         parts[2].cast<ComplexArray>(), parts[3].cast<std::vector<std::string>>());
}

}  // namespace zormix::python
