// Writers of the "PS.num" format, the inverse of ReadSystemFile, and of polynomial text.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/atomic_file.h"
#include "base/text.h"
#include "io/lexical.h"
#include "model/check_system.h"
#include "zormix/error.h"
#include "zormix/io.h"

// GCC 12 reports false -Wrestrict overlaps inside std::string's inlined copies (GCC bug 105329).
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

namespace zormix {
namespace {

// %.17g gives back the same double when read.
std::string Exact(double x) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", x);
  return buffer;
}

// Unquoted names stop at blanks, commas and slashes; such names, quotes and empty names are
// written in double quotes, a quote inside doubled.
std::string NameField(const std::string& padded) {
  const std::string name = TrimTrailingBlanks(padded);
  if (!name.empty() && name.find_first_of(" \t,/'\"") == std::string::npos) return name;
  std::string quoted = "\"";
  for (char c : name) {
    quoted += c;
    if (c == '"') quoted += c;
  }
  return quoted + "\"";
}

std::string ShortestDouble(double x) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, x);
  return std::string(buffer, result.ptr);
}

bool IsPlainName(const std::string& name) {
  if (name.empty() || !IsNameStart(name[0])) return false;
  for (char c : name) {
    if (!IsNameChar(c)) return false;
  }
  return !IsDeclarationWord(name);
}

// Names as they can be written: plain, or quoted; an empty, duplicated or unquotable name is
// replaced by x<k> (k = its 1-based position), made unique.
std::vector<std::string> WritableNames(const PolySystem& system) {
  std::vector<std::string> names;
  std::unordered_map<std::string, int> seen;
  for (int k = 0; k < system.n; ++k) {
    std::string name = k < static_cast<int>(system.variableNames.size())
                           ? TrimTrailingBlanks(system.variableNames[k])
                           : std::string();
    if (name.empty() || name.find('"') != std::string::npos || seen.count(name)) {
      name = std::string("x") + std::to_string(k + 1);
      while (seen.count(name)) name += "_";
    }
    seen[name] = k;
    names.push_back(name);
  }
  for (std::string& name : names) {
    if (!IsPlainName(name)) name = "\"" + name + "\"";
  }
  return names;
}

std::string MonomialText(const PolySystem& system, const std::vector<std::string>& names,
                         std::int64_t col) {
  std::string text;
  for (int v = 0; v < system.n; ++v) {
    const std::int32_t e = system.exponents(v, col);
    if (e == 0) continue;
    if (!text.empty()) text += "*";
    text += names[v];
    if (e != 1) {
      text += '^';
      text += std::to_string(e);
    }
  }
  return text;
}

// One term with its sign: " + text" or " - text" (the caller trims the first one).
std::string TermText(Complex c, const std::string& monomial, const std::string& unit) {
  const std::string times = monomial.empty() ? "" : "*" + monomial;
  if (c.imag() == 0.0 || (c.real() == 0.0 && !unit.empty())) {
    const bool imaginary = c.imag() != 0.0;
    const double value = imaginary ? c.imag() : c.real();
    const std::string sign = std::signbit(value) ? " - " : " + ";
    const double magnitude = std::fabs(value);
    std::string number = ShortestDouble(magnitude) + (imaginary ? unit : "");
    if (magnitude == 1.0) number = imaginary ? unit : "";
    if (number.empty()) return sign + (monomial.empty() ? "1" : monomial);
    return sign + number + times;
  }
  if (unit.empty()) {
    return " + (" + ShortestDouble(c.real()) + ", " + ShortestDouble(c.imag()) + ")" + times;
  }
  const std::string imSign = std::signbit(c.imag()) ? "-" : "+";
  return " + (" + ShortestDouble(c.real()) + imSign + ShortestDouble(std::fabs(c.imag())) + unit +
         ")" + times;
}

}  // namespace

std::string FormatPolynomialText(const PolySystem& system) {
  ValidateSystem(system, "system");
  const std::vector<std::string> names = WritableNames(system);
  // The imaginary unit is written as i, or I when i is a variable; with both taken, complex
  // coefficients are written as pairs (re, im).
  std::string unit = "i";
  for (const std::string& name : names) {
    if (name == "i") unit = "I";
  }
  for (const std::string& name : names) {
    if (name == unit) unit.clear();
  }
  std::string out = "variables";
  for (std::size_t k = 0; k < names.size(); ++k) {
    out += k == 0 ? " " : ", ";
    out += names[k];
  }
  out += ";\n";
  std::int64_t col = 0;
  for (int eq = 0; eq < system.n; ++eq) {
    std::string line;
    for (std::int32_t t = 0; t < system.termCount[eq]; ++t, ++col) {
      line += TermText(system.coefficients[col], MonomialText(system, names, col), unit);
    }
    if (line.empty()) line = " + 0";
    // The first term loses the blanks around its sign, and a plus sign altogether.
    line.replace(0, 3, line.compare(0, 3, " + ") == 0 ? "" : "-");
    out += line;
    out += ";\n";
  }
  return out;
}

std::string FormatSystemFile(const PolySystem& s) {
  ValidateSystem(s, "system");
  std::string out = std::to_string(s.n) + "\n";
  for (std::int32_t count : s.termCount) out += std::to_string(count) + "\n";
  for (std::int64_t p = 0; p < s.exponents.cols(); ++p) {
    for (int v = 0; v < s.n; ++v) {
      if (v > 0) out += ' ';
      out += std::to_string(s.exponents(v, p));
    }
    out += "\n";
  }
  for (std::int64_t p = 0; p < s.exponents.cols(); ++p) {
    const Complex c = s.coefficients[static_cast<std::size_t>(p)];
    out += '(';
    out += Exact(c.real());
    out += ',';
    out += Exact(c.imag());
    out += ")\n";
  }
  for (int k = 0; k < s.n; ++k) {
    const bool named = k < static_cast<int>(s.variableNames.size());
    out += named ? NameField(s.variableNames[k]) : "x" + std::to_string(k + 1);
    out += '\n';
  }
  return out;
}

void WriteSystemFile(const PolySystem& system, const std::string& path) {
  WriteFileAtomically(path, FormatSystemFile(system), "system file");
}

}  // namespace zormix
