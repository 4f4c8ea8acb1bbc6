#include "finish/report_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace zormix {
namespace {

std::string PadLeft(const std::string& text, int width) {
  if (static_cast<int>(text.size()) >= width) return text;
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

}  // namespace

std::string FormatExponent(double value, int width, int digits) {
  if (std::isnan(value)) return PadLeft("NaN", width);
  if (std::isinf(value)) return PadLeft(value > 0 ? "Infinity" : "-Infinity", width);
  std::string mantissa;
  int exponent = 0;
  if (value == 0.0) {
    mantissa.assign(static_cast<std::size_t>(digits), '0');
  } else {
    // %.{d-1}e rounds to d significant digits: "D.DDDe+XX" is 0.DDDD x 10^(XX+1).
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, std::fabs(value));
    const std::string text(buffer);
    const std::size_t e = text.find('e');
    mantissa = text.substr(0, 1) + (digits > 1 ? text.substr(2, e - 2) : std::string());
    exponent = std::atoi(text.c_str() + e + 1) + 1;
  }
  char exponentText[16];
  std::snprintf(exponentText, sizeof exponentText, "E%c%02d", exponent < 0 ? '-' : '+',
                std::abs(exponent));
  const std::string sign = (value < 0.0) ? "-" : "";
  return PadLeft(sign + "0." + mantissa + exponentText, width);
}

std::string FormatInteger(std::int64_t value, int width) {
  return PadLeft(std::to_string(value), width);
}

}  // namespace zormix
