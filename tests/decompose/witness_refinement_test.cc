// Singular witness points refined before the ranks of their deflation are decided: components of
// multiplicity 2 in coordinates and equation scales far from 1 decompose alike on every seed.
#include "decompose/witness_refinement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "zormix/decompose.h"
#include "zormix/io.h"

namespace zormix {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Random affine coordinates X, Y, Z of (u, v, w), and the same at a thousandth of the scale.
constexpr const char* kX =
    "(-0.09524089298036276*u + 0.11954477216099191*v + 0.8484211680474587*w"
    " + 0.3)";
constexpr const char* kY =
    "(-0.06869985980045334*u + 0.01568254612454223*v + 0.1747696576997939*w"
    " - 0.2)";
constexpr const char* kZ =
    "(-0.6306793122902468*u + 0.023817278083611004*v + 0.25976544043360383*w"
    " + 0.1)";
constexpr const char* kSmallX =
    "(0.00024580338977940385*u + 0.0004835739785214588*v"
    " + 0.0005903871311313933*w + 0.3)";
constexpr const char* kSmallY =
    "(0.0008849005675541006*u + 0.0004797971494798614*v"
    " + 0.000844649993330834*w - 0.2)";
constexpr const char* kSmallZ =
    "(-0.0009419895434327705*u - 6.87546912437893e-05*v"
    " + 0.0008867134339966274*w + 0.1)";

std::string System(const std::vector<std::string>& equations) {
  std::string text = "variables u, v, w;\n";
  for (const std::string& e : equations) text += e + ";\n";
  return text;
}

// Per component: "dimension:degree:multiplicity".
std::vector<std::string> Components(const std::string& text, std::uint64_t seed) {
  DecomposeOptions options;
  options.seed = seed;
  const Decomposition d = Decompose(ParseEquationsText(text, "test"), options);
  std::vector<std::string> out;
  for (const WitnessComponent& c : d.components) {
    out.push_back(std::to_string(c.dimension) + ":" + std::to_string(c.degree) + ":" +
                  std::to_string(c.multiplicity) + (c.traceTestPassed ? "" : " open"));
  }
  for (const std::string& warning : d.warnings) out.push_back("warning: " + warning);
  EXPECT_EQ(d.isolated.regular + d.isolated.singular, 0) << text;
  return out;
}

TEST(WitnessRefinementTest, DoubleCurvesInScaledCoordinatesDecomposeAlikeOnEverySeed) {
  const std::string x = kX, y = kY, z = kZ;
  // A double line; a double conic in the plane Z = 0; two double lines and a simple one, in
  // coordinates a thousand times larger. Equations scaled by 1e-6 and 1e5.
  const std::string line = System({"1e-6*" + x + "^2", "1e5*" + y});
  const std::string conic = System({"1e-6*" + z + "^2", "1e5*(" + x + "^2 + 2*" + y + "^2 - 1)"});
  const std::string lines = System({"1e-6*" + std::string(kSmallX) + "^2*" + kSmallZ,
                                    "1e5*" + std::string(kSmallY) + "*(" + kSmallZ + " - 1)"});
  for (std::uint64_t seed = 1; seed <= 10; ++seed) {
    EXPECT_THAT(Components(line, seed), ElementsAre("1:1:2")) << "seed " << seed;
    EXPECT_THAT(Components(conic, seed), ElementsAre("1:2:2")) << "seed " << seed;
    EXPECT_THAT(Components(lines, seed), ElementsAre("1:1:1", "1:1:2", "1:1:2")) << "seed " << seed;
  }
}

// An equation in X, Y, Z in unknowns `scale` times larger: u stands for u / scale.
std::string InScale(std::string text, const std::string& scale) {
  for (const char* name : {"u", "v", "w"}) {
    std::string scaled = "(" + std::string(name) + "/" + scale + ")";
    for (std::size_t at = text.find(name); at != std::string::npos;
         at = text.find(name, at + scaled.size()))
      text.replace(at, 1, scaled);
  }
  return text;
}

// Per component "dimension:degree:multiplicity" alone, and whether deflation left any witness
// point singular.
std::vector<std::string> Shapes(const std::string& text, std::uint64_t seed) {
  DecomposeOptions options;
  options.seed = seed;
  const Decomposition d = Decompose(ParseEquationsText(text, "test"), options);
  std::vector<std::string> out;
  for (const WitnessComponent& c : d.components)
    out.push_back(std::to_string(c.dimension) + ":" + std::to_string(c.degree) + ":" +
                  std::to_string(c.multiplicity));
  for (const std::string& warning : d.warnings)
    if (warning.find("did not make regular") != std::string::npos) out.push_back(warning);
  return out;
}

// The rank of each deflation step is decided in the local units of its rows: in unknowns 1e3
// times larger, the row X^2 of a double line has second derivatives 1e-6 the size of Y's first
// ones, so in the given units its deflation rows looked zero and the line stayed singular on 7
// of 10 seeds; a point the loops found 1e-4 off the line (where X^2 is 1e-8) was taken as a
// second witness point of it. Equations rescaled by 1e6 and 1e-6 change nothing either.
TEST(WitnessRefinementTest, DoubleLinesDecomposeAlikeInCoordinatesOfEveryScale) {
  const std::string x = kX, y = kY, z = kZ;
  // (coordinate scale, equation scale)
  for (const auto& [scale, rows] : {std::pair{"1e3", "1e6"}, std::pair{"1e-3", "1e-6"}}) {
    const std::string r = rows;
    const std::string line =
        System({InScale(r + "*" + x + "^2", scale), InScale(r + "*" + y, scale)});
    const std::string lines = System({InScale(r + "*" + x + "^2*" + z, scale),
                                      InScale(r + "*" + y + "*(" + z + " - 1)", scale)});
    for (std::uint64_t seed = 1; seed <= 10; ++seed) {
      const std::string at =
          std::string("scale ") + scale + ", rows " + rows + ", seed " + std::to_string(seed);
      EXPECT_THAT(Shapes(line, seed), ElementsAre("1:1:2")) << at;
      EXPECT_THAT(Shapes(lines, seed), ElementsAre("1:1:1", "1:1:2", "1:1:2")) << at;
    }
  }
}

// The witness system of the double line x^2 = y = 0 in the plane z = 0.3 x + 2 y - 0.7 (scaled as
// above): a point 1e-8 off the line in x, as the end game leaves it, comes back to it.
TEST(WitnessRefinementTest, APointWithHalfItsDigitsIsRefinedToTheRoot) {
  const PolySystem witness =
      ParseEquationsText("variables x, y, z;\n1e-6*x^2;\n1e5*y;\nz - 0.3*x - 2*y + 0.7;\n", "w");
  const std::vector<Complex> refined =
      RefinedWitnessPoint(witness, {Complex(1e-8, 3e-9), Complex(0.0, 0.0), Complex(-0.7, 0.0)}, 2);
  ASSERT_EQ(refined.size(), 3u);
  EXPECT_LT(std::abs(refined[0]), 1e-14);
  EXPECT_LT(std::abs(refined[1]), 1e-14);
  EXPECT_NEAR(refined[2].real(), -0.7, 1e-14);
  // A point that is no root within reach stays where it was.
  const std::vector<Complex> far = {Complex(0.5, 0.0), Complex(0.25, 0.0), Complex(0.0, 0.0)};
  EXPECT_EQ(RefinedWitnessPoint(witness, far, 2), far);
}

}  // namespace
}  // namespace zormix
