// A finished solve as Python objects: the one place that knows the layout of SolveResult on the
// Python side. The result is kept whole, so that the JSON and the summary are written from it by
// the same code as the command line's.
#ifndef ZORMIX_PYTHON_RESULT_CONVERT_H_
#define ZORMIX_PYTHON_RESULT_CONVERT_H_

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frontend/json_output.h"
#include "zormix/result.h"
#include "zormix/sweep.h"

namespace zormix::python {

// What a member of a sweep adds to its solve.
class SolvedResult {
 public:
  SolvedResult(SolveResult result, bool mixedVolumeOnly)
      : result_(std::move(result)), mixedVolumeOnly_(mixedVolumeOnly) {}
  // A member of a sweep; `family` gives an unsolved member its variables.
  SolvedResult(MemberResult member, const ParametricSystem& family);

  // Every per-root and per-path value as NumPy arrays, the counts as a dict, and the scalars
  // (seed, route, variables, warnings), under the names the Python Result reads.
  pybind11::dict Arrays() const;
  // The CLI's --json document, byte for byte; for a member, its line of `zormix sweep --json`.
  std::string Json() const;
  // The CLI's summary lines (counts, variables, route).
  std::string Summary() const;
  // The first maxRoots roots as people read them (frontend::RootsBlock).
  std::string Roots(std::int64_t maxRoots) const;

 private:
  SolveResult result_;
  bool mixedVolumeOnly_ = false;
  std::optional<frontend::MemberFields> member_;
};

void BindResult(pybind11::module_& m);

}  // namespace zormix::python

#endif  // ZORMIX_PYTHON_RESULT_CONVERT_H_
