// Verdicts of the decomposition from both sides of the distances that decide them: membership of
// a point near a component, and a root of a randomised overdetermined system that solves the
// system as given or only its randomisation. Each case places a point between the accuracy the
// solver reaches and the size of what it must tell apart.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "zormix/decompose.h"
#include "zormix/io.h"

namespace zormix {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The unit sphere and the line x = y = 1/2: components of dimension 2 and 1.
constexpr const char* kSphereAndLine =
    "variables x, y, z;\n"
    "(x^2 + y^2 + z^2 - 1)*(x - 0.5);\n"
    "(x^2 + y^2 + z^2 - 1)*(y - 0.5);\n";

TEST(MembershipThreshold, PointsNearAComponentAreOnItOnlyWithinTheEndGamesAccuracy) {
  const PolySystem f = ParseEquationsText(kSphereAndLine, "test");
  for (const std::uint64_t seed : {1, 2}) {
    SCOPED_TRACE(seed);
    DecomposeOptions options;
    options.seed = seed;
    const Decomposition d = Decompose(f, options);
    ASSERT_EQ(d.components.size(), 2u);
    const int sphere = d.components[0].dimension == 2 ? 0 : 1;
    // (0.6, 0.8, 0) rounded to eight digits after a rotation: 1e-9 off the sphere.
    const double c = std::cos(0.3), s = std::sin(0.3);
    const std::vector<Complex> rounded{std::round(0.6 * c * 1e8) / 1e8,
                                       std::round(0.8 * c * 1e8) / 1e8, std::round(s * 1e8) / 1e8};
    EXPECT_THAT(ComponentsContaining(f, d, rounded, options), ElementsAre(sphere));
    // The same point scaled by 1 + 1e-5: 2e-5 off the sphere in |f|, 1e-5 in distance.
    std::vector<Complex> off = rounded;
    for (Complex& v : off) v *= 1.0 + 1e-5;
    EXPECT_THAT(ComponentsContaining(f, d, off, options), IsEmpty());
    // On the line, 1e-5 along z from nowhere special: on it; moved 1e-5 off in x: on nothing.
    EXPECT_THAT(ComponentsContaining(f, d, std::vector<Complex>{0.5, 0.5, 3.0}, options),
                ElementsAre(1 - sphere));
    EXPECT_THAT(ComponentsContaining(f, d, std::vector<Complex>{0.5 + 3e-5, 0.5, 3.0}, options),
                IsEmpty());
  }
}

// x - 1, y - 1, x y - 1 - e: three equations in two unknowns, randomised to two. Its only root,
// for e = 0, is (1, 1); the randomisation has a root within about e of it for every e, which
// leaves the third equation at about e of its terms. e = 1e-10 is the rounding of coefficients
// given to ten digits, so the root is the system's; e = 1e-6 is an inconsistent system.
TEST(OverdeterminedThreshold, RootOfTheRandomisationSolvesTheSystemOnlyToRounding) {
  for (const std::uint64_t seed : {1, 2}) {
    SCOPED_TRACE(seed);
    DecomposeOptions options;
    options.seed = seed;
    const auto isolated = [&](const char* e) {
      const std::string text =
          std::string("variables x, y;\nx - 1;\ny - 1;\nx*y - 1 - ") + e + ";\n";
      const Decomposition d = Decompose(ParseEquationsText(text, "test"), options);
      EXPECT_TRUE(d.randomized);
      EXPECT_TRUE(d.components.empty());
      return d.isolated.regular;
    };
    EXPECT_EQ(isolated("1e-10"), 1);
    EXPECT_EQ(isolated("1e-6"), 0);
  }
}

}  // namespace
}  // namespace zormix
