// The first stage: the system checked and brought into normal form once for every later stage.
#include <algorithm>
#include <memory>

#include "base/parameter_registry.h"
#include "base/text.h"
#include "model/check_system.h"
#include "model/coefficient_range.h"
#include "solve/stage_data.h"
#include "zormix/error.h"

namespace zormix {
namespace {

std::shared_ptr<const ProblemData> MakeProblemData(const PolySystem& input) {
  CheckParameterOverrides();
  ValidateSystem(input, "system");
  PolySystem padded = input;
  for (std::string& name : padded.variableNames) name = PadVariableName(name);
  auto data = std::make_shared<ProblemData>();
  data->system = BringToNormalForm(padded);
  const std::vector<double>& scale = data->system.scaleExponents;
  const bool scaled = std::any_of(scale.begin(), scale.end(), [](double s) { return s != 0.0; });
  data->warnings = SystemWarnings(data->system.scaled, scaled);
  if (const std::string moved = MovedParameters(); !moved.empty())
    data->warnings.push_back(
        "thresholds moved by ZORMIX_PARAMETERS, so these are not the solver's "
        "results: " +
        moved);
  for (const std::string& name : data->system.scaled.variableNames)
    data->variableNames.push_back(TrimTrailingBlanks(name));
  return data;
}

}  // namespace

void ThrowMovedFrom(const char* what) {
  throw Error(ErrorCode::kBadArgument,
              std::string("this ") + what +
                  " was moved from (or Finish took its paths): it holds nothing to use");
}

Problem::Problem(const PolySystem& system) : data_(MakeProblemData(system)) {}

const ProblemData& Problem::data() const {
  if (!data_) ThrowMovedFrom("Problem");
  return *data_;
}

int Problem::n() const { return data().system.scaled.n; }
const std::vector<std::string>& Problem::variableNames() const { return data().variableNames; }
const std::vector<std::string>& Problem::warnings() const { return data().warnings; }

// The normal form orders equations by term count and terms by exponent alone, so two systems with
// the same supports have the same term numbering and the same constant terms completed.
bool Problem::SameSupports(const Problem& other) const {
  const NormalForm& a = data().system;
  const NormalForm& b = other.data().system;
  return a.scaled.n == b.scaled.n && a.scaled.termCount == b.scaled.termCount &&
         a.scaled.exponents == b.scaled.exponents && a.constantAdded == b.constantAdded;
}

}  // namespace zormix
