#include "io/reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <sstream>
#include <string>
#include <vector>

#include "zormix/error.h"
#include "zormix/io.h"

namespace zormix {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

PolySystem Read(const std::string& text) {
  std::istringstream in(text);
  return ReadSystem(in, "PS.num");
}

std::string ReadError(const std::string& text) {
  try {
    Read(text);
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

std::string ManyLines(const std::string& line, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += line + "\n";
  return text;
}

void ExpectCircleAndLine(const PolySystem& s) {
  ASSERT_EQ(s.n, 2);
  EXPECT_EQ(s.termCount, (std::vector<std::int32_t>{3, 2}));
  ASSERT_EQ(s.exponents.cols(), 5);
  const std::vector<std::int32_t> expected = {2, 0, 0, 2, 0, 0, 1, 0, 0, 1};
  EXPECT_EQ(s.exponents.storage(), expected);
  const std::vector<Complex> coefficients = {1.0, 1.0, -1.0, 1.0, -1.0};
  EXPECT_EQ(s.coefficients, coefficients);
  EXPECT_EQ(s.variableNames,
            (std::vector<std::string>{"x                   ", "y                   "}));
}

TEST(ReaderTest, ReadsTheBundledExamples) {
  ExpectCircleAndLine(ReadSystemFile(std::string(ZORMIX_EXAMPLES_DIR) + "/PS.num"));
  ExpectCircleAndLine(ReadSystemFile(std::string(ZORMIX_TEST_DATA_DIR) + "/circle.num"));
}

// Everything after a statement's last value on its line is skipped, a statement runs over as many
// lines as it needs, blanks and commas separate values, and names may be quoted.
TEST(ReaderTest, FollowsTheListDirectedStatementRules) {
  const std::string text =
      "2   the number of variables\n"
      "3, 99 ignored\n"
      "\n"
      "2\n"
      "2\n"
      "0 ignored 7\n"  // exponent vector split over two lines; rest of its last line skipped
      "0,2\n"
      " 0 , 0\n"
      "1\t0\n"
      "0\n"
      "1\n"
      "( 1.0 , 0.0 ) trailing\n"
      "(1.0D+00,0.0d0)\n"
      "-1.0 0.0\n"  // bare pair
      "1.0,0.0\n"
      "(-1.0,\n"  // a coefficient may continue on the next line
      " 0.0)\n"
      "x 'skipped'\n"
      "'y'\n";
  ExpectCircleAndLine(Read(text));
}

TEST(ReaderTest, NamesArePaddedOrCutToTwentyCharacters) {
  const std::string head = "2\n1\n1\n1 0\n0 1\n(1,0)\n(1,0)\n";
  const PolySystem s = Read(head + "abcdefghijklmnopqrstuvwxy\n'it''s a name, / too'\n");
  EXPECT_EQ(s.variableNames[0], "abcdefghijklmnopqrst");
  EXPECT_EQ(s.variableNames[1], "it's a name, / too  ");
  EXPECT_EQ(Read(head + "abc\n\"q\"\n").variableNames[0], "abc                 ");
  EXPECT_EQ(Read(head + "a\r\n'b'\r\n").variableNames[1], PadVariableName("b"));
}

TEST(ReaderTest, IgnoresAnythingAfterTheLastSection) {
  const PolySystem s = Read("1\n2\n1\n0\n(2.5,-1e-3)\n(-4,0)\nt\ngarbage (\n");
  EXPECT_EQ(s.coefficients, (std::vector<Complex>{{2.5, -1e-3}, {-4.0, 0.0}}));
  EXPECT_EQ(s.variableNames[0], PadVariableName("t"));
}

// Every message names the file, the line and what was wrong or expected.
TEST(ReaderTest, ReportsBadInputWithFileLineAndWhat) {
  struct Case {
    std::string text;
    std::vector<std::string> parts;
  };
  const std::string circleHead = "2\n3\n2\n2 0\n0 2\n0 0\n1 0\n0 1\n";
  const std::vector<Case> cases = {
      {"", {"PS.num:1:", "premature end of file", "number of variables"}},
      {"2\n3\n", {"PS.num:2:", "premature end of file", "term count of equation 2"}},
      {"2\n3\n2\n2 0\n0 2\n0 0\n1 x\n",
       {"PS.num:7:", "expected an integer exponent (term 4, variable 2), found 'x'"}},
      {"0\n", {"PS.num:1:", "at least 1", "found 0"}},
      {"-3\n", {"PS.num:1:", "at least 1"}},
      {"two\n", {"PS.num:1:", "expected the number of variables", "found 'two'"}},
      {"2.5\n", {"PS.num:1:", "found '2.5'"}},
      {"2\n3\n0\n",
       {"PS.num:3:", "equation 2 must have at least 1 term", "found a term count of 0"}},
      {"2\n3\n2\n2 0\n0 -2\n", {"PS.num:5:", "negative exponent -2 (term 2, variable 2)"}},
      {"1\n1\n99999999999\n", {"PS.num:3:", "does not fit a 32-bit integer"}},
      {"1\n1\n99999999999999999999999\n", {"PS.num:3:", "out of range"}},
      {"200000\n", {"PS.num:1:", "exceeds the limit of 100000"}},
      {"1\n2000000000\n", {"PS.num:2:", "2000000000 terms in 1 variables", "(1000000 terms"}},
      {"2\n600000\n600000\n", {"PS.num:3:", "1200000 terms in 2 variables"}},
      {"100000\n" + ManyLines("1", 1001), {"PS.num:1002:", "1001 terms in 100000 variables"}},
      // 100 bytes cannot hold 900000 terms: refused before 900000 x 2 exponents are allocated.
      {"2\n450000\n450000\n1 0\n0 1\n",
       {"PS.num:3:", "declare 900000 terms in 2 variables", "can hold at most 0"}},
      {circleHead + "(1.0,0.0)\n(1,0)\n(1e999,0)\n",
       {"PS.num:11:", "term 3", "not a finite double"}},
      {circleHead + "(NaN,0)\n", {"PS.num:9:", "term 1", "must be finite"}},
      {circleHead + "(1.0;0.0)\n", {"PS.num:9:", "real part of the coefficient (term 1)"}},
      {circleHead + "(1.0,0.0\n",
       {"premature end of file", "')' closing the coefficient (term 1)"}},
      {circleHead + "(1.0,0.0]\n", {"PS.num:9:", "imaginary part of the coefficient (term 1)"}},
      {circleHead + "(1,0)\n(1,0)\n(1,0)\n(1,0)\n", {"PS.num:12:", "premature end", "term 5"}},
      {circleHead + "(1,0)\n(1,0)\n(1,0)\n(1,0)\n(1,0)\nx\n",
       {"PS.num:14:", "premature end", "name of variable 2"}},
      {circleHead + "(1,0)\n(1,0)\n(1,0)\n(1,0)\n(1,0)\nx\n'y\n", {"PS.num:15:", "never closed"}},
      {"2\n,3\n", {"PS.num:2:", "empty value"}},
      {circleHead + "(1" + std::string(1000000, '0') + ",0)\n",
       {"PS.num:9:", "'1000000000000000000000000000000000000000...' is not a finite double"}},
      // Solutions that are not isolated: a zero equation, a variable in no term.
      {"2\n1\n2\n1 0\n1 0\n0 0\n(0,0)\n(1,0)\n(-1,0)\nx\ny\n",
       {"PS.num: equation 1 is identically zero", "not isolated"}},
      {"2\n1\n2\n2 0\n1 0\n0 0\n(1,0)\n(1,0)\n(-1,0)\nx\ny\n",
       {"PS.num: variable 2 ('y') appears in no equation", "not isolated"}},
      {"1\n2\n1\n0\n(1,0)\n(1,0)\n'a\tb'\n", {"control character 9"}},
  };
  for (std::size_t c = 0; c < cases.size(); ++c) {
    const std::string message = ReadError(cases[c].text);
    for (const std::string& part : cases[c].parts) {
      EXPECT_THAT(message, HasSubstr(part)) << "case " << c << ": " << cases[c].text;
    }
  }
}

// Numbers are read the same whatever LC_NUMERIC says; a byte-order mark is skipped.
TEST(ReaderTest, ReadsNumbersWithoutTheLocaleAndSkipsAByteOrderMark) {
  const std::string text = "1\n2\n1\n0\n(1.5,-2.25D-1)\n(-.5,1e-400)\nx\n";
  const std::vector<Complex> expected = {{1.5, -0.225}, {-0.5, 0.0}};
  EXPECT_EQ(Read("\xEF\xBB\xBF" + text).coefficients, expected);
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "locale de_DE.UTF-8 missing (scripts/install-deps.sh generates it)";
  }
  const std::vector<Complex> got = Read(text).coefficients;
  std::setlocale(LC_NUMERIC, previous.c_str());
  EXPECT_EQ(got, expected);
}

TEST(ReaderTest, FileErrorsNameThePath) {
  const std::string dir = ZORMIX_TEST_DATA_DIR;
  try {
    ReadSystemFile(dir + "/no_such_file.num");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), AllOf(HasSubstr("no_such_file.num"), HasSubstr("cannot open")));
  }
  try {
    ReadSystemFile(dir);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("directory"));
  }
  try {
    ReadSystemFile(dir + "/bad_exponent.num");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("bad_exponent.num:8: expected an integer exponent (term 5, "
                                    "variable 1), found 'x'"));
  }
}

}  // namespace
}  // namespace zormix
