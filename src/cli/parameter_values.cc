#include "cli/parameter_values.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>

#include "zormix/error.h"

namespace zormix::cli {
namespace {

class LineReader {
 public:
  LineReader(std::string_view line, std::string_view source, int lineNumber)
      : line_(line), source_(source), lineNumber_(lineNumber) {}

  std::vector<Complex> Values(int count) {
    std::vector<Complex> values;
    SkipBlanks();
    if (Peek() == ',') Fail(pos_, "a ',' before the first value");
    while (!AtEnd()) {
      const std::size_t begin = pos_;
      values.push_back(Value());
      if (!AtEnd() && !IsSeparator(Peek()))
        Fail(pos_, "expected ',' or a blank after the value, found " + Shown(Peek()));
      SkipSeparator();
      if (static_cast<int>(values.size()) == count + 1)
        Fail(begin, "more than " + std::to_string(count) + " values (one per parameter)");
    }
    if (static_cast<int>(values.size()) != count)
      Fail(pos_, "expected " + std::to_string(count) + " values (one per parameter), found " +
                     std::to_string(values.size()));
    return values;
  }

  bool Empty() {
    SkipBlanks();
    return AtEnd();
  }

 private:
  static bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r'; }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  bool AtEnd() const { return pos_ >= line_.size() || line_[pos_] == '#'; }
  char Peek(std::size_t ahead = 0) const {
    return pos_ + ahead < line_.size() ? line_[pos_ + ahead] : '\0';
  }
  // Blanks, at most one ',' and blanks: "1,,2" leaves a value out, which is no value of 0.
  void SkipSeparator() {
    SkipBlanks();
    if (Peek() != ',') return;
    const std::size_t comma = pos_++;
    SkipBlanks();
    if (Peek() == ',') Fail(pos_, "an empty value between two ','");
    if (AtEnd()) Fail(comma, "a ',' after the last value");
  }
  void SkipBlanks() {
    while (Peek() == ' ' || Peek() == '\t' || Peek() == '\r') ++pos_;
  }
  // Text for a message, in quotes: a control character (a NUL would cut the message) as \xNN.
  static std::string Shown(std::string_view text) {
    std::string shown(1, '\'');
    for (const char c : text) {
      const auto u = static_cast<unsigned char>(c);
      if (u >= 32 && u != 127) {
        shown.push_back(c);
        continue;
      }
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", u);
      shown.append(escaped);
    }
    shown.push_back('\'');
    return shown;
  }
  static std::string Shown(char c) { return Shown(std::string_view(&c, 1)); }

  [[noreturn]] void Fail(std::size_t at, const std::string& message) const {
    throw Error(ErrorCode::kInvalidInput, std::string(source_) + ":" + std::to_string(lineNumber_) +
                                              ":" + std::to_string(at + 1) + ": " + message);
  }

  // '(' re ',' im ')' or a real part and an imaginary part, either one optional.
  Complex Value() {
    if (Peek() == '(') return Pair();
    const std::size_t begin = pos_;
    Complex value = Signed(true);
    if (value.imag() == 0.0 && (Peek() == '+' || Peek() == '-') && !IsSeparator(Peek(1))) {
      const Complex second = Signed(false);
      if (second.imag() == 0.0 && second.real() != 0.0)
        Fail(begin, "a complex value is written re+imi, e.g. 1.5-2i");
      value += second;
    }
    return value;
  }

  Complex Pair() {
    const std::size_t open = pos_++;
    SkipBlanks();
    const double re = Number(Sign());
    SkipBlanks();
    if (Peek() != ',') Fail(pos_, "expected ',' between the parts of the pair (re, im)");
    ++pos_;
    SkipBlanks();
    const double im = Number(Sign());
    SkipBlanks();
    if (Peek() != ')') Fail(open, "the pair (re, im) is not closed");
    ++pos_;
    return {re, im};
  }

  double Sign() {
    if (Peek() == '-' || Peek() == '+') return line_[pos_++] == '-' ? -1.0 : 1.0;
    return 1.0;
  }

  // [sign] (number [['*'] i] | i); `first`: a leading sign is optional.
  Complex Signed(bool first) {
    const std::size_t begin = pos_;
    const double sign = Sign();
    if (!first && sign == 1.0 && line_[begin] != '+') Fail(begin, "expected '+' or '-'");
    double magnitude = 1.0;
    const bool unit = Peek() == 'i' || Peek() == 'I';
    if (!unit) magnitude = Number(1.0);
    if (!unit && Peek() == '*' && (Peek(1) == 'i' || Peek(1) == 'I')) ++pos_;
    if (Peek() == 'i' || Peek() == 'I') {
      ++pos_;
      return {0.0, sign * magnitude};
    }
    return {sign * magnitude, 0.0};
  }

  // digits [. digits] [(e|E) [+|-] digits], times `sign`.
  double Number(double sign) {
    const std::size_t begin = pos_;
    while (IsDigit(Peek())) ++pos_;
    if (Peek() == '.') ++pos_;
    while (IsDigit(Peek())) ++pos_;
    const bool digits = pos_ > begin && !(pos_ == begin + 1 && line_[begin] == '.');
    if (!digits && begin > 0 && (line_[begin - 1] == '-' || line_[begin - 1] == '+') &&
        (Peek() == ' ' || Peek() == '\t'))
      Fail(begin - 1,
           "a sign stands apart from its number; a complex value is written without blanks, "
           "e.g. 1.5-2i");
    if (!digits) {
      const std::size_t end = line_.find_first_of(" \t,#", begin);
      const std::string_view word = line_.substr(begin, end - begin);
      Fail(begin,
           word.empty() ? std::string("expected a number") : Shown(word) + " is not a number");
    }
    if (Peek() == 'e' || Peek() == 'E') {
      const std::size_t sign = (Peek(1) == '+' || Peek(1) == '-') ? 1 : 0;
      if (!IsDigit(Peek(1 + sign))) Fail(pos_, "the exponent of the number has no digits");
      pos_ += 1 + sign;
      while (IsDigit(Peek())) ++pos_;
    }
    const std::string text(line_.substr(begin, pos_ - begin));
    const double value = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(value))
      Fail(begin, "the number " + text + " is out of the range of doubles");
    // Below the smallest subnormal a nonzero number would be read as 0, another member.
    if (value == 0.0 && text.find_first_of("123456789") < text.find_first_of("eE"))
      Fail(begin, "the number " + text + " is below the range of doubles (it would be read as 0)");
    return sign * value;
  }

  std::string_view line_;
  std::string_view source_;
  int lineNumber_;
  std::size_t pos_ = 0;
};

}  // namespace

ParameterValuesReader::ParameterValuesReader(std::istream& in, std::string source, int count)
    : in_(in), source_(std::move(source)), count_(count) {}

std::optional<std::vector<Complex>> ParameterValuesReader::Next() {
  std::string line;
  while (std::getline(in_, line)) {
    ++lineNumber_;
    if (!LineReader(line, source_, lineNumber_).Empty())
      return LineReader(line, source_, lineNumber_).Values(count_);
  }
  if (in_.bad()) throw Error(ErrorCode::kInvalidInput, source_ + ": cannot read the values");
  return std::nullopt;
}

std::vector<std::vector<Complex>> ParseParameterValues(std::string_view text,
                                                       std::string_view source, int count) {
  std::istringstream in{std::string(text)};
  ParameterValuesReader reader(in, std::string(source), count);
  std::vector<std::vector<Complex>> members;
  while (std::optional<std::vector<Complex>> values = reader.Next())
    members.push_back(std::move(*values));
  return members;
}

}  // namespace zormix::cli
