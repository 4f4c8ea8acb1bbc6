// PHCpack's format: read as PHCpack reads it by every entry point, written so that it reads back
// to the same system, and told apart from polynomial text and PS.num.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "zormix/error.h"
#include "zormix/io.h"
#include "zormix/parametric.h"

namespace zormix {
namespace {

using ::testing::HasSubstr;

void ExpectSameSystem(const PolySystem& a, const PolySystem& b) {
  EXPECT_EQ(a.n, b.n);
  EXPECT_EQ(a.termCount, b.termCount);
  EXPECT_EQ(a.exponents, b.exponents);
  EXPECT_EQ(a.coefficients, b.coefficients);
  EXPECT_EQ(a.variableNames, b.variableNames);
}

std::string ErrorOf(const std::function<void()>& read) {
  try {
    read();
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

// The count line is no factor of the first polynomial, whichever entry point reads the text: the
// circle x^2 + y^2 = 1 cut by x = y, not 2x^2 + y^2 = 1.
TEST(PhcFormatTest, CountLineIsNotMultipliedIntoTheFirstPolynomial) {
  const std::string phc = "2\nx^2 + y^2 - 1;\nx - y;\n";
  const PolySystem expected = ParsePolynomialText("x^2 + y^2 - 1; x - y;", "t");
  ExpectSameSystem(ParsePhcText(phc, "c.phc"), expected);
  ExpectSameSystem(ParsePolynomialText(phc, "c.phc"), expected);
  ExpectSameSystem(ParseSystem(phc, "c.phc", DetectSystemFormat(phc, "c.phc")), expected);
}

// The count of variables, i and I, ** and ^, E exponents, polynomials over several lines, and
// whatever follows the last polynomial (solutions, END, text with other characters) unread.
TEST(PhcFormatTest, ReadsWhatPhcpackFilesHold) {
  const std::string phc =
      "  3 3 \n"
      " 1.5E+00*x**2 - 2.5e-1*I*y\n"
      "  + (1.0 - 2.0*i)*z - 1;\n"
      " x*y*z - 3.0E+00;\n"
      " x + y + z;\n"
      "END\n"
      "THE SOLUTIONS :\n"
      "1 3\n"
      "== err : 1.2E-16 = rco : 0.5 ==\n";
  const PolySystem s = ParsePhcText(phc, "p.phc");
  const PolySystem expected = ParsePolynomialText(
      "variables x, y, z; 1.5 x^2 - 0.25 i y + (1 - 2i) z - 1; x y z - 3; x + y + z;", "t");
  ExpectSameSystem(s, expected);
}

TEST(PhcFormatTest, CountLinesThatDoNotFitAreRefusedWithTheCounts) {
  EXPECT_THAT(ErrorOf([] { ParsePhcText("3\nx - 1;\ny - 2;\n", "f.phc"); }),
              HasSubstr("f.phc:3:1: the count line (line 1) says 3 polynomials, but only 2 end "
                        "with ';'"));
  EXPECT_THAT(ErrorOf([] { ParsePhcText("2\nx^2 + y^2 - 1\nx - y\n", "f.phc"); }),
              HasSubstr("none ends with ';'"));
  EXPECT_THAT(ErrorOf([] { ParsePhcText("2 3\nx - z;\ny - 2;\n", "f.phc"); }),
              HasSubstr("f.phc:1:1: the count line says 2 polynomials in 3 variables; only "
                        "square systems"));
  // Fewer variables than the count says polynomials: the square check names them.
  EXPECT_THAT(ErrorOf([] { ParsePhcText("2\nx - 1;\nx + 1;\n", "f.phc"); }),
              HasSubstr("not square: 2 equations in 1 variable (x)"));
  // Positions in messages are the file's, count line included.
  EXPECT_THAT(ErrorOf([] { ParsePhcText("2\nx - 1;\ny $ 2;\n", "f.phc"); }),
              HasSubstr("f.phc:3:3: unexpected character '$'"));
}

// A number alone on its line that opens an equation would multiply it: refused, wherever it is
// (after a declaration, between equations), in text and in families.
TEST(PhcFormatTest, LoneLeadingNumbersAreRefusedNotMultiplied) {
  EXPECT_THAT(
      ErrorOf([] { ParsePolynomialText("variables x, y;\n2\nx^2 + y^2 - 1;\nx - y;", "t"); }),
      HasSubstr("t:2:1: the number '2' stands alone on its line before an equation"));
  EXPECT_THAT(ErrorOf([] { ParsePolynomialText("x - y;\n3\n(x + y - 1);", "t"); }),
              HasSubstr("t:2:1: the number '3'"));
  EXPECT_THAT(ErrorOf([] { ParseParametricText("parameters a;\n2\nx - a;", "t"); }),
              HasSubstr("t:2:1: the number '2'"));
  // A number inside an equation, or a product written out, is as before.
  const PolySystem s = ParsePolynomialText("x - y;\n3\n* (x + y) - 1;", "t");
  EXPECT_EQ(s.coefficients[2], Complex(3.0, 0.0));
  const PolySystem inside = ParsePolynomialText("x - y;\nx^2 -\n2\n(y + 1);", "t");
  EXPECT_EQ(inside.coefficients[3], Complex(-2.0, 0.0));
}

TEST(PhcFormatTest, DetectsTheFormatFromTheFirstLines) {
  struct Case {
    std::string contents;
    std::string name;
    SystemFormat format;
  };
  const std::vector<Case> cases = {
      {"2\nx^2 + y^2 - 1;\nx - y;\n", "", SystemFormat::kPhc},
      {"\xEF\xBB\xBF  2 2\n x - y;\n x + y - 1;", "s", SystemFormat::kPhc},
      {"2\n3\n2\n2 0\n0 2\n", "s", SystemFormat::kPsNum},
      {"2\n", "s", SystemFormat::kPsNum},
      {"x - y; x + y - 1;", "s.num", SystemFormat::kPsNum},
      {"2 x + y - 1\nx - y", "", SystemFormat::kText},
      {"-9 - t^2", "", SystemFormat::kText},
      {"2.5\nx - 1", "", SystemFormat::kText},
      {"variables x;\n2\nx - 1;", "", SystemFormat::kText},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DetectSystemFormat(c.contents, c.name), c.format) << c.contents;
  }
}

PolySystem RoundTrip(const PolySystem& system) {
  return ParsePhcText(FormatPhcText(system), "written.phc");
}

// Exact doubles, complex coefficients, and a variable order that is not the order of first
// appearance (kept by 0*x terms) come back as they were.
TEST(PhcFormatTest, WrittenSystemsReadBackTheSame) {
  const PolySystem s = ParsePolynomialText(
      "variables a, b, c;\n"
      "b^2 - 1/3 c + 1e-300;\n"
      "(1.5 - 2.25i) a^3 b - 5e-324 + (0, 1) c;\n"
      "-a + b c - 0.1;",
      "t");
  const std::string written = FormatPhcText(s);
  EXPECT_EQ(written.substr(0, 2), "3\n");
  ExpectSameSystem(RoundTrip(s), s);
  // In order of appearance already: no 0*x terms.
  const PolySystem plain = ParsePolynomialText("x - y; x + y - 1;", "t");
  EXPECT_EQ(FormatPhcText(plain), "2\nx - y;\nx + y - 1;\n");
}

TEST(PhcFormatTest, LongPolynomialsAreBrokenIntoLines) {
  std::string equation;
  for (int k = 0; k < 40; ++k)
    equation += " + " + std::to_string(k + 1) + ".125*x^" + std::to_string(k);
  const PolySystem s = ParsePolynomialText(equation.substr(3) + ";", "t");
  const std::string written = FormatPhcText(s);
  std::size_t longest = 0, start = 0;
  for (std::size_t end; (end = written.find('\n', start)) != std::string::npos; start = end + 1)
    longest = std::max(longest, end - start);
  EXPECT_LE(longest, 80u);
  ExpectSameSystem(RoundTrip(s), s);
}

// Names PHCpack reads otherwise (an exponent, the imaginary unit) are refused, not renamed.
TEST(PhcFormatTest, NamesPhcpackWouldMisreadAreRefused) {
  for (const std::string text :
       {"variables e1, y; e1 - y; e1 + y - 1;", "variables x, Ix; x - Ix; x + Ix - 1;",
        "variables x, \"y 1\"; x - \"y 1\"; x + \"y 1\" - 1;"}) {
    const PolySystem s = ParsePolynomialText(text, "t");
    EXPECT_THAT(ErrorOf([&] { FormatPhcText(s); }),
                HasSubstr("cannot be written in PHCpack's format"))
        << text;
  }
}

class PhcFileTest : public testing::TempDirTest {};

TEST_F(PhcFileTest, ReadAnySystemFileReadsEveryFormat) {
  const PolySystem circle = ParsePolynomialText("x^2 + y^2 - 1; x - y;", "t");
  const std::vector<std::pair<SystemFormat, std::string>> files = {
      {SystemFormat::kPsNum, FormatSystemFile(circle)},
      {SystemFormat::kText, FormatPolynomialText(circle)},
      {SystemFormat::kPhc, FormatPhcText(circle)}};
  for (const auto& [format, contents] : files) {
    const std::string path = (dir_ / (std::string("system.") + SystemFormatName(format))).string();
    std::ofstream(path) << contents;
    SystemFormat detected = SystemFormat::kText;
    ExpectSameSystem(ReadAnySystemFile(path, &detected), circle);
    EXPECT_EQ(detected, format);
    EXPECT_EQ(SystemFormatNamed(SystemFormatName(format)), format);
  }
  EXPECT_THAT(ErrorOf([&] { ReadAnySystemFile((dir_ / "none").string()); }),
              HasSubstr("none: cannot open the file"));
}

}  // namespace
}  // namespace zormix
