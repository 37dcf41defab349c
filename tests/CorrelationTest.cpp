#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "geometry/search/Correlation.h"
#include "tests/GreyPicture.h"
#include "tests/WallScene.h"

namespace {

using namespace search;

// Blotches a pixel across: a grey value of its own for each pixel.
int Noise(int x, int y) {
  return wall::Blotches(0.1 * x, 0.1 * y);
}

// A survey patch of half side 5 read square around (200, 100) of a noisy panorama, and its own
// values, as the aimed patch would give them: zero mean, unit length, `sign` the way round.
struct NoisyView : ::testing::Test {
  GreyPicture picture{720, 360, 0, 0, Noise};
  GreyImage image{picture.pixels};
  Grid grid;
  Layout layout{5, 11};
  NoisyView() {
    grid.half = 5;
    for (int g = 0; g < 9; ++g) grid.p[g] = {200.0 + (g % 3 - 1) * 5, 100.0 + (g / 3 - 1) * 5};
  }
  std::vector<double> Reference(double sign) {
    std::vector<double> values;
    image.Prepare(190, 90, 210, 110);
    for (int j = -5; j <= 5; ++j)
      for (int i = -5; i <= 5; ++i) values.push_back(image.At(200 + i, 100 + j));
    double mean = 0, squares = 0;
    for (double v : values) mean += v / 121;
    for (double v : values) squares += (v - mean) * (v - mean);
    for (double& v : values) v = sign * (v - mean) / std::sqrt(squares);
    return values;
  }
};

TEST_F(NoisyView, TheCorrelationComparesThePatchWithTheReference) {
  const SearchSettings set;
  const std::vector<double> same = Reference(1);
  std::vector<double> values;
  EXPECT_NEAR(Correlation(image, grid, layout, same, {0, 0}, set, &values), 1, 1e-6);
  EXPECT_NEAR(Correlation(image, grid, layout, Reference(-1), {0, 0}, set), -1, 1e-6);
  EXPECT_LT(Correlation(image, grid, layout, same, {3, 0}, set), 0.5);
  EXPECT_LT(Correlation(image, grid, layout, same, {0, -3}, set), 0.5);
  ASSERT_EQ(values.size(), 121u);
  EXPECT_EQ(values[0], image.At(195, 95));
  EXPECT_EQ(values[120], image.At(205, 105));
  // Beyond the picture's rows: no picture to compare.
  EXPECT_TRUE(std::isnan(Correlation(image, grid, layout, same, {0, -100}, set)));
}

// Noise has few neighbours alike and counts almost whole; smoothed, about a quarter of it; a
// ramp, a few values.
TEST_F(NoisyView, SmoothPatchesCountFewIndependentValues) {
  const std::vector<double> smoothed = Reference(1);
  std::vector<double> noise, ramp;
  for (int j = -5; j <= 5; ++j)
    for (int i = -5; i <= 5; ++i) {
      noise.push_back(Noise(200 + i, 100 + j));
      ramp.push_back(i + 0.5 * j);
    }
  EXPECT_GT(Independent(noise, noise, 11), 121 / 2.0);
  EXPECT_LT(Independent(smoothed, smoothed, 11), 121 / 3.0);
  EXPECT_GT(Independent(smoothed, smoothed, 11), 121 / 6.0);
  EXPECT_LT(Independent(ramp, ramp, 11), 121 / 10.0);
}

// The bound lies two standard deviations of Fisher's z, 1 / sqrt(n - 3), below the correlation's z.
TEST(Correlation, TheBoundFallsWithFewerValues) {
  EXPECT_DOUBLE_EQ(Sure(0.8, 103), std::atanh(0.8) - 0.2);
  EXPECT_DOUBLE_EQ(Sure(1, 7), Fisher(0.999) - 1);
  EXPECT_DOUBLE_EQ(Sure(-0.5, 2), -std::atanh(0.5) - 2);  // never fewer than one
}

TEST(Correlation, TheParabolaPeaksBetweenTheSteps) {
  const struct {
    double a, b, d, reach;
    std::optional<double> peak;
  } cases[] = {{0, 1, 0, 1, 0},
               {0.5, 1, 0, 1, -1.0 / 6},
               {0, 1, 1.9, 0.5, 0.5},
               {0, 1, 1.9, 1, 1},
               {1, 1, 1, 1, std::nullopt},
               {0, -1, 0, 1, std::nullopt},
               {std::nan(""), 1, 0, 1, std::nullopt}};
  for (const auto& c : cases) {
    const std::optional<double> peak = ParabolaPeak(c.a, c.b, c.d, c.reach);
    EXPECT_EQ(peak.value_or(-9), c.peak.value_or(-9)) << c.a << " " << c.b << " " << c.d;
  }
}

}  // namespace
