#include "gateway/mex_input.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>

#include "frontend/front_end.h"
#include "gateway/mex_support.h"
#include "model/check_system.h"
#include "zormix/error.h"
#include "zormix/io.h"

namespace zormix::gateway {
namespace {

// Seeds and path limits given as numbers must be exact doubles: 2^53.
constexpr double kLargestExactSeed = 9007199254740992.0;
constexpr const char* kEquationSource = "<equations>";

[[noreturn]] void Bad(const std::string& message) { throw Error(ErrorCode::kBadArgument, message); }

bool IsRealDouble(const mxArray* a) { return mxIsDouble(a) && !mxIsComplex(a) && !mxIsSparse(a); }

std::string ReadText(const mxArray* a, const std::string& what) {
  if (!mxIsChar(a) || mxGetM(a) > 1) Bad(what + " must be a character row vector (text)");
  // The text ends at a NUL for mxGetString: what follows it would be dropped unseen.
  const mxChar* chars = mxGetChars(a);
  for (std::size_t k = 0; chars != nullptr && k < mxGetNumberOfElements(a); ++k) {
    if (chars[k] == 0)
      Bad(what + " holds a NUL character (char(0)) at position " + std::to_string(k + 1));
  }
  std::vector<char> buffer(mxGetNumberOfElements(a) + 1);
  mxGetString(a, buffer.data(), buffer.size());
  return buffer.data();
}

std::vector<std::string> ReadTextCell(const mxArray* a, const std::string& what) {
  if (!mxIsCell(a)) Bad(what + " must be a cell array of text");
  std::vector<std::string> texts;
  for (std::size_t k = 0; k < mxGetNumberOfElements(a); ++k) {
    const mxArray* item = mxGetCell(a, k);
    if (item == nullptr) Bad(what + " element " + std::to_string(k + 1) + " is empty");
    texts.push_back(ReadText(item, what + " element " + std::to_string(k + 1)));
  }
  return texts;
}

// A real double scalar holding an integer in [low, high].
double ReadInteger(const mxArray* a, double low, double high, const std::string& what) {
  const bool ok = IsRealDouble(a) && mxGetNumberOfElements(a) == 1 &&
                  std::isfinite(mxGetScalar(a)) && mxGetScalar(a) == std::trunc(mxGetScalar(a)) &&
                  mxGetScalar(a) >= low && mxGetScalar(a) <= high;
  if (!ok) {
    char range[96];
    std::snprintf(range, sizeof range, "an integer from %.0f to %.0f", low, high);
    Bad(what + " must be " + range);
  }
  return mxGetScalar(a);
}

// A logical scalar, or a real number 0 or 1: what logical() converts without loss. Text such as
// 'false' or a number such as 2 is more likely a mistake than a choice.
bool ReadFlag(const mxArray* a, const std::string& what) {
  const bool scalar = mxGetNumberOfElements(a) == 1 && !mxIsSparse(a);
  const bool logical = scalar && mxIsLogical(a);
  const bool zeroOrOne = scalar && mxIsNumeric(a) && !mxIsComplex(a) &&
                         (mxGetScalar(a) == 0.0 || mxGetScalar(a) == 1.0);
  if (!logical && !zeroOrOne) Bad(what + " must be true or false (a logical scalar, or 0 or 1)");
  return mxGetScalar(a) != 0;
}

Route ReadRoute(const mxArray* a) {
  if (mxIsNumeric(a) && !mxIsComplex(a) && mxGetNumberOfElements(a) >= 1) {
    return RouteFromMode(mxGetScalar(a));
  }
  const std::string name = mxIsChar(a) ? ReadText(a, "option 'route'") : std::string();
  if (const std::optional<Route> route = RouteNamed(name)) return *route;
  Bad("option 'route' must be 'polyhedral' or 'totaldegree' (or the module's mode number)");
}

std::uint64_t ReadSeed(const mxArray* a) {
  if (mxIsChar(a)) {
    try {
      return ParseSeed(ReadText(a, "option 'seed'"), "option 'seed'");
    } catch (const Error& error) {
      Bad(error.what());
    }
  }
  return static_cast<std::uint64_t>(
      ReadInteger(a, 0, kLargestExactSeed, "option 'seed' (a larger seed goes as text)"));
}

void ReadOption(const std::string& name, const mxArray* value, CallOptions& o) {
  if (name == "route") {
    o.solve.route = ReadRoute(value);
  } else if (name == "seed") {
    o.solve.seed = ReadSeed(value);
  } else if (name == "threads") {
    o.solve.threads = static_cast<int>(
        ReadInteger(value, 0, static_cast<double>(kMaxThreads), "option 'threads'"));
  } else if (name == "progress") {
    o.progress = ReadFlag(value, "option 'progress'");
  } else if (name == "report") {
    o.report = ReadFlag(value, "option 'report'");
  } else if (name == "certify") {
    o.solve.certify = ReadFlag(value, "option 'certify'");
  } else if (name == "variables") {
    o.variables = ReadTextCell(value, "option 'variables'");
  } else if (name == "maxPaths") {
    o.solve.maxPaths =
        static_cast<std::int64_t>(ReadInteger(value, 1, kLargestExactSeed, "option 'maxPaths'"));
  } else if (name == "parameters") {
    o.parameters = ReadTextCell(value, "option 'parameters'");
  } else if (name == "values") {
    o.values = value;
  } else if (name == "start") {
    if (mxIsChar(value)) {
      if (ReadText(value, "option 'start'") != "monodromy")
        Bad("option 'start' must be a start struct or the text 'monodromy'");
      o.monodromy = true;
    } else {
      o.start = value;
    }
  } else if (name == "count") {
    o.count = static_cast<std::int64_t>(ReadInteger(value, 1, kLargestExactSeed, "option 'count'"));
  } else {
    throw Error(ErrorCode::kUnknownOption,
                "unknown option '" + name +
                    "' (known: route, seed, threads, progress, report, certify, variables, "
                    "maxPaths, parameters, values, start, count)");
  }
}

std::vector<double> ReadNumbers(const mxArray* a, const std::string& what) {
  if (!IsRealDouble(a)) Bad(what + " must be a real double array");
  const double* values = mxGetPr(a);
  return std::vector<double>(values, values + mxGetNumberOfElements(a));
}

std::vector<std::int32_t> ReadTermCounts(const mxArray* a) {
  std::vector<std::int32_t> counts;
  for (double c : ReadNumbers(a, "TERMCOUNTS")) {
    if (!(c >= 1 && c <= std::numeric_limits<std::int32_t>::max() && c == std::trunc(c))) {
      Bad("TERMCOUNTS must hold positive integers (terms per equation)");
    }
    counts.push_back(static_cast<std::int32_t>(c));
  }
  if (counts.empty()) Bad("TERMCOUNTS is empty; the system needs at least one equation");
  return counts;
}

// m x n, one row per term: stored transposed, one column per term.
ColMajorMatrix<std::int32_t> ReadExponents(const mxArray* a, std::size_t m, std::size_t n) {
  const std::vector<double> values = ReadNumbers(a, "EXPONENTS");
  if (mxGetM(a) != m || mxGetN(a) != n || mxGetNumberOfDimensions(a) != 2) {
    Bad("EXPONENTS must be " + std::to_string(m) + " x " + std::to_string(n) +
        " (one row per term, one column per variable)");
  }
  ColMajorMatrix<std::int32_t> exponents(static_cast<std::int64_t>(n),
                                         static_cast<std::int64_t>(m));
  for (std::size_t p = 0; p < m; ++p) {
    for (std::size_t v = 0; v < n; ++v) {
      const double e = values[p + v * m];
      if (!(e >= 0 && e <= std::numeric_limits<std::int32_t>::max() && e == std::trunc(e))) {
        Bad("EXPONENTS must hold non-negative integers below 2^31");
      }
      exponents(static_cast<std::int64_t>(v), static_cast<std::int64_t>(p)) =
          static_cast<std::int32_t>(e);
    }
  }
  return exponents;
}

std::vector<Complex> ReadCoefficients(const mxArray* a, std::size_t m) {
  if (!mxIsDouble(a) || mxIsSparse(a) || mxGetNumberOfElements(a) != m) {
    Bad("COEFFICIENTS must hold " + std::to_string(m) + " double numbers (one per term)");
  }
  const double* re = mxGetPr(a);
  const double* im = mxIsComplex(a) ? mxGetPi(a) : nullptr;
  std::vector<Complex> coefficients;
  for (std::size_t p = 0; p < m; ++p) {
    const Complex c(re[p], im != nullptr ? im[p] : 0.0);
    if (!std::isfinite(c.real()) || !std::isfinite(c.imag())) Bad("COEFFICIENTS must be finite");
    coefficients.push_back(c);
  }
  return coefficients;
}

std::vector<std::string> ReadNames(const mxArray* a, std::size_t n) {
  std::vector<std::string> names;
  if (mxIsEmpty(a)) {
    for (std::size_t k = 1; k <= n; ++k) {
      char name[32];
      std::snprintf(name, sizeof name, "x%zu", k);
      names.push_back(name);
    }
    return names;
  }
  names = ReadTextCell(a, "NAMES");
  if (names.size() != n) Bad("NAMES must be a cell array of " + std::to_string(n) + " names");
  for (std::size_t k = 0; k < names.size(); ++k) {
    std::string& name = names[k];
    name.erase(0, name.find_first_not_of(' '));
    name.erase(name.find_last_not_of(' ') + 1);
    if (name.empty()) Bad("a variable name in NAMES is empty");
    for (std::size_t j = 0; j < k; ++j) {
      if (names[j] == name)
        Bad("NAMES holds '" + name + "' twice (names " + std::to_string(j + 1) + " and " +
            std::to_string(k + 1) + "); every variable needs a name of its own");
    }
  }
  return names;
}

// "<equations>:L:C: message" with L counted in the joined text -> "equation k, column C: message".
std::string NameEquation(const std::string& message, const std::vector<int>& firstLines) {
  const std::string prefix = std::string(kEquationSource) + ":";
  int line = 0, column = 0, used = 0;
  if (message.rfind(prefix, 0) != 0 ||
      std::sscanf(message.c_str() + prefix.size(), "%d:%d: %n", &line, &column, &used) != 2 ||
      used == 0) {
    return message;
  }
  const std::string rest = message.substr(prefix.size() + static_cast<std::size_t>(used));
  const std::string at = ", column " + std::to_string(column) + ": " + rest;
  if (line < firstLines.front()) return "option 'variables'" + at;
  std::size_t k = 0;
  while (k + 1 < firstLines.size() && firstLines[k + 1] <= line) ++k;
  const int lineWithin = line - firstLines[k] + 1;
  return "equation " + std::to_string(k + 1) +
         (lineWithin > 1 ? ", line " + std::to_string(lineWithin) : std::string()) + at;
}

}  // namespace

CallOptions ReadOptions(const mxArray* options) {
  CallOptions o;
  o.solve.threads = 0;
  if (mxIsEmpty(options) && !mxIsStruct(options)) return o;
  if (!mxIsStruct(options) || mxGetNumberOfElements(options) != 1) {
    Bad("the options must be a scalar struct");
  }
  for (int k = 0; k < mxGetNumberOfFields(options); ++k) {
    const mxArray* value = mxGetFieldByNumber(options, 0, k);
    if (value == nullptr || mxIsEmpty(value)) continue;  // [] keeps the default
    ReadOption(mxGetFieldNameByNumber(options, k), value, o);
  }
  std::string why;
  if (!o.solve.Validate(&why)) Bad(why);
  return o;
}

PolySystem ReadSystem(const mxArray* exponents, const mxArray* coefficients,
                      const mxArray* termCounts, const mxArray* names) {
  PolySystem system;
  system.termCount = ReadTermCounts(termCounts);
  system.n = static_cast<int>(system.termCount.size());
  std::size_t m = 0;
  for (std::int32_t c : system.termCount) m += static_cast<std::size_t>(c);
  const auto n = static_cast<std::size_t>(system.n);
  system.exponents = ReadExponents(exponents, m, n);
  system.coefficients = ReadCoefficients(coefficients, m);
  system.variableNames = ReadNames(names, n);
  ValidateSystem(system, "system");
  return system;
}

namespace {

// "keyword a, b, c;" on one line.
std::string Declaration(const char* keyword, const std::vector<std::string>& names) {
  std::string text = keyword;
  for (std::size_t k = 0; k < names.size(); ++k) text.append(k > 0 ? ", " : " ").append(names[k]);
  return text + ";";
}

// The equations joined into one text after the declarations (all on line 1); firstLines[k] is
// the line where equation k starts.
std::string JoinEquations(const mxArray* equations, const std::vector<std::string>& variables,
                          const std::vector<std::string>& parameters,
                          std::vector<int>& firstLines) {
  const std::vector<std::string> texts = ReadTextCell(equations, "the equations");
  if (texts.empty()) Bad("no equations given");
  std::string text;
  int line = 1;
  if (!variables.empty() || !parameters.empty()) {
    if (!variables.empty()) text = Declaration("variables", variables);
    if (!parameters.empty()) text += Declaration("parameters", parameters);
    text.append("\n");
    line = 2;
  }
  for (std::size_t k = 0; k < texts.size(); ++k) {
    if (texts[k].find(';') != std::string::npos) {
      Bad("equation " + std::to_string(k + 1) + " holds a ';'; give one equation per cell");
    }
    firstLines.push_back(line);
    text.append(texts[k]).append("\n;\n");
    for (char c : texts[k]) line += c == '\n' ? 1 : 0;
    line += 2;
  }
  return text;
}

}  // namespace

PolySystem ReadEquations(const mxArray* equations, const std::vector<std::string>& variables) {
  std::vector<int> firstLines;
  const std::string text = JoinEquations(equations, variables, {}, firstLines);
  try {
    return ParsePolynomialText(text, kEquationSource);
  } catch (const Error& error) {
    throw Error(error.code(), NameEquation(error.what(), firstLines));
  }
}

ParametricSystem ReadFamilyEquations(const mxArray* equations,
                                     const std::vector<std::string>& variables,
                                     const std::vector<std::string>& parameters) {
  std::vector<int> firstLines;
  const std::string text = JoinEquations(equations, variables, parameters, firstLines);
  try {
    return ParseParametricText(text, kEquationSource);
  } catch (const Error& error) {
    throw Error(error.code(), NameEquation(error.what(), firstLines));
  }
}

}  // namespace zormix::gateway
