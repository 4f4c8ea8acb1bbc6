// Reader of the "PS.num" format: list-directed free-form input, one read statement per section
// item. Values are separated by blanks, a comma or line ends; every statement starts on a fresh
// line, continues over as many lines as it needs, and the rest of its last line is skipped.
#include "io/reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "io/lexical.h"
#include "model/check_system.h"
#include "model/limits.h"
#include "zormix/error.h"
#include "zormix/io.h"

namespace zormix {
namespace {

// Exponent matrices up to this many entries (4 MB) are allocated without comparing their size with
// the file's.
constexpr std::int64_t kSmallExponentMatrix = 1 << 20;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// Characters that end an unquoted value: separators, and for numbers also parentheses.
bool EndsValue(char c, bool isName) {
  if (IsBlank(c) || c == ',' || c == '/') return true;
  return !isName && (c == '(' || c == ')');
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// [+-]? digits
bool LooksLikeInteger(const std::string& s) {
  std::size_t i = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
  if (i == s.size()) return false;
  for (; i < s.size(); ++i) {
    if (!IsDigit(s[i])) return false;
  }
  return true;
}

// [+-]? (digits [. digits?] | . digits) ([eEdD] [+-]? digits)?  -- Fortran reals included.
bool LooksLikeReal(const std::string& s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t mantissaDigits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++mantissaDigits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++mantissaDigits;
  }
  if (mantissaDigits == 0) return false;
  if (i == s.size()) return true;
  if (s[i] != 'e' && s[i] != 'E' && s[i] != 'd' && s[i] != 'D') return false;
  ++i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  if (i == s.size()) return false;
  for (; i < s.size(); ++i) {
    if (!IsDigit(s[i])) return false;
  }
  return true;
}

bool NamesNonFinite(std::string s) {
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.erase(0, 1);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s == "inf" || s == "infinity" || s == "nan";
}

class Scanner {
 public:
  Scanner(std::istream& in, const std::string& fileName) : fileName_(fileName) {
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();  // CRLF line ends
      if (lines_.empty()) line = std::string(SkipByteOrderMark(line));
      lines_.push_back(line);
    }
    if (in.bad()) throw Error(ErrorCode::kInvalidInput, fileName_ + ": cannot read the file");
  }

  // A statement starts at the beginning of the line after the last line the previous one used.
  void BeginStatement() {
    if (started_) ++line_;
    started_ = true;
    pos_ = 0;
    afterValue_ = false;
  }

  // Line (1-based) of the value read last.
  std::size_t valueLine() const { return valueLine_; }

  std::int64_t ReadInteger(const std::string& what) {
    const std::string token = ReadToken(what);
    if (!LooksLikeInteger(token)) FailFound(what, token);
    const char* begin = token.data() + (token[0] == '+' ? 1 : 0);
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(begin, token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size()) {
      Fail(valueLine_, "the value " + Shown(token) + " (" + what + ") is out of range");
    }
    return value;
  }

  double ReadReal(const std::string& what) {
    const std::string token = ReadToken(what);
    if (NamesNonFinite(token)) {
      Fail(valueLine_, "the " + what + " is " + Shown(token) + "; coefficients must be finite");
    }
    if (!LooksLikeReal(token)) FailFound("a real number (" + what + ")", token);
    std::string text = token;
    for (char& c : text) {
      if (c == 'd' || c == 'D') c = 'e';
    }
    const std::optional<double> value = ParseDecimal(text);
    if (!value) Fail(valueLine_, "the " + what + " " + Shown(token) + " is not a finite double");
    return *value;
  }

  // "(re, im)" as written by list-directed output, or the bare pair "re im" / "re, im".
  Complex ReadComplex(const std::string& what) {
    SkipToValue("a complex coefficient (" + what + ")");
    if (Current() != '(') {
      const double re = ReadReal("real part of the coefficient (" + what + ")");
      const double im = ReadReal("imaginary part of the coefficient (" + what + ")");
      return Complex(re, im);
    }
    ++pos_;
    afterValue_ = false;
    const double re = ReadReal("real part of the coefficient (" + what + ")");
    const double im = ReadReal("imaginary part of the coefficient (" + what + ")");
    SkipBlanksAndLineEnds("')' closing the coefficient (" + what + ")");
    if (Current() != ')') {
      FailFound("')' closing the coefficient (" + what + ")", std::string(1, Current()));
    }
    ++pos_;
    return Complex(re, im);
  }

  // A name in quotes (' or ", a doubled quote stands for one) or a word without blanks, commas or
  // slashes.
  std::string ReadName(const std::string& what) {
    SkipToValue(what);
    const char quote = Current();
    if (quote != '\'' && quote != '"') {
      return ReadToken(what, /*isName=*/true);
    }
    std::string name;
    ++pos_;
    while (true) {
      if (line_ >= lines_.size()) {
        Fail(valueLine_,
             "the quote that opens " + what + " is never closed (missing " + quote + ")");
      }
      const std::string& text = lines_[line_];
      if (pos_ >= text.size()) {  // a quoted name continues on the next line
        ++line_;
        pos_ = 0;
        continue;
      }
      if (text[pos_] == quote) {
        if (pos_ + 1 < text.size() && text[pos_ + 1] == quote) {
          name += quote;
          pos_ += 2;
          continue;
        }
        ++pos_;
        afterValue_ = true;
        return name;
      }
      name += text[pos_++];
    }
  }

  [[noreturn]] void Fail(std::size_t line, const std::string& message) const {
    throw Error(ErrorCode::kInvalidInput, Where(line) + ": " + message);
  }

  std::string Where(std::size_t line) const { return fileName_ + ":" + std::to_string(line); }

  // Refuses m terms in n variables that the rest of the file cannot hold, before n x m exponents
  // are allocated for them: every term takes an exponent line of at least n digits and a
  // coefficient line of at least 2, every variable a name line of at least one character. Small
  // sizes are left to the reading, which names the first value missing.
  void CheckRoomFor(std::int64_t m, int n) const {
    const std::size_t first = started_ ? line_ + 1 : 0;
    std::int64_t lines = 0, bytes = 0;
    for (std::size_t k = first; k < lines_.size(); ++k, ++lines) {
      bytes += static_cast<std::int64_t>(lines_[k].size());
    }
    if (m * n <= kSmallExponentMatrix) return;
    const std::int64_t room =
        std::max<std::int64_t>(0, std::min((lines - n) / 2, (bytes - n) / (n + 2)));
    if (m <= room) return;
    Fail(valueLine_, "the term counts declare " + std::to_string(m) + " terms in " +
                         std::to_string(n) + " variables, but the " + std::to_string(lines) +
                         " lines that follow can hold at most " + std::to_string(room));
  }

 private:
  char Current() const { return lines_[line_][pos_]; }
  bool AtLineEnd() const { return pos_ >= lines_[line_].size(); }

  [[noreturn]] void FailFound(const std::string& what, const std::string& found) const {
    Fail(valueLine_, "expected " + what + ", found " + Shown(found));
  }

  void SkipBlanksAndLineEnds(const std::string& what) {
    while (true) {
      if (line_ >= lines_.size()) {
        const std::size_t last = lines_.empty() ? 1 : lines_.size();
        Fail(last, "premature end of file: expected " + what);
      }
      if (AtLineEnd()) {
        ++line_;
        pos_ = 0;
      } else if (IsBlank(Current())) {
        ++pos_;
      } else {
        return;
      }
    }
  }

  // Moves to the first character of the next value. After a value one comma may separate it from
  // the next; a comma where a value should be is an empty (null) value, which this format has no
  // use for.
  void SkipToValue(const std::string& what) {
    SkipBlanksAndLineEnds(what);
    if (afterValue_ && Current() == ',') {
      ++pos_;
      SkipBlanksAndLineEnds(what);
    }
    valueLine_ = line_ + 1;
    if (Current() == ',') {
      Fail(valueLine_, "expected " + what + ", found an empty value (two separators in a row)");
    }
  }

  // The unquoted text of the next value, up to a separator, parenthesis or the line end.
  std::string ReadToken(const std::string& what, bool isName = false) {
    SkipToValue(what);
    const std::string& text = lines_[line_];
    const std::size_t start = pos_;
    while (pos_ < text.size() && !EndsValue(text[pos_], isName)) ++pos_;
    if (pos_ == start) FailFound(what, std::string(1, text[pos_]));
    afterValue_ = true;
    return text.substr(start, pos_ - start);
  }

  std::string fileName_;
  std::vector<std::string> lines_;
  std::size_t line_ = 0;  // 0-based line of the scan position
  std::size_t pos_ = 0;
  std::size_t valueLine_ = 1;
  bool started_ = false;
  bool afterValue_ = false;
};

int ReadVariableCount(Scanner& in) {
  in.BeginStatement();
  const std::int64_t n = in.ReadInteger("the number of variables n (a positive integer)");
  if (n < 1) {
    in.Fail(in.valueLine(),
            "the number of variables n must be at least 1, found " + std::to_string(n));
  }
  CheckSystemSize(n, 0, in.Where(in.valueLine()));
  return static_cast<int>(n);
}

std::vector<std::int32_t> ReadTermCounts(Scanner& in, int n) {
  std::vector<std::int32_t> termCount(static_cast<std::size_t>(n));
  std::int64_t total = 0;
  for (int i = 0; i < n; ++i) {
    const std::string equation = "equation " + std::to_string(i + 1);
    in.BeginStatement();
    const std::int64_t count = in.ReadInteger("the term count of " + equation);
    if (count < 1) {
      in.Fail(in.valueLine(), equation + " must have at least 1 term, found a term count of " +
                                  std::to_string(count));
    }
    // One count past the limit is refused alone, before a sum could overflow.
    total = count > kMaxTerms ? count : total + count;
    CheckSystemSize(n, total, in.Where(in.valueLine()));
    termCount[i] = static_cast<std::int32_t>(count);
  }
  return termCount;
}

void ReadExponents(Scanner& in, PolySystem& system) {
  const std::int64_t m = system.exponents.cols();
  for (std::int64_t p = 0; p < m; ++p) {
    in.BeginStatement();
    for (int k = 0; k < system.n; ++k) {
      const std::string where =
          "term " + std::to_string(p + 1) + ", variable " + std::to_string(k + 1);
      const std::int64_t e = in.ReadInteger("an integer exponent (" + where + ")");
      if (e < 0) {
        in.Fail(in.valueLine(), "negative exponent " + std::to_string(e) + " (" + where +
                                    "); exponents must be 0 or more");
      }
      if (e > std::numeric_limits<std::int32_t>::max()) {
        in.Fail(in.valueLine(),
                "exponent " + std::to_string(e) + " (" + where + ") does not fit a 32-bit integer");
      }
      system.exponents(k, p) = static_cast<std::int32_t>(e);
    }
  }
}

}  // namespace

PolySystem ReadSystem(std::istream& in, const std::string& fileName) {
  Scanner scanner(in, fileName);
  PolySystem system;
  system.n = ReadVariableCount(scanner);
  system.termCount = ReadTermCounts(scanner, system.n);
  std::int64_t m = 0;
  for (std::int32_t count : system.termCount) m += count;
  scanner.CheckRoomFor(m, system.n);
  system.exponents.Assign(system.n, m);
  ReadExponents(scanner, system);
  system.coefficients.resize(static_cast<std::size_t>(m));
  for (std::int64_t p = 0; p < m; ++p) {
    scanner.BeginStatement();
    system.coefficients[p] = scanner.ReadComplex("term " + std::to_string(p + 1));
  }
  for (int k = 0; k < system.n; ++k) {
    scanner.BeginStatement();
    system.variableNames.push_back(
        PadVariableName(scanner.ReadName("the name of variable " + std::to_string(k + 1))));
  }
  ValidateSystem(system, fileName);
  return system;
}

PolySystem ReadSystemFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    throw Error(ErrorCode::kInvalidInput, path + ": cannot open the file: it is a directory");
  }
  std::ifstream in(path);
  if (!in)
    throw Error(ErrorCode::kInvalidInput, path + ": cannot open the file: " + std::strerror(errno));
  return ReadSystem(in, path);
}

}  // namespace zormix
