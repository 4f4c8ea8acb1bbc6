// Reader and writer of polynomial systems as text: a tokenizer, a recursive-descent parser that
// expands every expression into monomials as it goes, and the formatter that writes a system back.
#include "io/poly_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/hash.h"
#include "io/lexical.h"
#include "io/phc_format.h"
#include "model/check_system.h"
#include "model/limits.h"
#include "model/parametric_eval.h"
#include "zormix/error.h"
#include "zormix/io.h"
#include "zormix/parametric.h"

namespace zormix {
namespace {

// Largest exponent of one variable in one monomial (the exponent type is 32-bit).
constexpr std::int64_t kMaxExponent = std::numeric_limits<std::int32_t>::max();

// ---------------------------------------------------------------------------------------------
// Tokens

enum class Kind {
  kNumber,
  kName,
  kPlus,
  kMinus,
  kStar,
  kSlash,
  kPower,
  kOpen,
  kClose,
  kComma,
  kSemicolon,
  kEquals,
  kNewline,
  kEnd
};

struct Token {
  Kind kind = Kind::kEnd;
  std::string text;
  double value = 0;
  bool quoted = false;
  int line = 1;
  int column = 1;
};

std::string Describe(const Token& t) {
  switch (t.kind) {
    case Kind::kNewline:
      return "the end of the line";
    case Kind::kEnd:
      return "the end of the text";
    case Kind::kName:
      return t.quoted ? "\"" + t.text + "\"" : Shown(t.text);
    default:
      return Shown(t.text);
  }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<Kind> PunctuationKind(char c) {
  static constexpr std::pair<char, Kind> kTable[] = {
      {'+', Kind::kPlus},      {'-', Kind::kMinus},  {'*', Kind::kStar},    {'/', Kind::kSlash},
      {'^', Kind::kPower},     {'(', Kind::kOpen},   {')', Kind::kClose},   {',', Kind::kComma},
      {';', Kind::kSemicolon}, {'=', Kind::kEquals}, {'\n', Kind::kNewline}};
  for (const auto& [ch, kind] : kTable) {
    if (ch == c) return kind;
  }
  return std::nullopt;
}

class Tokenizer {
 public:
  Tokenizer(std::string_view text, std::string_view source) : text_(text), source_(source) {}

  std::vector<Token> Run() {
    std::vector<Token> tokens;
    while (true) {
      SkipBlanksAndComments();
      Token t;
      t.line = line_;
      t.column = column_;
      if (pos_ >= text_.size()) {
        tokens.push_back(t);
        return tokens;
      }
      ReadToken(t);
      tokens.push_back(std::move(t));
    }
  }

 private:
  [[noreturn]] void Fail(int line, int column, const std::string& message) const {
    throw Error(ErrorCode::kInvalidInput, std::string(source_) + ":" + std::to_string(line) + ":" +
                                              std::to_string(column) + ": " + message);
  }

  char Peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }

  void Advance() {
    if (text_[pos_] == '\n') {
      ++line_;
      column_ = 1;
    } else {
      ++column_;
    }
    ++pos_;
  }

  void SkipBlanksAndComments() {
    while (pos_ < text_.size()) {
      const char c = Peek();
      if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        Advance();
      } else if (c == '#' || (c == '/' && Peek(1) == '/')) {
        while (pos_ < text_.size() && Peek() != '\n') Advance();
      } else {
        return;
      }
    }
  }

  void ReadToken(Token& t) {
    const char c = Peek();
    if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) return ReadNumber(t);
    if (IsNameStart(c)) return ReadName(t);
    if (c == '"') return ReadQuotedName(t);
    if (c == '*' && Peek(1) == '*') {
      t.kind = Kind::kPower;
      t.text = "**";
      Advance();
      Advance();
      return;
    }
    t.text = std::string(1, c);
    const std::optional<Kind> kind = PunctuationKind(c);
    if (!kind) {
      const unsigned char u = static_cast<unsigned char>(c);
      const std::string shown =
          (u >= 32 && u < 127) ? "'" + t.text + "'" : "byte " + std::to_string(u);
      Fail(t.line, t.column, "unexpected character " + shown);
    }
    t.kind = *kind;
    Advance();
  }

  // digits [. digits] [(e|E) [+|-] digits]; the exponent part only when a digit follows, so that
  // "2e" reads as 2 times a variable e.
  void ReadNumber(Token& t) {
    const std::size_t begin = pos_;
    while (IsDigit(Peek())) Advance();
    if (Peek() == '.') {
      Advance();
      while (IsDigit(Peek())) Advance();
    }
    if (Peek() == 'e' || Peek() == 'E') {
      const std::size_t sign = (Peek(1) == '+' || Peek(1) == '-') ? 1 : 0;
      if (IsDigit(Peek(1 + sign))) {
        for (std::size_t k = 0; k < 1 + sign; ++k) Advance();
        while (IsDigit(Peek())) Advance();
      }
    }
    t.kind = Kind::kNumber;
    t.text = std::string(text_.substr(begin, pos_ - begin));
    const std::optional<double> value = ParseDecimal(t.text);
    if (!value)
      Fail(t.line, t.column, "the number " + Shown(t.text) + " is out of the range of doubles");
    t.value = *value;
  }

  void ReadName(Token& t) {
    const std::size_t begin = pos_;
    while (IsNameChar(Peek())) Advance();
    t.kind = Kind::kName;
    t.text = std::string(text_.substr(begin, pos_ - begin));
  }

  void ReadQuotedName(Token& t) {
    Advance();
    const std::size_t begin = pos_;
    while (pos_ < text_.size() && Peek() != '"' && Peek() != '\n') Advance();
    if (Peek() != '"') Fail(t.line, t.column, "the quoted name is not closed on its line");
    t.kind = Kind::kName;
    t.quoted = true;
    t.text = std::string(text_.substr(begin, pos_ - begin));
    Advance();
    // Names are stored padded with blanks, so a blank name would read back as no name at all.
    if (t.text.find_first_not_of(' ') == std::string::npos) {
      Fail(t.line, t.column, "empty variable name \"" + t.text + "\"");
    }
  }

  std::string_view text_;
  std::string_view source_;
  std::size_t pos_ = 0;
  int line_ = 1;
  int column_ = 1;
};

// Without any ';' (but the one ending a declaration), lines end the statements: a newline is
// dropped while a parenthesis is open or after an operator that needs a right operand, and blank
// lines vanish. With ';', newlines are blanks.
bool IsDeclarationKeyword(const Token& t) {
  return t.kind == Kind::kName && !t.quoted && IsDeclarationWord(t.text);
}

// The ';' that end the leading declarations (of variables and of parameters).
int DeclarationSemicolons(const std::vector<Token>& tokens) {
  int count = 0;
  std::size_t k = 0;
  while (true) {
    while (k < tokens.size() && tokens[k].kind == Kind::kNewline) ++k;
    if (k + 1 >= tokens.size() || !IsDeclarationKeyword(tokens[k]) ||
        tokens[k + 1].kind != Kind::kName) {
      return count;
    }
    while (k < tokens.size() && tokens[k].kind != Kind::kSemicolon &&
           tokens[k].kind != Kind::kNewline && tokens[k].kind != Kind::kEnd) {
      ++k;
    }
    if (k == tokens.size() || tokens[k].kind != Kind::kSemicolon) return count;
    ++count;
    ++k;
  }
}

bool OpensFactor(Kind kind) {
  return kind == Kind::kNumber || kind == Kind::kName || kind == Kind::kOpen;
}

// In the ';' style a line break is a blank, so a number alone on the line that opens an equation
// would multiply the equation after it: PHCpack's count line anywhere but first, or a stray
// number. Refused, naming the number.
void RefuseLoneLeadingNumbers(const std::vector<Token>& tokens, std::string_view source) {
  for (std::size_t k = 1; k < tokens.size(); ++k) {
    const Token& number = tokens[k - 1];
    if (tokens[k].kind != Kind::kNewline || number.kind != Kind::kNumber) continue;
    // Alone on its line and first in its statement: only line ends back to a ';' or the start.
    std::size_t before = k - 1;
    while (before > 0 && tokens[before - 1].kind == Kind::kNewline) --before;
    if (before > 0 && (tokens[before - 1].kind != Kind::kSemicolon || before == k - 1)) continue;
    std::size_t next = k;
    while (next < tokens.size() && tokens[next].kind == Kind::kNewline) ++next;
    if (next == tokens.size() || !OpensFactor(tokens[next].kind)) continue;
    throw Error(ErrorCode::kInvalidInput,
                std::string(source) + ":" + std::to_string(number.line) + ":" +
                    std::to_string(number.column) + ": the number " + Shown(number.text) +
                    " stands alone on its line before an equation; write '*' if it multiplies "
                    "the equation (a count line of PHCpack's format goes first in the file)");
  }
}

std::vector<Token> ApplyStatementRule(std::vector<Token> tokens, std::string_view source) {
  // The ';' that end the declarations do not choose the style.
  int semicolonCount = 0;
  for (const Token& t : tokens) semicolonCount += t.kind == Kind::kSemicolon;
  bool semicolons = semicolonCount > DeclarationSemicolons(tokens);
  if (semicolons) RefuseLoneLeadingNumbers(tokens, source);
  std::vector<Token> kept;
  int depth = 0;
  for (Token& t : tokens) {
    if (t.kind == Kind::kOpen) ++depth;
    if (t.kind == Kind::kClose) --depth;
    if (t.kind == Kind::kNewline) {
      if (semicolons || depth > 0 || kept.empty()) continue;
      const Kind last = kept.back().kind;
      if (last == Kind::kNewline || last == Kind::kPlus || last == Kind::kMinus ||
          last == Kind::kStar || last == Kind::kSlash || last == Kind::kPower ||
          last == Kind::kEquals || last == Kind::kComma) {
        continue;
      }
      t.kind = Kind::kSemicolon;
    }
    kept.push_back(std::move(t));
  }
  return kept;
}

// ---------------------------------------------------------------------------------------------
// Polynomials with exact integer exponents, terms in order of first appearance.

// A monomial as its nonzero exponents, (variable, exponent) by increasing variable: memory and
// work per term grow with the variables it holds, not with n.
using Monomial = std::vector<std::pair<std::int32_t, std::int32_t>>;

struct Term {
  Monomial monomial;
  Complex coefficient;
};

// FNV-1a over the bytes of the (variable, exponent) pairs.
struct MonomialHash {
  std::size_t operator()(const Monomial& m) const {
    static_assert(sizeof(Monomial::value_type) == 2 * sizeof(std::int32_t));
    return static_cast<std::size_t>(Fnv1a(m.data(), m.size() * sizeof(Monomial::value_type)));
  }
};

// The product of two monomials: a merge of their sorted exponents. Empty when an exponent would
// exceed kMaxExponent.
std::optional<Monomial> MultiplyMonomials(const Monomial& a, const Monomial& b) {
  Monomial product;
  product.reserve(a.size() + b.size());
  std::size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (j == b.size() || (i < a.size() && a[i].first < b[j].first)) {
      product.push_back(a[i++]);
    } else if (i == a.size() || b[j].first < a[i].first) {
      product.push_back(b[j++]);
    } else {
      const std::int64_t e = std::int64_t{a[i].second} + b[j].second;
      if (e > kMaxExponent) return std::nullopt;
      product.emplace_back(a[i].first, static_cast<std::int32_t>(e));
      ++i, ++j;
    }
  }
  return product;
}

class Poly {
 public:
  static Poly Constant(Complex c) {
    Poly p;
    p.Add(Monomial(), c);
    return p;
  }

  const std::vector<Term>& terms() const { return terms_; }
  std::int64_t size() const { return static_cast<std::int64_t>(terms_.size()); }

  // Adds c * x^e, merging with an equal monomial that keeps its place.
  void Add(const Monomial& e, Complex c) {
    const auto [it, inserted] = index_.try_emplace(e, terms_.size());
    if (inserted) {
      terms_.push_back({e, c});
    } else {
      terms_[it->second].coefficient += c;
    }
  }

  // A constant polynomial (no term, or one without variables): its value.
  std::optional<Complex> ConstantValue() const {
    if (terms_.empty()) return Complex(0.0, 0.0);
    if (terms_.size() != 1 || !terms_[0].monomial.empty()) return std::nullopt;
    return terms_[0].coefficient;
  }

  void Negate() {
    for (Term& t : terms_) t.coefficient = -t.coefficient;
  }

  void DropZeros() {
    std::vector<Term> kept;
    for (Term& t : terms_) {
      if (t.coefficient != Complex(0.0, 0.0)) kept.push_back(std::move(t));
    }
    terms_.clear();
    index_.clear();
    for (Term& t : kept) Add(t.monomial, t.coefficient);
  }

 private:
  std::vector<Term> terms_;
  std::unordered_map<Monomial, std::size_t, MonomialHash> index_;
};

// ---------------------------------------------------------------------------------------------
// Parser

class Parser {
 public:
  Parser(std::vector<Token> tokens, std::string_view source)
      : tokens_(std::move(tokens)), source_(source) {}

  PolySystem Run() {
    const std::vector<Poly> equations = ParseStatements();
    if (!parameters_.empty()) {
      Fail(parameterStatement_,
           "the system has parameters; values for them are given to 'zormix sweep'");
    }
    PolySystem system = BuildSystem(equations);
    ValidateSystem(system, std::string(source_));
    return system;
  }

  ParametricSystem RunParametric() {
    const std::vector<Poly> equations = ParseStatements();
    if (parameters_.empty()) {
      Fail(tokens_[0], "no parameters: declare them with 'parameters a, b;' before the equations");
    }
    return BuildFamily(equations);
  }

 private:
  // The declarations, then the equations, as polynomials in the variables followed by the
  // parameters (parameter k is variable n() + k of a monomial).
  std::vector<Poly> ParseStatements() {
    RefuseFunctionCalls();
    SkipSeparators();
    bool variablesDeclared = false;
    while (IsDeclaration()) {
      if (Current().text == "parameters") {
        ParseParameterDeclaration();
      } else {
        if (variablesDeclared) Fail(Current(), "the variables are declared twice");
        ParseDeclaration();
        variablesDeclared = true;
      }
      EndStatement();
      SkipSeparators();
    }
    if (!variablesDeclared) CollectVariablesInOrder();
    CheckParameterNames();
    std::vector<Poly> equations;
    std::vector<Token> starts;
    SkipSeparators();
    std::int64_t termTotal = 0;
    while (Current().kind != Kind::kEnd) {
      starts.push_back(Current());
      equations.push_back(ParseEquation());
      termTotal += equations.back().size();
      CheckSystemSize(n(), termTotal, Where(starts.back()));
      EndStatement();
      SkipSeparators();
    }
    CheckSquare(equations, starts);
    return equations;
  }

  // --- token access and errors

  const Token& Current() const { return tokens_[pos_]; }
  const Token& Next() const { return tokens_[std::min(pos_ + 1, tokens_.size() - 1)]; }
  bool At(Kind k) const { return Current().kind == k; }
  Token Take() {
    Token t = tokens_[pos_];
    if (pos_ + 1 < tokens_.size()) ++pos_;
    return t;
  }

  std::string Where(const Token& at) const {
    return std::string(source_) + ":" + std::to_string(at.line) + ":" + std::to_string(at.column);
  }

  [[noreturn]] void Fail(const Token& at, const std::string& message) const {
    throw Error(ErrorCode::kInvalidInput, Where(at) + ": " + message);
  }

  // Line ends between statements (the newline style) are skipped; in the ';' style one ';' ends
  // a statement, so a further one encloses an empty equation.
  void SkipSeparators() {
    while (At(Kind::kSemicolon) && Current().text != ";") Take();
    if (At(Kind::kSemicolon)) Fail(Current(), "empty equation");
  }

  void EndStatement() {
    if (At(Kind::kSemicolon) && Current().text == ";") Take();
  }

  // --- variables

  static bool IsKeyword(const Token& t) { return IsDeclarationKeyword(t); }

  static std::string MisplacedDeclaration(const Token& t) {
    if (t.text == "parameters") return "'parameters' declares parameters only before the equations";
    return "'" + t.text + "' declares variables only as the first statement";
  }

  bool IsDeclaration() const { return IsKeyword(Current()) && Next().kind == Kind::kName; }

  void ParseDeclaration() {
    Take();
    while (At(Kind::kName)) {
      const Token t = Take();
      if (IsKeyword(t)) Fail(t, "'" + t.text + "' cannot be a variable name");
      if (parameterIndex_.count(t.text) != 0) {
        Fail(t, "'" + t.text + "' is declared both as a parameter and as a variable");
      }
      if (!AddVariable(t)) Fail(t, "variable '" + t.text + "' is declared twice");
      if (At(Kind::kComma)) Take();
    }
    if (!At(Kind::kSemicolon) && !At(Kind::kEnd)) {
      Fail(Current(),
           "expected a variable name or the end of the declaration, found " + Describe(Current()));
    }
  }

  static bool IsImaginaryUnitName(const Token& t) {
    return !t.quoted && (t.text == "i" || t.text == "I");
  }

  // "sin(x)" would otherwise be read as the variable sin times x. A name written right against
  // '(' is taken for a call of a function, which polynomials have none of; "x (y + 1)" and
  // "x*(y + 1)" stay products.
  void RefuseFunctionCalls() const {
    for (std::size_t k = 0; k + 1 < tokens_.size(); ++k) {
      const Token& name = tokens_[k];
      const Token& next = tokens_[k + 1];
      if (name.kind != Kind::kName || name.quoted || IsImaginaryUnitName(name) ||
          next.kind != Kind::kOpen || next.line != name.line ||
          next.column != name.column + static_cast<int>(name.text.size()))
        continue;
      Fail(name, "unknown function '" + name.text + "': polynomials have no functions (for a " +
                     "product write '" + name.text + "*(')");
    }
  }

  void CollectVariablesInOrder() {
    for (std::size_t k = pos_; k < tokens_.size(); ++k) {
      const Token& t = tokens_[k];
      if (t.kind != Kind::kName || IsImaginaryUnitName(t) || parameterIndex_.count(t.text) != 0)
        continue;
      if (IsKeyword(t)) Fail(t, MisplacedDeclaration(t));
      AddVariable(t);
    }
  }

  void ParseParameterDeclaration() {
    parameterStatement_ = Take();
    while (At(Kind::kName)) {
      const Token t = Take();
      if (IsKeyword(t) || IsImaginaryUnitName(t)) {
        Fail(t, "'" + t.text + "' cannot be a parameter name");
      }
      if (t.text.size() > static_cast<std::size_t>(kVariableNameLength)) {
        Fail(t, "parameter name " + Shown(t.text) + " is longer than " +
                    std::to_string(kVariableNameLength) + " characters");
      }
      if (!parameterIndex_.try_emplace(t.text, parameters_.size()).second) {
        Fail(t, "parameter '" + t.text + "' is declared twice");
      }
      parameters_.push_back(t);
      if (At(Kind::kComma)) Take();
    }
    if (!At(Kind::kSemicolon) && !At(Kind::kEnd)) {
      Fail(Current(),
           "expected a parameter name or the end of the declaration, found " + Describe(Current()));
    }
  }

  // A parameter declared before the variables may not be declared a variable later.
  void CheckParameterNames() const {
    for (const Token& t : parameters_) {
      if (variableIndex_.count(t.text) != 0) {
        Fail(t, "'" + t.text + "' is declared both as a parameter and as a variable");
      }
    }
  }

  // Registers a new variable; false when it is known already. Names are stored padded to
  // kVariableNameLength characters, so two names must differ in their padded form.
  bool AddVariable(const Token& t) {
    if (t.text.size() > static_cast<std::size_t>(kVariableNameLength)) {
      Fail(t, "variable name " + Shown(t.text) + " is longer than " +
                  std::to_string(kVariableNameLength) + " characters");
    }
    if (!variableIndex_.try_emplace(t.text, variables_.size()).second) return false;
    const auto [it, fresh] = paddedNames_.try_emplace(PadVariableName(t.text), t.text);
    if (!fresh) {
      Fail(t, "variable names \"" + it->second + "\" and \"" + t.text +
                  "\" are the same once padded to " + std::to_string(kVariableNameLength) +
                  " characters");
    }
    CheckSystemSize(static_cast<std::int64_t>(variables_.size()) + 1, 0, Where(t));
    variables_.push_back(t.text);
    return true;
  }

  int n() const { return static_cast<int>(variables_.size()); }

  // --- grammar
  //   equation := expr ['=' expr]
  //   expr     := term (('+' | '-') term)*
  //   term     := unary (('*' unary) | ('/' unary) | power)*   a factor after a factor multiplies;
  //               '/' divides by a nonzero constant only
  //   unary    := ('-' | '+')* power                    (read in a loop: no depth to overflow)
  //   power    := primary [('^' | '**') exponent]
  //   primary  := number | name | '(' expr [',' expr] ')'

  Poly ParseEquation() {
    const Token start = Current();
    Poly p = ParseExpr();
    if (At(Kind::kEquals)) {
      const Token eq = Take();
      Poly rhs = ParseExpr();
      rhs.Negate();
      p = Sum(std::move(p), rhs, eq);
    }
    if (At(Kind::kClose)) Fail(Current(), "unbalanced parenthesis: ')' without a matching '('");
    if (!At(Kind::kSemicolon) && !At(Kind::kEnd)) {
      Fail(Current(),
           "expected an operator or the end of the equation, found " + Describe(Current()));
    }
    p.DropZeros();
    if (p.terms().empty()) Fail(start, "the equation is identically zero");
    for (const Term& t : p.terms()) {
      if (!std::isfinite(t.coefficient.real()) || !std::isfinite(t.coefficient.imag())) {
        Fail(start, "a coefficient of the expanded equation is not finite (beyond the doubles)");
      }
    }
    return p;
  }

  Poly ParseExpr() {
    Poly p = ParseTerm();
    while (At(Kind::kPlus) || At(Kind::kMinus)) {
      const Token op = Take();
      Poly q = ParseTerm();
      if (op.kind == Kind::kMinus) q.Negate();
      p = Sum(std::move(p), q, op);
    }
    return p;
  }

  bool StartsFactor() const { return OpensFactor(Current().kind); }

  Poly ParseTerm() {
    Poly p = ParseUnary();
    while (true) {
      if (At(Kind::kStar)) {
        const Token op = Take();
        p = Product(p, ParseUnary(), op);
      } else if (At(Kind::kSlash)) {
        const Token op = Take();
        p = Quotient(std::move(p), ParseUnary(), op);
      } else if (StartsFactor()) {
        const Token op = Current();
        if (op.kind == Kind::kNumber && tokens_[pos_ - 1].kind == Kind::kNumber) {
          Fail(op, "two numbers in a row; write '*' between them if a product is meant");
        }
        p = Product(p, ParsePower(), op);
      } else {
        return p;
      }
    }
  }

  Poly ParseUnary() {
    bool negative = false;
    for (; At(Kind::kMinus) || At(Kind::kPlus); Take()) negative ^= At(Kind::kMinus);
    Poly p = ParsePower();
    if (negative) p.Negate();
    return p;
  }

  Poly ParsePower() {
    Poly base = ParsePrimary();
    if (!At(Kind::kPower)) return base;
    const Token op = Take();
    const std::int64_t k = ParseExponent();
    if (At(Kind::kPower)) Fail(Current(), "write a power of a power with parentheses: (x^a)^b");
    return Power(base, k, op);
  }

  // A non-negative integer literal, optionally in parentheses.
  std::int64_t ParseExponent() {
    const bool parenthesized = At(Kind::kOpen);
    const Token open = Current();
    if (parenthesized) Take();
    if (At(Kind::kMinus)) Fail(Current(), "negative exponent; exponents are integers >= 0");
    if (At(Kind::kPlus)) Take();
    const Token t = Current();
    if (t.kind != Kind::kNumber) {
      Fail(t, "expected a non-negative integer exponent, found " + Describe(t));
    }
    for (char c : t.text) {
      if (!IsDigit(c)) Fail(t, "non-integer exponent " + Shown(t.text));
    }
    std::int64_t k = 0;
    const auto [end, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), k);
    if (ec != std::errc() || end != t.text.data() + t.text.size() || k > kMaxExponent) {
      Fail(t, "exponent " + Shown(t.text) + " is too large (at most " +
                  std::to_string(kMaxExponent) + ")");
    }
    Take();
    if (parenthesized) {
      if (!At(Kind::kClose)) Fail(open, "unbalanced parenthesis: '(' is not closed");
      Take();
    }
    return k;
  }

  Poly ParsePrimary() {
    const Token t = Current();
    switch (t.kind) {
      case Kind::kNumber:
        Take();
        return Poly::Constant(Complex(t.value, 0.0));
      case Kind::kName:
        Take();
        return NameValue(t);
      case Kind::kOpen:
        return ParseParenthesized();
      case Kind::kClose:
        Fail(t, "unbalanced parenthesis: ')' without a matching '('");
      case Kind::kSemicolon:
      case Kind::kEnd:
        Fail(t, "the equation ends where a number, a variable or '(' is expected");
      default:
        Fail(t, "expected a number, a variable or '(', found " + Describe(t));
    }
  }

  Poly NameValue(const Token& t) {
    const auto it = variableIndex_.find(t.text);
    const auto parameter = parameterIndex_.find(t.text);
    if (it != variableIndex_.end() || parameter != parameterIndex_.end()) {
      const std::size_t index =
          it != variableIndex_.end() ? it->second : variables_.size() + parameter->second;
      Poly p;
      p.Add(Monomial{{static_cast<std::int32_t>(index), 1}}, Complex(1.0, 0.0));
      return p;
    }
    if (IsImaginaryUnitName(t)) return Poly::Constant(Complex(0.0, 1.0));
    if (IsKeyword(t)) Fail(t, MisplacedDeclaration(t));
    Fail(t, "unknown variable " + Shown(t.text) + " (not in the declared variable list)");
  }

  // '(' expr ')' or the complex pair '(' re ',' im ')'.
  Poly ParseParenthesized() {
    const Token open = Take();
    if (++depth_ > kMaxNesting) {
      Fail(open, "parentheses nested deeper than " + std::to_string(kMaxNesting));
    }
    Poly p = ParseExpr();
    if (At(Kind::kComma)) {
      const Token comma = Take();
      const Poly im = ParseExpr();
      const auto re = p.ConstantValue();
      const auto imValue = im.ConstantValue();
      if (!re || !imValue || re->imag() != 0.0 || imValue->imag() != 0.0) {
        Fail(comma, "a pair (re, im) must hold two real constants");
      }
      p = Poly::Constant(Complex(re->real(), imValue->real()));
    }
    if (!At(Kind::kClose)) {
      if (At(Kind::kSemicolon) || At(Kind::kEnd)) {
        Fail(open, "unbalanced parenthesis: '(' is not closed");
      }
      Fail(Current(), "expected ')' or an operator, found " + Describe(Current()));
    }
    Take();
    --depth_;
    return p;
  }

  // --- arithmetic with size guards

  Poly Sum(Poly a, const Poly& b, const Token& at) const {
    for (const Term& t : b.terms()) a.Add(t.monomial, t.coefficient);
    CheckTermCount(a, at);
    return a;
  }

  // Multiplies out term by term. The work, pairs times their exponent lengths, is known before
  // anything is built; the term count is checked as the product grows, so no polynomial ever holds
  // more than kMaxTerms + 1 terms.
  Poly Product(const Poly& a, const Poly& b, const Token& at) {
    // Factors in separate variables give all |a| |b| products distinct: known before building.
    if (a.size() * b.size() > kMaxTerms && SeparateVariables(a, b)) {
      Fail(at, "the product of " + std::to_string(a.size()) + " and " + std::to_string(b.size()) +
                   " terms in separate variables has " + std::to_string(a.size() * b.size()) +
                   " terms, more than the limit of " + std::to_string(kMaxTerms));
    }
    productWork_ +=
        a.size() * b.size() + NonzeroExponents(a) * b.size() + a.size() * NonzeroExponents(b);
    if (productWork_ > kMaxExpansionWork) {
      Fail(at, "the expansion is too large to compute (more than " +
                   std::to_string(kMaxExpansionWork) + " steps of multiplying out)");
    }
    Poly p;
    for (const Term& s : a.terms()) {
      for (const Term& t : b.terms()) {
        const std::optional<Monomial> e = MultiplyMonomials(s.monomial, t.monomial);
        if (!e) Fail(at, "an exponent of the expansion exceeds 2^31 - 1");
        p.Add(*e, s.coefficient * t.coefficient);
        if (p.size() > kMaxTerms) CheckTermCount(p, at);
      }
    }
    return p;
  }

  static bool SeparateVariables(const Poly& a, const Poly& b) {
    std::unordered_set<std::int32_t> inA;
    for (const Term& t : a.terms()) {
      for (const auto& [v, e] : t.monomial) inA.insert(v);
    }
    for (const Term& t : b.terms()) {
      for (const auto& [v, e] : t.monomial) {
        if (inA.count(v) != 0) return false;
      }
    }
    return true;
  }

  static std::int64_t NonzeroExponents(const Poly& p) {
    std::int64_t count = 0;
    for (const Term& t : p.terms()) count += static_cast<std::int64_t>(t.monomial.size());
    return count;
  }

  // Division by a real constant divides both parts by it, so 1/3 gives exactly the double 1.0/3.0.
  Poly Quotient(Poly a, const Poly& b, const Token& at) const {
    const auto d = b.ConstantValue();
    if (!d) Fail(at, "division by an expression with variables; only constants can divide");
    if (*d == Complex(0.0, 0.0)) Fail(at, "division by zero");
    Poly p;
    for (const Term& t : a.terms()) {
      p.Add(t.monomial, d->imag() == 0.0 ? t.coefficient / d->real() : t.coefficient / *d);
    }
    return p;
  }

  // An upper bound of the terms of base^k, the smaller of the multisets of k of its t terms,
  // C(k + t - 1, t - 1) = prod_{i=1}^{t-1} (k + i) / i, and the exponent box prod_v (k max_v + 1)
  // over the variables of the base; saturated at kHugeBound.
  static constexpr double kHugeBound = 1e15;
  static double PowerTermBound(const Poly& base, std::int64_t k) {
    const double cap = kHugeBound;
    double multisets = 1.0;
    for (std::int64_t i = 1; i < base.size() && multisets <= cap; ++i) {
      multisets *= static_cast<double>(k + i) / static_cast<double>(i);
    }
    std::unordered_map<std::int32_t, std::int32_t> maxExponent;
    for (const Term& t : base.terms()) {
      for (const auto& [v, e] : t.monomial) maxExponent[v] = std::max(maxExponent[v], e);
    }
    double box = 1.0;
    for (const auto& [v, e] : maxExponent) {
      if (box > cap) break;
      box *= static_cast<double>(k) * e + 1.0;
    }
    return std::min({multisets, box, cap});
  }

  // A monomial to the k-th power directly (exponents times k, coefficient by squaring); a sum by
  // multiplying out left to right, which fixes the order of first appearance.
  Poly Power(const Poly& base, std::int64_t k, const Token& at) {
    if (k == 0) return Poly::Constant(Complex(1.0, 0.0));
    if (base.size() != 1) {
      const double bound = PowerTermBound(base, k);
      if (bound > static_cast<double>(kMaxTerms)) {
        char figure[64];
        std::snprintf(figure, sizeof figure, bound < kHugeBound ? "up to %.0f" : "more than %.0e",
                      bound);
        Fail(at, "the power " + std::to_string(k) + " of a sum of " + std::to_string(base.size()) +
                     " terms expands to " + figure + " terms, more than the limit of " +
                     std::to_string(kMaxTerms));
      }
      Poly p = base;
      for (std::int64_t j = 1; j < k; ++j) p = Product(p, base, at);
      return p;
    }
    const Term& t = base.terms()[0];
    Monomial e = t.monomial;
    for (auto& [v, exponent] : e) {
      if (k > kMaxExponent / exponent) Fail(at, "an exponent of the expansion exceeds 2^31 - 1");
      exponent = static_cast<std::int32_t>(exponent * k);
    }
    Complex c(1.0, 0.0), square = t.coefficient;
    for (std::int64_t j = k; j > 0; j >>= 1) {
      if (j & 1) c *= square;
      square *= square;
    }
    Poly p;
    p.Add(e, c);
    return p;
  }

  void CheckTermCount(const Poly& p, const Token& at) const {
    if (p.size() > kMaxTerms) {
      Fail(at, "the expansion has more than the limit of " + std::to_string(kMaxTerms) + " terms");
    }
  }

  // --- result

  // The first declared parameter that no term holds, or null.
  const Token* UnusedParameter(const std::vector<Poly>& equations) const {
    std::vector<bool> used(parameters_.size(), false);
    for (const Poly& p : equations)
      for (const Term& t : p.terms())
        for (const auto& [v, e] : t.monomial)
          if (v >= n()) used[static_cast<std::size_t>(v - n())] = true;
    for (std::size_t k = 0; k < used.size(); ++k)
      if (!used[k]) return &parameters_[k];
    return nullptr;
  }

  void CheckSquare(const std::vector<Poly>& equations, const std::vector<Token>& starts) const {
    const std::size_t equationCount = equations.size();
    if (equationCount == 0) Fail(Current(), "no equations");
    if (n() == 0) Fail(starts[0], "the system has no variables");
    if (equationCount == static_cast<std::size_t>(n())) return;
    constexpr int kNamesShown = 10;
    std::string names;
    for (int k = 0; k < std::min(n(), kNamesShown); ++k) names += (k ? ", " : "") + variables_[k];
    if (n() > kNamesShown) names += ", ...";
    const auto count = [](std::size_t k, const std::string& noun) {
      return std::to_string(k) + " " + noun + (k == 1 ? "" : "s");
    };
    const std::string message = "the system is not square: " + count(equationCount, "equation") +
                                " in " + count(static_cast<std::size_t>(n()), "variable") + " (" +
                                names + ")";
    // A parameter name that is not the one the equations use leaves that one a variable.
    if (const Token* unused = UnusedParameter(equations)) {
      Fail(*unused, "parameter '" + unused->text + "' appears in no equation, and " + message +
                        "; is one of these variables the parameter meant?");
    }
    if (equationCount < static_cast<std::size_t>(n()) && parameters_.empty()) {
      Fail(starts.back(), message +
                              "; if one of them is a parameter, declare it as one: "
                              "'parameters NAME;'");
    }
    // The first equation too many, or the last one when equations are missing (the end of the
    // text may lie past its last line).
    Fail(equationCount > static_cast<std::size_t>(n()) ? starts[n()] : starts.back(), message);
  }

  PolySystem BuildSystem(const std::vector<Poly>& equations) const {
    PolySystem system;
    system.n = n();
    std::int64_t m = 0;
    for (const Poly& p : equations) m += static_cast<std::int64_t>(p.terms().size());
    system.exponents.Assign(n(), m);
    std::int64_t col = 0;
    for (const Poly& p : equations) {
      system.termCount.push_back(static_cast<std::int32_t>(p.terms().size()));
      for (const Term& t : p.terms()) {
        for (const auto& [v, e] : t.monomial) system.exponents(v, col) = e;
        // Adding +0 turns a negative zero (from a negation) into +0, which prints as 0.
        system.coefficients.push_back(t.coefficient + Complex(0.0, 0.0));
        ++col;
      }
    }
    for (const std::string& v : variables_) system.variableNames.push_back(PadVariableName(v));
    return system;
  }

  // Each equation's terms grouped by their monomial in the variables, in order of first
  // appearance; the parameter part of a term becomes a monomial of that term's coefficient.
  ParametricSystem BuildFamily(const std::vector<Poly>& equations) const {
    ParametricSystem family;
    family.n = n();
    for (const Token& t : parameters_) family.parameterNames.push_back(t.text);
    for (const std::string& v : variables_) family.variableNames.push_back(PadVariableName(v));
    const std::int32_t P = family.parameterCount();
    std::vector<std::vector<std::int32_t>> termExponents;
    std::vector<std::int32_t> coefficientExponents;
    family.coefficientStart.push_back(0);
    for (const Poly& p : equations) {
      std::vector<Monomial> order;
      std::unordered_map<Monomial, std::vector<const Term*>, MonomialHash> groups;
      for (const Term& t : p.terms()) {
        const auto split = std::find_if(t.monomial.begin(), t.monomial.end(),
                                        [&](const auto& ve) { return ve.first >= n(); });
        const Monomial inVariables(t.monomial.begin(), split);
        auto [it, fresh] = groups.try_emplace(inVariables);
        if (fresh) order.push_back(inVariables);
        it->second.push_back(&t);
      }
      family.termCount.push_back(static_cast<std::int32_t>(order.size()));
      for (const Monomial& x : order) {
        std::vector<std::int32_t> e(static_cast<std::size_t>(n()), 0);
        for (const auto& [v, k] : x) e[v] = k;
        termExponents.push_back(std::move(e));
        for (const Term* t : groups[x]) {
          std::vector<std::int32_t> pe(static_cast<std::size_t>(P), 0);
          for (const auto& [v, k] : t->monomial)
            if (v >= n()) pe[v - n()] = k;
          coefficientExponents.insert(coefficientExponents.end(), pe.begin(), pe.end());
          family.coefficientValues.push_back(t->coefficient + Complex(0.0, 0.0));
        }
        family.coefficientStart.push_back(
            static_cast<std::int64_t>(family.coefficientValues.size()));
      }
    }
    family.exponents.Assign(n(), static_cast<std::int64_t>(termExponents.size()));
    for (std::size_t c = 0; c < termExponents.size(); ++c)
      std::copy(termExponents[c].begin(), termExponents[c].end(), family.exponents.col(c));
    family.parameterExponents.Assign(P, static_cast<std::int64_t>(family.coefficientValues.size()));
    std::copy(coefficientExponents.begin(), coefficientExponents.end(),
              family.parameterExponents.data());
    return family;
  }

  std::vector<Token> tokens_;
  std::string_view source_;
  std::size_t pos_ = 0;
  std::vector<Token> parameters_;
  std::unordered_map<std::string, std::size_t> parameterIndex_;
  Token parameterStatement_;
  std::vector<std::string> variables_;
  std::unordered_map<std::string, std::size_t> variableIndex_;
  std::unordered_map<std::string, std::string> paddedNames_;  // padded name -> name as written
  std::int64_t productWork_ = 0;
  int depth_ = 0;  // parentheses open
};

}  // namespace

PolySystem ParseEquationText(std::string_view text, std::string_view sourceName) {
  text = SkipByteOrderMark(text);
  std::vector<Token> tokens = ApplyStatementRule(Tokenizer(text, sourceName).Run(), sourceName);
  return Parser(std::move(tokens), sourceName).Run();
}

PolySystem ParsePolynomialText(std::string_view text, std::string_view sourceName) {
  if (FindPhcCountLine(SkipByteOrderMark(text))) return ParsePhcText(text, sourceName);
  return ParseEquationText(text, sourceName);
}

ParametricSystem ParseParametricText(std::string_view text, std::string_view sourceName) {
  text = SkipByteOrderMark(text);
  std::vector<Token> tokens = ApplyStatementRule(Tokenizer(text, sourceName).Run(), sourceName);
  ParametricSystem family = Parser(std::move(tokens), sourceName).RunParametric();
  CheckFamilyShape(family, std::string(sourceName));
  return family;
}

}  // namespace zormix
