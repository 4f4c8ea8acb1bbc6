#include "cli/parameter_values.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "zormix/error.h"

namespace zormix::cli {
namespace {

class LineReader {
 public:
  LineReader(std::string_view line, std::string_view source, int lineNumber)
      : line_(line), source_(source), lineNumber_(lineNumber) {}

  std::vector<Complex> Values(int count) {
    std::vector<Complex> values;
    SkipSeparators();
    while (!AtEnd()) {
      const std::size_t begin = pos_;
      values.push_back(Value());
      if (!AtEnd() && !IsSeparator(Peek()))
        Fail(pos_,
             "expected ',' or a blank after the value, found '" + std::string(1, Peek()) + "'");
      SkipSeparators();
      if (static_cast<int>(values.size()) == count + 1)
        Fail(begin, "more than " + std::to_string(count) + " values (one per parameter)");
    }
    if (static_cast<int>(values.size()) != count)
      Fail(pos_, "expected " + std::to_string(count) + " values (one per parameter), found " +
                     std::to_string(values.size()));
    return values;
  }

  bool Empty() {
    SkipSeparators();
    return AtEnd();
  }

 private:
  static bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r'; }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  bool AtEnd() const { return pos_ >= line_.size() || line_[pos_] == '#'; }
  char Peek(std::size_t ahead = 0) const {
    return pos_ + ahead < line_.size() ? line_[pos_ + ahead] : '\0';
  }
  void SkipSeparators() {
    while (pos_ < line_.size() && IsSeparator(line_[pos_])) ++pos_;
  }
  void SkipBlanks() {
    while (Peek() == ' ' || Peek() == '\t') ++pos_;
  }

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
    if (!digits) {
      const std::size_t end = line_.find_first_of(" \t,#", begin);
      Fail(begin, "'" + std::string(line_.substr(begin, end - begin)) + "' is not a number");
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
    return sign * value;
  }

  std::string_view line_;
  std::string_view source_;
  int lineNumber_;
  std::size_t pos_ = 0;
};

}  // namespace

std::vector<std::vector<Complex>> ParseParameterValues(std::string_view text,
                                                       std::string_view source, int count) {
  std::vector<std::vector<Complex>> members;
  int lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    LineReader reader(line, source, ++lineNumber);
    if (!reader.Empty()) members.push_back(LineReader(line, source, lineNumber).Values(count));
  }
  return members;
}

}  // namespace zormix::cli
