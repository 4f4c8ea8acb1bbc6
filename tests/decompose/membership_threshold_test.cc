// The homotopy membership verdict from both sides of decompose.membership_distance: a point given
// to eight digits lies on the component it was taken from, a point moved off it by 1e-5 of its size
// lies on nothing. The distance of an arriving end point from the tested point is what decides, so
// both points sit between the end game's accuracy and the size of a slice.
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

}  // namespace
}  // namespace zormix
