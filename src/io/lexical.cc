#include "io/lexical.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <system_error>

namespace zormix {
namespace {

constexpr std::size_t kShownLength = 40;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal exponent of the leading digit of a literal from_chars found out of range: positive
// means an overflow, negative an underflow. The exponent part saturates, so that 1e-99999999999
// still counts as tiny.
std::int64_t LeadingDigitExponent(std::string_view text) {
  std::size_t integerDigits = 0;
  while (integerDigits < text.size() && IsDigit(text[integerDigits])) ++integerDigits;
  std::optional<std::int64_t> leading;  // digit k of the integer part has exponent I - 1 - k
  for (std::size_t k = 0; k < integerDigits && !leading; ++k) {
    if (text[k] != '0') leading = static_cast<std::int64_t>(integerDigits - 1 - k);
  }
  std::size_t i = integerDigits;
  if (i < text.size() && text[i] == '.') {  // fraction digit k (1-based) has exponent -k
    for (std::int64_t k = 1; ++i < text.size() && IsDigit(text[i]); ++k) {
      if (!leading && text[i] != '0') leading = -k;
    }
  }
  if (!leading) return 0;  // zero neither overflows nor underflows
  std::int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    const bool negative = i + 1 < text.size() && text[i + 1] == '-';
    for (++i; i < text.size(); ++i) {
      if (IsDigit(text[i]) && exponent < 1'000'000'000) exponent = exponent * 10 + (text[i] - '0');
    }
    if (negative) exponent = -exponent;
  }
  return *leading + exponent;
}

}  // namespace

std::string_view SkipByteOrderMark(std::string_view text) {
  return text.substr(0, kByteOrderMark.size()) == kByteOrderMark
             ? text.substr(kByteOrderMark.size())
             : text;
}

std::optional<double> ParseDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  // from_chars would also take "inf", "nan" and hexadecimal digits after "0x"; a literal starts
  // with a digit or a point.
  if (text.empty() || !(IsDigit(text[0]) || text[0] == '.')) return std::nullopt;
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (ptr != end) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    if (LeadingDigitExponent(text) > 0) return std::nullopt;
    value = 0.0;
  } else if (ec != std::errc()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::string Shown(std::string_view token) {
  const bool cut = token.size() > kShownLength;
  std::string shown = "'";
  // A control character (a NUL above all) would cut or garble the message where it is printed.
  for (const char c : token.substr(0, kShownLength)) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 32 && u != 127) {
      shown.push_back(c);
      continue;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", u);
    shown.append(escaped);
  }
  shown.append(cut ? "...'" : "'");
  return shown;
}

bool IsNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

bool IsDeclarationWord(std::string_view word) {
  return word == "variables" || word == "vars" || word == "parameters";
}

}  // namespace zormix
