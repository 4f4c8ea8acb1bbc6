// Reader and writer of PHCpack's format: a count line, then polynomials ended by ';'. The
// polynomials themselves are polynomial text, so the reader cuts them out of the file and hands
// them to the text parser; the writer writes what both that parser and PHCpack read back alike.
#include "io/phc_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/text.h"
#include "io/lexical.h"
#include "io/poly_text.h"
#include "model/check_system.h"
#include "zormix/error.h"
#include "zormix/io.h"

// GCC 12 reports false -Wrestrict overlaps inside std::string's inlined copies (GCC bug 105329).
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

namespace zormix {
namespace {

constexpr std::string_view kBlanks = " \t\r\f\v";

// Lines of the written polynomials are broken before a term once they are this long.
constexpr std::size_t kLineWidth = 76;

bool IsDigits(std::string_view word) {
  return !word.empty() && word.find_first_not_of("0123456789") == std::string_view::npos;
}

// The value of a string of digits, saturated at the largest int64.
std::int64_t CountValue(std::string_view digits) {
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return ec == std::errc() ? value : std::numeric_limits<std::int64_t>::max();
}

// The blank-separated words of a line.
std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while ((at = line.find_first_not_of(kBlanks, at)) != std::string_view::npos) {
    const std::size_t end = std::min(line.find_first_of(kBlanks, at), line.size());
    words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

[[noreturn]] void Fail(std::string_view source, int line, int column, const std::string& message) {
  throw Error(ErrorCode::kInvalidInput, std::string(source) + ":" + std::to_string(line) + ":" +
                                            std::to_string(column) + ": " + message);
}

std::string Plural(std::int64_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// Where the polynomial that `count` announces end: the offset just past the ';' that ends the
// last of them, skipping comments and quoted names as the text parser does; npos when the text
// holds fewer. `found` gets the number of ';' seen, `lastLine` the last line that holds more than
// blanks.
std::size_t EndOfPolynomials(std::string_view text, const PhcCountLine& count, std::int64_t& found,
                             int& lastLine) {
  found = 0;
  lastLine = count.line;
  int line = count.line;
  for (std::size_t at = count.end; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '\n') ++line;
    if (c != '\n' && kBlanks.find(c) == std::string_view::npos) lastLine = line;
    if (c == '#' || (c == '/' && at + 1 < text.size() && text[at + 1] == '/')) {
      at = std::min(text.find('\n', at), text.size()) - 1;
    } else if (c == '"') {
      at = std::min(text.find_first_of("\"\n", at + 1), text.size() - 1);
      if (text[at] == '\n') --at;
    } else if (c == ';' && ++found == count.polynomials) {
      return at + 1;
    }
  }
  return std::string_view::npos;
}

// --- writing

// Why PHCpack or the text parser would not read `name` back as this variable; empty when it is
// written as it is.
std::string UnwritableName(const std::string& name) {
  if (name.empty()) return "an empty name";
  if (!IsNameStart(name[0]) || !std::all_of(name.begin(), name.end(), IsNameChar))
    return "only letters, digits and '_' make a name";
  if (std::string_view("eEiI").find(name[0]) != std::string_view::npos)
    return "a name beginning with e or E is read as an exponent, with i or I as the imaginary unit";
  if (IsDeclarationWord(name)) return "the word opens a declaration of polynomial text";
  return std::string();
}

std::vector<std::string> PhcNames(const PolySystem& system) {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  for (int k = 0; k < system.n; ++k) {
    const std::string name = TrimTrailingBlanks(system.variableNames[k]);
    const std::string why = UnwritableName(name);
    if (!why.empty()) {
      throw Error(ErrorCode::kInvalidInput, "variable " + std::to_string(k + 1) + " \"" + name +
                                                "\" cannot be written in PHCpack's format (" + why +
                                                "); rename it");
    }
    if (!seen.insert(name).second) {
      throw Error(ErrorCode::kInvalidInput, "variable name \"" + name +
                                                "\" is given twice; PHCpack's format tells "
                                                "variables apart by their names only");
    }
    names.push_back(name);
  }
  return names;
}

std::string ShortestDouble(double x) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, x);
  return std::string(buffer, result.ptr);
}

std::string Monomial(const PolySystem& system, const std::vector<std::string>& names,
                     std::int64_t term) {
  std::string text;
  for (int v = 0; v < system.n; ++v) {
    const std::int32_t e = system.exponents(v, term);
    if (e == 0) continue;
    if (!text.empty()) text += '*';
    text += names[v];
    if (e != 1) text += '^' + std::to_string(e);
  }
  return text;
}

// " + c*monomial" or " - c*monomial"; a complex coefficient as " + (re + im*i)*monomial".
std::string Term(Complex c, const std::string& monomial) {
  if (c.imag() != 0.0) {
    const std::string im = ShortestDouble(std::fabs(c.imag())) + "*i";
    return " + (" + ShortestDouble(c.real()) + (std::signbit(c.imag()) ? " - " : " + ") + im + ")" +
           (monomial.empty() ? "" : "*" + monomial);
  }
  const std::string sign = std::signbit(c.real()) ? " - " : " + ";
  const double magnitude = std::fabs(c.real());
  if (monomial.empty()) return sign + ShortestDouble(magnitude);
  if (magnitude == 1.0) return sign + monomial;
  return sign + ShortestDouble(magnitude) + "*" + monomial;
}

// The variables in the order the written terms (those with a nonzero coefficient) first name
// them.
std::vector<int> OrderOfAppearance(const PolySystem& system) {
  std::vector<int> order;
  std::vector<bool> seen(static_cast<std::size_t>(system.n), false);
  for (std::int64_t p = 0; p < system.termTotal(); ++p) {
    if (system.coefficients[static_cast<std::size_t>(p)] == Complex(0.0, 0.0)) continue;
    for (int v = 0; v < system.n; ++v) {
      if (system.exponents(v, p) != 0 && !seen[v]) {
        seen[v] = true;
        order.push_back(v);
      }
    }
  }
  return order;
}

// The fewest leading variables named by terms 0*x ahead of the first polynomial so that the
// variables appear in their own order: after variables 0 .. k-1, the others must already appear
// in increasing order.
int LeadingVariablesToName(const PolySystem& system) {
  const std::vector<int> order = OrderOfAppearance(system);
  for (int k = 0;; ++k) {
    int last = -1;
    bool increasing = true;
    for (int v : order) {
      if (v < k) continue;
      increasing = increasing && v > last;
      last = v;
    }
    if (increasing) return k;
  }
}

// Appends the terms of one polynomial, breaking the line before a term past kLineWidth.
void AppendPolynomial(const std::vector<std::string>& terms, std::string& out) {
  std::size_t width = 0;
  for (std::size_t t = 0; t < terms.size(); ++t) {
    std::string term = terms[t];
    // The first term loses the blanks around its sign, and a plus sign altogether.
    if (t == 0) term = (term.compare(0, 3, " + ") == 0 ? "" : "-") + term.substr(3);
    if (width > 0 && width + term.size() > kLineWidth) {
      out += '\n';
      width = 0;
    }
    out += term;
    width += term.size();
  }
  out += ";\n";
}

}  // namespace

std::optional<PhcCountLine> FindPhcCountLine(std::string_view text) {
  int line = 1;
  for (std::size_t begin = 0; begin < text.size(); ++line) {
    const std::size_t end = std::min(text.find('\n', begin), text.size());
    const std::vector<std::string_view> words = Words(text.substr(begin, end - begin));
    if (!words.empty()) {
      if (words.size() > 2 || !std::all_of(words.begin(), words.end(), IsDigits))
        return std::nullopt;
      PhcCountLine count;
      count.polynomials = CountValue(words[0]);
      if (words.size() == 2) count.variables = CountValue(words[1]);
      count.begin = begin;
      count.end = end;
      count.line = line;
      return count;
    }
    begin = end + 1;
  }
  return std::nullopt;
}

PolySystem ParsePhcText(std::string_view text, std::string_view sourceName) {
  text = SkipByteOrderMark(text);
  const std::optional<PhcCountLine> count = FindPhcCountLine(text);
  if (!count) {
    Fail(sourceName, 1, 1,
         "PHCpack's format begins with a line holding the number of polynomials (and optionally "
         "the number of variables)");
  }
  const auto where = std::string(sourceName) + ":" + std::to_string(count->line);
  if (count->polynomials < 1) Fail(sourceName, count->line, 1, "the count line says 0 polynomials");
  CheckSystemSize(count->polynomials, 0, where);
  if (count->variables && *count->variables != count->polynomials) {
    Fail(sourceName, count->line, 1,
         "the count line says " + Plural(count->polynomials, "polynomial") + " in " +
             Plural(*count->variables, "variable") +
             "; only square systems (as many polynomials as variables) are solved");
  }
  std::int64_t found = 0;
  int lastLine = count->line;
  const std::size_t end = EndOfPolynomials(text, *count, found, lastLine);
  if (end == std::string_view::npos) {
    Fail(sourceName, lastLine, 1,
         "the count line (line " + std::to_string(count->line) + ") says " +
             Plural(count->polynomials, "polynomial") + ", but " +
             (found == 0 ? std::string("none ends") : "only " + std::to_string(found) + " end") +
             " with ';' (PHCpack's format ends every polynomial with ';')");
  }
  // The count line becomes blanks, so that lines and columns of messages stay the file's.
  std::string polynomials(text.substr(0, end));
  std::fill(polynomials.begin() + static_cast<std::ptrdiff_t>(count->begin),
            polynomials.begin() + static_cast<std::ptrdiff_t>(count->end), ' ');
  return ParseEquationText(polynomials, sourceName);
}

std::string FormatPhcText(const PolySystem& system) {
  ValidateSystem(system, "system");
  const std::vector<std::string> names = PhcNames(system);
  std::string out = std::to_string(system.n) + "\n";
  const int named = LeadingVariablesToName(system);
  std::int64_t term = 0;
  for (int eq = 0; eq < system.n; ++eq) {
    std::vector<std::string> terms;
    // Terms 0*x give PHCpack and the text parser the variables' order; both drop them.
    if (eq == 0)
      for (int v = 0; v < named; ++v) terms.push_back(" + 0*" + names[v]);
    for (std::int32_t t = 0; t < system.termCount[eq]; ++t, ++term) {
      const Complex c = system.coefficients[static_cast<std::size_t>(term)];
      if (c != Complex(0.0, 0.0)) terms.push_back(Term(c, Monomial(system, names, term)));
    }
    AppendPolynomial(terms, out);
  }
  return out;
}

}  // namespace zormix
