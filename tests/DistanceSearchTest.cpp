#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "geometry/DistanceSearch.h"
#include "geometry/Mapping.h"
#include "tests/WallScene.h"

namespace {

using namespace wall;

constexpr int kTop = 1600, kRows = 700;  // the rows around the horizon
const Station kStations[3] = {{kGrounds[0], 17}, {kGrounds[1], 131}, {kGrounds[2], 250}};

struct Search : ::testing::Test {
  SolverState s = Survey(kStations);
  std::vector<std::uint32_t> pictures[3];

  DistanceMatch Run(const Texture& wall) {
    std::array<PanoPixels, 3> panos;
    for (int i = 0; i < 3; ++i) {
      pictures[i] = Render(kStations[i], wall, PanoWidth, kTop, kRows);
      panos[i] = {pictures[i].data(), PanoWidth, kRows, PanoWidth, 0, kTop};
    }
    return SearchDistance(s, panos);
  }
};

TEST_F(Search, FindsTheDistanceOfATexturedWall) {
  const DistanceMatch m = Run(Blotches);
  ASSERT_TRUE(m.found) << m.score1 << " " << m.score2 << " " << m.runnerUp;
  // The aimed pixel's centre lies up to half a pixel (9 mm at 20 m) beside the wall point; the
  // distance along that line is what counts.
  EXPECT_NEAR(static_cast<double>(m.distance), AimedDistance(), 0.03);
  EXPECT_GT(m.score1, 0.9);
  EXPECT_GT(m.score2, 0.9);
  EXPECT_GT(m.samples, 1000u);
}

TEST_F(Search, AFlatWallGivesNoDistance) {
  EXPECT_FALSE(Run([](double, double) { return 120; }).found);
}

TEST_F(Search, ARepeatingPatternIsAmbiguous) {
  // Upright bars every 20 cm: the patch fits at every bar along the line.
  const DistanceMatch m = Run([](double x, double) {
    return static_cast<int>(128 + 100 * std::sin(2 * 3.14159265358979323846 * x / 0.2));
  });
  EXPECT_FALSE(m.found) << m.score1 << " " << m.score2 << " " << m.runnerUp;
}

TEST_F(Search, WithoutPicturesNothingIsFound) {
  std::array<PanoPixels, 3> none{};
  EXPECT_FALSE(SearchDistance(s, none).found);
}

}  // namespace
