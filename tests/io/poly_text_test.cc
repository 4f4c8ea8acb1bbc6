#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/systems.h"
#include "zormix/error.h"
#include "zormix/io.h"

namespace zormix {
namespace {

using ::testing::HasSubstr;

struct Mono {
  std::vector<std::int32_t> e;
  Complex c;
};

// The terms of equation eq, in stored order.
std::vector<Mono> Terms(const PolySystem& s, int eq) {
  std::int64_t first = 0;
  for (int i = 0; i < eq; ++i) first += s.termCount[i];
  std::vector<Mono> terms;
  for (std::int64_t p = first; p < first + s.termCount[eq]; ++p) {
    std::vector<std::int32_t> e;
    for (int v = 0; v < s.n; ++v) e.push_back(s.exponents(v, p));
    terms.push_back({e, s.coefficients[p]});
  }
  return terms;
}

void ExpectTerms(const PolySystem& s, int eq, const std::vector<Mono>& expected) {
  const std::vector<Mono> got = Terms(s, eq);
  ASSERT_EQ(got.size(), expected.size()) << "equation " << eq;
  for (std::size_t k = 0; k < got.size(); ++k) {
    EXPECT_EQ(got[k].e, expected[k].e) << "equation " << eq << " term " << k;
    EXPECT_EQ(got[k].c, expected[k].c) << "equation " << eq << " term " << k;
  }
}

void ExpectSameSystem(const PolySystem& a, const PolySystem& b) {
  EXPECT_EQ(a.n, b.n);
  EXPECT_EQ(a.termCount, b.termCount);
  EXPECT_EQ(a.exponents, b.exponents);
  EXPECT_EQ(a.coefficients, b.coefficients);
  EXPECT_EQ(a.variableNames, b.variableNames);
}

PolySystem Parse(const std::string& text) { return ParsePolynomialText(text, "t"); }

TEST(PolyTextTest, ExpandsPowersAndProductsOfSumsInOrderOfFirstAppearance) {
  const PolySystem s = Parse("(x+y)^3; (2x + 3y)(x - y) + (x+1)(x-1) + 1;");
  ASSERT_EQ(s.n, 2);
  ExpectTerms(s, 0, {{{3, 0}, 1.0}, {{2, 1}, 3.0}, {{1, 2}, 3.0}, {{0, 3}, 1.0}});
  // 2x^2 - 2xy + 3xy - 3y^2 + x^2 - x + x - 1 + 1: x and the constant cancel and vanish.
  ExpectTerms(s, 1, {{{2, 0}, 3.0}, {{1, 1}, 1.0}, {{0, 2}, -3.0}});
  EXPECT_EQ(s.variableNames[0], PadVariableName("x"));
}

TEST(PolyTextTest, ImplicitProductsUnaryMinusAndPowersOfMonomials) {
  const PolySystem s = Parse("2x y^2 + 3 x y - -x^2 + 2(x+1) - x/3; (2x)^3 y^0 - x^(2) = -y**1;");
  ExpectTerms(
      s, 0,
      {{{1, 2}, 2.0}, {{1, 1}, 3.0}, {{2, 0}, 1.0}, {{1, 0}, 2.0 - 1.0 / 3.0}, {{0, 0}, 2.0}});
  ExpectTerms(s, 1, {{{3, 0}, 8.0}, {{2, 0}, -1.0}, {{0, 1}, 1.0}});
  // A large power of a monomial is computed directly, not by multiplying out.
  const PolySystem big = Parse("x^2000000000 - 1; y - 1;");
  ExpectTerms(big, 0, {{{2000000000, 0}, 1.0}, {{0, 0}, -1.0}});
}

TEST(PolyTextTest, RealAndComplexCoefficients) {
  const PolySystem s = Parse(
      "(1.5-2i)x + 3*i*y + 2.5i + .5e1 x^2 - 1e-3 y^2 + (1, -2) x y;\n"
      "2.5E+2 I x - y;");
  ExpectTerms(s, 0,
              {{{1, 0}, Complex(1.5, -2)},
               {{0, 1}, Complex(0, 3)},
               {{0, 0}, Complex(0, 2.5)},
               {{2, 0}, 5.0},
               {{0, 2}, -1e-3},
               {{1, 1}, Complex(1, -2)}});
  ExpectTerms(s, 1, {{{1, 0}, Complex(0, 250)}, {{0, 1}, -1.0}});
  // "2e" is 2 times a variable e, not a malformed number.
  EXPECT_EQ(Parse("2e + f; e - f").variableNames[0], PadVariableName("e"));
}

TEST(PolyTextTest, LinesAreEquationsWithoutSemicolonsAndCommentsAreSkipped) {
  const PolySystem s = Parse(
      "# a circle and a line\n"
      "\n"
      "x^2 + y^2 +   // continued after an operator\n"
      "   -1\n"
      "(x\n"
      " - y)  # continued inside parentheses\n");
  ASSERT_EQ(s.n, 2);
  ExpectTerms(s, 0, {{{2, 0}, 1.0}, {{0, 2}, 1.0}, {{0, 0}, -1.0}});
  ExpectTerms(s, 1, {{{1, 0}, 1.0}, {{0, 1}, -1.0}});
  // The ';' of a declaration keeps the line style; any other ';' makes line ends blanks.
  EXPECT_EQ(Parse("variables y, x;\nx + y\nx - y\n").termCount, (std::vector<std::int32_t>{2, 2}));
  // Otherwise, with a ';', line ends are blanks.
  EXPECT_EQ(Parse("x +\ny;\nx\n- y").termCount, (std::vector<std::int32_t>{2, 2}));
}

TEST(PolyTextTest, DeclaredVariablesFixOrderAndMayTakeTheImaginaryUnitsName) {
  const PolySystem s = Parse("variables i, j z; z; j + 2 i - I; i*j*z - 1;");
  ASSERT_EQ(s.n, 3);
  EXPECT_EQ(s.variableNames[0], PadVariableName("i"));
  EXPECT_EQ(s.variableNames[2], PadVariableName("z"));
  ExpectTerms(s, 0, {{{0, 0, 1}, 1.0}});
  ExpectTerms(s, 1, {{{0, 1, 0}, 1.0}, {{1, 0, 0}, 2.0}, {{0, 0, 0}, Complex(0, -1)}});
  // A declared variable that no equation uses leaves the solutions free along it.
  EXPECT_THAT([] { Parse("vars x, y, \"long name 2\"; x; y; x - y"); },
              ::testing::ThrowsMessage<Error>(HasSubstr(
                  "variable 3 ('long name 2') appears in no equation, so the solutions are not "
                  "isolated")));
}

TEST(PolyTextTest, CyclicFiveFromTextEqualsTheBenchmarkSystem) {
  std::string text;
  const int n = 5;
  for (int k = 1; k < n; ++k) {
    for (int i = 0; i < n; ++i) {
      text += i == 0 ? "" : " + ";
      for (int j = 0; j < k; ++j) text += (j ? "*x" : "x") + std::to_string((i + j) % n + 1);
    }
    text += ";\n";
  }
  text += "x1*x2*x3*x4*x5 - 1;\n";
  ExpectSameSystem(Parse(text), testing::Cyclic(5));
}

// Every message names the source, the line and the column of the offending token.
TEST(PolyTextTest, ErrorsNameLineAndColumn) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"x + $y; y;", "t:1:5: unexpected character '$'"},
      {"x + y;\n(x - y;", "t:2:1: unbalanced parenthesis: '(' is not closed"},
      {"x + y);\nx;", "t:1:6: unbalanced parenthesis: ')' without"},
      {"x^2.5; y;", "t:1:3: non-integer exponent '2.5'"},
      {"x^-1; y;", "t:1:3: negative exponent"},
      {"x^y; y;", "t:1:3: expected a non-negative integer exponent, found 'y'"},
      {"x^2^3; y;", "t:1:4: write a power of a power with parentheses"},
      {"x^99999999999; y;", "t:1:3: exponent '99999999999' is too large"},
      {"x^2000000000 * x^2000000000; y;", "t:1:14: an exponent of the expansion exceeds"},
      {"x + y;\nx - y;\n  x*y;", "t:3:3: the system is not square: 3 equations in 2 variables"},
      {"x + y + z;\nx - y;", "t:2:1: the system is not square: 2 equations in 3 variables"},
      {"x; ; y;", "t:1:4: empty equation"},
      {"x + ; y;", "t:1:5: the equation ends where a number"},
      {"x - x; y;", "t:1:1: the equation is identically zero"},
      {"variables x; x; y;", "t:1:17: unknown variable 'y'"},
      {"variables x, x; x; x;", "t:1:14: variable 'x' is declared twice"},
      {"x; variables y;", "t:1:4: 'variables' declares variables only as the first statement"},
      {"abcdefghijklmnopqrstu + 1;", "t:1:1: variable name 'abcdefghijklmnopqrstu' is longer"},
      {"2 3 x;", "t:1:3: two numbers in a row"},
      {"x = y = 1; y;", "t:1:7: expected an operator or the end of the equation, found '='"},
      {"x / y; y;", "t:1:3: division by an expression with variables"},
      {"x / (2 - 2); y;", "t:1:3: division by zero"},
      {"(x, y) + 1; y;", "t:1:3: a pair (re, im) must hold two real constants"},
      {"1e999 x; y;", "t:1:1: the number '1e999' is out of the range of doubles"},
      {"(a+b+c+d+e+f+g+h+j+k)^6 * (a+b+c+d+e+f+g+h+j+k)^6", "t:1:25: the expansion is too large"},
      {"# nothing\n", "t:2:1: no equations"},
      {"1 + 2;", "t:1:1: the system has no variables"},
      {"\"x; y;", "t:1:1: the quoted name is not closed"},
      {"x - 1; \"  \" - 2;", "t:1:8: empty variable name \"  \""},
      {"1e308*10 x - 1;", "t:1:1: a coefficient of the expanded equation is not finite"},
      {"\"x\" - 1; \"x \" - 2;",
       "t:1:10: variable names \"x\" and \"x \" are the same once padded"},
      {"(x+y+z)^2000 - 1; x - y; z - 1;",
       "t:1:8: the power 2000 of a sum of 3 terms expands to up to 2003001 terms, more than the "
       "limit of 1000000"},
      // Each factor has 1001 terms; their product would have 1002001.
      {"(x+y)^1000 (z+w)^1000 - 1; x; y; z;",
       "t:1:12: the product of 1001 and 1001 terms in separate variables has 1002001 terms"},
      {"variables x, y; x^2 - 1; x - 2;",
       "t: variable 2 ('y') appears in no equation, so the solutions are not isolated"},
      {"2 sin(x) + y;\nx - y;", "t:1:3: unknown function 'sin'"},
      {"variables x, y; x(y + 1) - 1; x - y;", "t:1:17: unknown function 'x'"},
  };
  for (const auto& c : cases) {
    try {
      Parse(c.text);
      ADD_FAILURE() << "no error for: " << c.text;
    } catch (const Error& e) {
      EXPECT_THAT(e.what(), HasSubstr(c.message)) << "input: " << c.text;
    }
  }
  // With a blank or a '*' before the parenthesis a name is a factor again.
  EXPECT_EQ(Parse("x (y + 1) - 1; x*(y - 1);").n, 2);
}

std::string Repeated(const std::string& text, int count) {
  std::string out;
  for (int k = 0; k < count; ++k) out += text;
  return out;
}

TEST(PolyTextTest, DeepOrHugeInputIsReadInBoundedDepthAndSpaceOrRefusedWithItsPlace) {
  // Parentheses recurse: 256 levels are read, the 257th is refused where it opens.
  const PolySystem nested = Parse(Repeated("(", 256) + "x" + Repeated(")", 256) + " - 1");
  ExpectTerms(nested, 0, {{{1}, 1.0}, {{0}, -1.0}});
  EXPECT_THAT(
      [] { Parse(Repeated("(", 5000) + "x" + Repeated(")", 5000) + " - 1"); },
      ::testing::ThrowsMessage<Error>(HasSubstr("t:1:257: parentheses nested deeper than 256")));
  // Signs are read in a loop, however many: an odd count negates.
  ExpectTerms(Parse(Repeated("-", 50001) + "x - 1"), 0, {{{1}, -1.0}, {{0}, -1.0}});

  // A million-digit literal is cut in the message.
  try {
    Parse("x - 1" + std::string(1000000, '2'));
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("'1222222222222222222222222222222222222222...'"));
    EXPECT_LT(std::string(e.what()).size(), 200u);
  }

  // 10001 equations "v_k - 1" need a dense 10001 x 20002 exponent matrix, beyond the limit of
  // 1e8 entries: refused when the running total passes it, before the matrix is built.
  std::string many;
  for (int k = 1; k <= 10001; ++k) many += testing::IndexedName('v', k) + " - 1\n";
  EXPECT_THAT([&] { Parse(many); }, ::testing::ThrowsMessage<Error>(HasSubstr(
                                        "terms in 10001 variables are more than the solver")));

  // A sum whose power has far fewer terms than the multisets of its terms is not refused.
  EXPECT_EQ(Parse("(1 + x + x^2)^500 - 2").termCount[0], 1001);
  // Only the variables a term holds cost memory: 2000 declared, one equation of 1001 terms.
  std::string wide = "variables ";
  for (int k = 1; k <= 2000; ++k) {
    if (k > 1) wide += ", ";
    wide += testing::IndexedName('v', k);
  }
  wide += ";\n(v1 + v2)^1000 - 1;\n";
  for (int k = 2; k <= 2000; ++k) wide += testing::IndexedName('v', k % 2000 + 1) + " - 1;\n";
  EXPECT_EQ(Parse(wide).termCount[0], 1002);
}

TEST(PolyTextTest, ByteOrderMarkIsSkipped) {
  ExpectSameSystem(Parse("\xEF\xBB\xBFx^2 - 1"), Parse("x^2 - 1"));
}

TEST(PolyTextTest, FormattedTextReadsBackToTheSameSystem) {
  const char* texts[] = {
      "0.1 x^2 + 0.33333333333333331 y - 1e-300; 1e300 x - (1.5 - 2i) y + 2.5i - i x y^7;",
      // With i and I taken, complex coefficients come back as pairs.
      "variables i, I, \"x 1\"; i + (1,2) I; -I + i^2; \"x 1\" - 3.25i;",
      "\"parameters\" * \"vars\" - 1; \"variables\" + \"vars\"; \"variables\" - 2;",
      "-x; y - z; -2.5 z^3 + 7;",
  };
  for (const char* text : texts) {
    const PolySystem s = Parse(text);
    ExpectSameSystem(Parse(FormatPolynomialText(s)), s);
  }
  const PolySystem noon = testing::Noon(4);
  ExpectSameSystem(Parse(FormatPolynomialText(noon)), noon);
  EXPECT_EQ(FormatPolynomialText(testing::CircleAndLine()),
            "variables x, y;\nx^2 + y^2 - 1;\nx - y;\n");
}

}  // namespace
}  // namespace zormix
