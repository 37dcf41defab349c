#include <gtest/gtest.h>

#include <algorithm>
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

// A wall that P0 sees head-on and P1 and P2 at 67 and 59 degrees from either side: P1 sees it
// squeezed and sheared one way, P2 the other.
TEST(WarpedSearch, FindsAnObliqueWallWhereSquarePatchesFail) {
  const Vec grounds[3] = {{0, 0, 0}, {13, 5, 0}, {-11, 7, 0}};
  const Station stations[3] = {{grounds[0], 40}, {grounds[1], 200}, {grounds[2], 310}};
  const Vec aimed{2, 12, 1.2}, normal{-0.164, -0.986, 0};  // the wall's face, towards P0
  constexpr int kTop = 1900, kRows = 360;
  std::vector<std::uint32_t> pictures[3];
  std::array<PanoPixels, 3> panos;
  for (int i = 0; i < 3; ++i) {
    pictures[i].resize(std::size_t{PanoWidth} * kRows);
    const Vec eye = stations[i].Nodal();
    for (int row = 0; row < kRows; ++row) {
      const double vert = Rad(static_cast<double>(PixelToVert(kTop + row)));
      for (int column = 0; column < PanoWidth; ++column) {
        const double bearing = Rad(static_cast<double>(PixelToHor(column)) + stations[i].zero);
        const Vec d{std::sin(bearing) * std::cos(vert), std::cos(bearing) * std::cos(vert),
                    std::sin(vert)};
        const double facing = d.x * normal.x + d.y * normal.y;
        int grey = 200;
        if (facing < -1e-9) {
          const double t = ((aimed.x - eye.x) * normal.x + (aimed.y - eye.y) * normal.y) / facing;
          // Along the wall (to the right of its face) and up.
          const double x = eye.x + t * d.x, y = eye.y + t * d.y, z = eye.z + t * d.z;
          const double along = (x - aimed.x) * -normal.y + (y - aimed.y) * normal.x;
          if (std::fabs(along) < 8 && z > 0 && z < 6) grey = Blotches(3 * along, 3 * z);
        }
        const auto g = static_cast<std::uint32_t>(std::clamp(grey, 0, 255));
        pictures[i][std::size_t(row) * PanoWidth + std::size_t(column)] =
            0xff000000u | g << 16 | g << 8 | g;
      }
    }
    panos[i] = {pictures[i].data(), PanoWidth, kRows, PanoWidth, 0, kTop};
  }
  SolverState s;
  s.NodalHeight = kNodal;
  double hor, vert;
  for (int k = 1; k <= 2; ++k) {
    Angles(stations[0], grounds[k], hor, vert);
    (k == 1 ? s.P0zu1Hor : s.P0zu2Hor) = hor;
    (k == 1 ? s.P0zu1Vert : s.P0zu2Vert) = vert;
    (k == 1 ? s.DistP0P1 : s.DistP0P2) = std::hypot(grounds[k].x, grounds[k].y);
    Angles(stations[k], grounds[0], hor, vert);
    (k == 1 ? s.P1zu0Hor : s.P2zu0Hor) = hor;
    (k == 1 ? s.P1zu0Vert : s.P2zu0Vert) = vert;
  }
  Angles(stations[0], aimed, hor, vert);
  s.CurHor = PixelToHor(HorToPixel(hor));
  s.CurVert = PixelToVert(VertToPixel(vert));
  // Where the aimed pixel's sight line meets the wall.
  const double h = Rad(static_cast<double>(s.CurHor) + stations[0].zero);
  const double v = Rad(static_cast<double>(s.CurVert));
  const Vec r{std::sin(h) * std::cos(v), std::cos(h) * std::cos(v), std::sin(v)};
  const double truth =
      (aimed.x * normal.x + aimed.y * normal.y) / (r.x * normal.x + r.y * normal.y);

  const DistanceMatch warped = SearchDistance(s, panos);
  ASSERT_TRUE(warped.found) << warped.score1 << " " << warped.score2 << " " << warped.runnerUp;
  EXPECT_NEAR(static_cast<double>(warped.distance), truth, 0.02);
  SearchSettings square;
  square.warp = false;
  const DistanceMatch unwarped = SearchDistance(s, panos, square);
  EXPECT_FALSE(unwarped.found && std::fabs(static_cast<double>(unwarped.distance) - truth) < 0.02)
      << unwarped.score1 << " " << unwarped.score2;
}

TEST_F(Search, WithoutPicturesNothingIsFound) {
  std::array<PanoPixels, 3> none{};
  EXPECT_FALSE(SearchDistance(s, none).found);
}

}  // namespace
