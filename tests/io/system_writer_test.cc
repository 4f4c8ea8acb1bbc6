#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "base/atomic_file.h"
#include "support/systems.h"
#include "support/temp_dir.h"
#include "zormix/error.h"
#include "zormix/io.h"

namespace zormix {
namespace {

namespace fs = std::filesystem;

class SystemWriterTest : public testing::TempDirTest {
 protected:
  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

TEST_F(SystemWriterTest, WritesTheCircleAndLineLayout) {
  EXPECT_EQ(FormatSystemFile(testing::CircleAndLine()),
            "2\n3\n2\n2 0\n0 2\n0 0\n1 0\n0 1\n(1,0)\n(1,0)\n(-1,0)\n(1,0)\n(-1,0)\nx\ny\n");
}

TEST_F(SystemWriterTest, ReaderGetsBackTheSameSystem) {
  PolySystem s = ParsePolynomialText(
      "variables a, \"b c\", \"d/e\"; 0.1 a^3 \"b c\" - 1/3; (1e-300 - 2.5e300i) \"b c\"; \"b c\" "
      "- "
      "0.30000000000000004 a + \"d/e\";",
      "t");
  // Not representable by a short decimal: only 17 digits give it back.
  s.coefficients[1] = Complex(1.0 / 3.0, -2.0 / 7.0);
  const fs::path file = dir_ / "PS.num";
  WriteSystemFile(s, file.string());
  const PolySystem back = ReadSystemFile(file.string());
  EXPECT_EQ(back.n, s.n);
  EXPECT_EQ(back.termCount, s.termCount);
  EXPECT_EQ(back.exponents, s.exponents);
  EXPECT_EQ(back.coefficients, s.coefficients);
  EXPECT_EQ(back.variableNames, s.variableNames);

  const PolySystem katsura = testing::Katsura(4);
  WriteSystemFile(katsura, file.string());
  EXPECT_EQ(FormatPolynomialText(ReadSystemFile(file.string())), FormatPolynomialText(katsura));
}

TEST_F(SystemWriterTest, RejectsInconsistentSystemsAndLeavesNoFileBehind) {
  PolySystem s = testing::CircleAndLine();
  s.termCount[1] = 3;
  EXPECT_THROW(FormatSystemFile(s), Error);
  s = testing::CircleAndLine();
  s.exponents(0, 0) = -1;
  EXPECT_THROW(WriteSystemFile(s, (dir_ / "PS.num").string()), Error);
  // Neither format can write a coefficient that is not finite, nor read back a control character.
  s = testing::CircleAndLine();
  s.coefficients[2] = Complex(std::numeric_limits<double>::infinity(), 0.0);
  EXPECT_THROW(WriteSystemFile(s, (dir_ / "PS.num").string()), Error);
  EXPECT_THROW(FormatPolynomialText(s), Error);
  s = testing::CircleAndLine();
  s.variableNames[0] = PadVariableName("x\ry");
  EXPECT_THROW(FormatSystemFile(s), Error);
  EXPECT_TRUE(fs::is_empty(dir_));

  // A failed write keeps the old file whole and removes its temporary.
  const fs::path file = dir_ / "out.txt";
  WriteFileAtomically(file.string(), "old\n");
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  if (geteuid() != 0) {  // root writes anyway
    EXPECT_THROW(WriteFileAtomically(file.string(), "new\n"), Error);
  }
  fs::permissions(dir_, fs::perms::owner_all);
  EXPECT_EQ(Slurp(file), "old\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  EXPECT_THROW(WriteFileAtomically((dir_ / "missing" / "x").string(), "x"), Error);
}

}  // namespace
}  // namespace zormix
