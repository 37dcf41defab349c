#include <gtest/gtest.h>

#include <cmath>

#include "geometry/search/Footprint.h"

namespace {

using search::Footprint;
using search::Grid;

// The control points of a patch of half side 6 that a survey view sees shrunk by `least` along
// the axis `degrees` from P0's columns (towards its rows) and by `most` across it.
Grid Shrunk(double least, double most, double degrees) {
  const double t = degrees * search::kRad, c = std::cos(t), s = std::sin(t);
  Grid grid;
  grid.half = 6;
  for (int g = 0; g < 9; ++g) {
    const double i = (g % 3 - 1) * 6.0, j = (g / 3 - 1) * 6.0;
    const double along = (i * c + j * s) * least, across = (-i * s + j * c) * most;
    grid.p[g] = {200 + along * c - across * s, 50 + along * s + across * c};
  }
  return grid;
}

TEST(Footprint, SpacesTheSamplesAboutASurveyPixelApart) {
  const struct {
    double least, most, degrees;
    int stretch0, stretch1, turn;
  } cases[] = {
      {1, 1, 0, 0, 0, 0},         // seen as P0 sees it
      {2, 1.5, 30, 0, 0, 0},      // seen larger: one P0 pixel a step
      {0.25, 1, 0, 4, 0, 0},      // 4 pixels apart along the columns
      {0.25, 1, 45, 4, 0, 18},    // along the diagonal, 18 steps of 2.5 degrees
      {0.25, 0.5, 90, 4, 2, 36},  // along the rows; 2 pixels apart across
      {0.01, 1, 10, 8, 0, 4},     // at most 16 pixels apart
  };
  for (const auto& c : cases) {
    const Footprint f = search::FootprintOf(Shrunk(c.least, c.most, c.degrees));
    EXPECT_EQ(f.stretch[0], c.stretch0) << c.least << " " << c.degrees;
    EXPECT_EQ(f.stretch[1], c.stretch1) << c.least << " " << c.degrees;
    EXPECT_EQ(f.turn, c.turn) << c.least << " " << c.degrees;
  }
}

}  // namespace
