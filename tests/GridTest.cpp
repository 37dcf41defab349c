#include <gtest/gtest.h>

#include "geometry/search/Footprint.h"
#include "geometry/search/Grid.h"

namespace {

using search::Grid;

// The control points of a patch of half side 5 that a survey view sees stretched by `a` along the
// columns and `b` along the rows, then sheared by `shear` columns a row.
Grid Mapped(double a, double b, double shear = 0) {
  Grid grid;
  grid.half = 5;
  for (int g = 0; g < 9; ++g) {
    const double i = (g % 3 - 1) * 5.0, j = (g / 3 - 1) * 5.0;
    grid.p[g] = {100 + a * i + shear * b * j, 40 + b * j};
  }
  return grid;
}

TEST(Grid, HoldsWhatIsNeitherSqueezedToASliverNorSpreadTooFar) {
  const struct {
    double a, b;
    bool holds;
  } cases[] = {{1, 1, true},     {0.09, 1, true}, {0.07, 1, false}, {1, 0.07, false},
               {7.9, 7.9, true}, {8.1, 1, false}, {1, 8.1, false},  {0.09, 7.9, true}};
  for (const auto& c : cases)
    EXPECT_EQ(search::Holds(Mapped(c.a, c.b)), c.holds) << c.a << " " << c.b;
}

TEST(Grid, TheDeterminantIsTheAreaASurveyPixelCovers) {
  EXPECT_DOUBLE_EQ(search::Determinant(Mapped(1, 1)), 1);
  EXPECT_DOUBLE_EQ(search::Determinant(Mapped(2, 0.25)), 0.5);
  EXPECT_DOUBLE_EQ(search::Determinant(Mapped(2, 0.25, 3)), 0.5);
  EXPECT_DOUBLE_EQ(search::Determinant(Mapped(-1, 1)), -1);  // seen mirrored
}

}  // namespace
