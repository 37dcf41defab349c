#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/search/Aim.h"
#include "tests/GreyPicture.h"

namespace {

using namespace search;

// Rows `top` .. `top + rows - 1` of the panorama, brightening by `slope` grey levels a column to
// the right and twice that a row down around the aim (column 360, row 180, at 0 degrees).
GreyPicture Ramp(int top = 0, int rows = 360, int slope = 1) {
  return {720, rows, 0, top,
          [slope](int x, int y) { return 128 + slope * (x - 360 + 2 * (y - 180)); }};
}

// The reference holds the aimed patch's values, row by row, at the footprint's steps, less their
// mean and scaled to unit length: here each sample's offset along the ramp.
TEST(Aim, TheReferenceFollowsTheFootprintsAxes) {
  const GreyPicture ramp = Ramp();
  Aim aim(ramp.pixels, 0, 0);
  Layout layout(3, 7);
  const struct {
    Footprint footprint;
    int perColumn, perRow;  // the ramp's rise a sample step along the patch's columns and rows
  } cases[] = {{Footprint{}, 1, 2}, {Footprint{0, {2, 0}}, 2, 2}, {Footprint{36, {2, 0}}, 4, -1}};
  for (const auto& c : cases) {
    const std::vector<double>* reference = aim.Reference(Patch(3), layout, c.footprint);
    ASSERT_TRUE(reference);
    double norm = 0;
    for (int j = -3; j <= 3; ++j)
      for (int i = -3; i <= 3; ++i) norm += std::pow(c.perColumn * i + c.perRow * j, 2);
    for (int k = 0; k < 49; ++k)
      EXPECT_NEAR((*reference)[std::size_t(k)],
                  (c.perColumn * (k % 7 - 3) + c.perRow * (k / 7 - 3)) / std::sqrt(norm), 1e-6)
          << c.footprint.turn << ": " << k;
  }
}

TEST(Aim, TheSpreadIsThatOfTheAimedPatchAndNothingWhereP0LacksIt) {
  const GreyPicture flat = Ramp(0, 360, 0), cropped = Ramp(170, 20);
  Aim plain(flat.pixels, 0, 0), edge(cropped.pixels, 0, 0);
  EXPECT_EQ(plain.Spread(7).value_or(-1), 0);
  Layout layout(7, 15), wide(12, 25);
  const std::vector<double>* zeros = plain.Reference(Patch(7), layout, Footprint{});
  ASSERT_TRUE(zeros);
  EXPECT_TRUE(std::all_of(zeros->begin(), zeros->end(), [](double v) { return v == 0; }));
  // Over 15 x 15 pixels of the ramp: offsets i + 2j, i and j each spread as -7 ... 7.
  EXPECT_NEAR(edge.Spread(7).value_or(-1), std::sqrt(5 * (15 * 15 - 1) / 12.0), 1e-4);
  EXPECT_FALSE(edge.Spread(12));
  EXPECT_FALSE(edge.Reference(Patch(12), wide, Footprint{}));
}

TEST(Aim, TheControlRaysSpreadWithTheFootprint) {
  const GreyPicture ramp = Ramp();
  const Aim aim(ramp.pixels, 0, 0);
  Patch patch(5);
  const std::array<V3, 9> unit = aim.Rays(patch, Footprint{});
  const std::array<V3, 9> wide = aim.Rays(patch, Footprint{0, {2, 4}});
  EXPECT_EQ(unit[4].x, aim.Ray().x);
  EXPECT_EQ(unit[4].y, aim.Ray().y);
  EXPECT_EQ(unit[4].z, aim.Ray().z);
  const auto angle = [](V3 a, V3 b) { return std::acos(std::clamp(Dot(a, b), -1.0, 1.0)); };
  EXPECT_NEAR(angle(wide[3], wide[5]), 2 * angle(unit[3], unit[5]), 1e-9);
  EXPECT_NEAR(angle(wide[1], wide[7]), 4 * angle(unit[1], unit[7]), 1e-9);
}

}  // namespace
