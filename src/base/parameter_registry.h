// The one registry of the solver's thresholds: every number that decides a verdict or steers a
// path is declared once, as a `Parameter` with its name, value, the range in which it may be moved
// and the reason for its value, so that it can be listed (`zormix --parameters`), documented
// (docs/verdicts.md) and tested at both ends of its range.
//
// A layer declares its parameters in one file of its own (`<layer>/parameters.h` and `.cc`):
//
//   // finish/parameters.h
//   extern const Parameter kWellConditioned;
//   // finish/parameters.cc
//   const Parameter kWellConditioned{{.name = "finish.well_conditioned", .value = 1e6,
//                                     .lowest = 1e4, .highest = 1e8, .decides = "...",
//                                     .reason = "..."}};
//
// and its code reads `kWellConditioned.value()` (or uses it as a double). Comments elsewhere cite
// the parameter's name, never its value.
//
// For studying the verdicts, the environment variable ZORMIX_PARAMETERS moves parameters within
// their ranges for the whole process: "finish.well_conditioned=1e8,tracker.min_step=1e-12". It is
// read once, before main, as the parameters are constructed; CheckParameterOverrides (called by
// SolveOptions::Validate) refuses an unknown name or a value outside its range. Results computed
// with moved parameters are not the solver's: every front end says so.
#ifndef ZORMIX_BASE_PARAMETER_REGISTRY_H_
#define ZORMIX_BASE_PARAMETER_REGISTRY_H_

#include <string>
#include <string_view>
#include <vector>

namespace zormix {

struct ParameterDeclaration {
  std::string_view name;  // "<layer>.<what>", lower case with underscores
  double value = 0.0;     // the value the solver uses
  // The range in which the value may be moved without changing what the parameter means; the
  // tests catch a move to either end of it.
  double lowest = 0.0;
  double highest = 0.0;
  std::string_view decides;  // what the parameter decides, in one sentence
  std::string_view reason;   // why this value: the measurement or the formula behind it
};

class Parameter {
 public:
  // Registers the parameter; its value is declaration.value unless ZORMIX_PARAMETERS moves it.
  explicit Parameter(const ParameterDeclaration& declaration);
  Parameter(const Parameter&) = delete;
  Parameter& operator=(const Parameter&) = delete;

  double value() const { return value_; }
  operator double() const { return value_; }  // NOLINT: reads as the number it is
  const ParameterDeclaration& declaration() const { return declaration_; }
  bool moved() const { return value_ != declaration_.value; }

 private:
  ParameterDeclaration declaration_;
  double value_;
};

// Every registered parameter, ordered by name.
std::vector<const Parameter*> RegisteredParameters();

// Throws Error kBadArgument when ZORMIX_PARAMETERS names a parameter that does not exist, gives a
// value that is not a number, or moves one outside its range.
void CheckParameterOverrides();

// The parameters ZORMIX_PARAMETERS moved, as "name=value, ..." (empty when none): front ends print
// it, since such results are not the solver's.
std::string MovedParameters();

// The registry as a table for people: name, value, range, what it decides.
std::string FormatParameterTable();

}  // namespace zormix

#endif  // ZORMIX_BASE_PARAMETER_REGISTRY_H_
