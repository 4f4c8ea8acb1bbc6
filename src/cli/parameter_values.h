// The VALUES file of a sweep: one member a line, its parameter values separated by commas or
// blanks.
#ifndef ZORMIX_CLI_PARAMETER_VALUES_H_
#define ZORMIX_CLI_PARAMETER_VALUES_H_

#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zormix/poly_system.h"

namespace zormix::cli {

// Reads every line that holds values (blank lines and '#' comments are skipped). A value is a
// real number (2, -0.5, 1e-3), an imaginary one (2i, 2*i, -i), a sum of both without blanks
// (1.5-2i), or a pair (1.5, -2) as the polynomial text writes complex constants. Throws Error
// "source:line:column: message" for a line with another count than `count` values, for an empty
// value ("1,,2"), for text that is not a number and for a number beyond the doubles (above their
// range, or so small that it would be read as 0).
std::vector<std::vector<Complex>> ParseParameterValues(std::string_view text,
                                                       std::string_view source, int count);

// The same, one member at a time from a stream: a sweep holds none but those it is solving.
class ParameterValuesReader {
 public:
  ParameterValuesReader(std::istream& in, std::string source, int count);
  // The next member's values, nullopt after the last; throws Error as ParseParameterValues.
  std::optional<std::vector<Complex>> Next();

 private:
  std::istream& in_;
  std::string source_;
  int count_;
  int lineNumber_ = 0;
};

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_PARAMETER_VALUES_H_
