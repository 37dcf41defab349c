#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "geometry/Coordinates.h"
#include "geometry/Firmness.h"
#include "geometry/Mapping.h"
#include "tests/ClassicPanorama.h"
#include "tests/Surveys.h"

namespace {

// The same place worked out another way: the sight line turned out of the Y axis, first up by
// the vertical angle, then clockwise (seen from above) by the horizontal one.
LocalPosition Turned(Real hor, Real vert, Real dist, Real nodalHeight) {
  const Real up = vert * DegToRad, turn = hor * DegToRad;
  const Real y = dist * std::cos(up), z = dist * std::sin(up);
  return {y * std::sin(turn), y * std::cos(turn), nodalHeight + z};
}

TEST(Coordinates, AgreeWithTheSightLineTurnedIntoPlace) {
  // The axes: zero degrees is +Y, a quarter turn clockwise +X, straight up +Z.
  const struct {
    Real hor, vert, x, y, z;
  } axes[] = {{0, 0, 0, 10, 1.6L},    {360, 0, 0, 10, 1.6L},  {90, 0, 10, 0, 1.6L},
              {180, 0, 0, -10, 1.6L}, {270, 0, -10, 0, 1.6L}, {45, 90, 0, 0, 11.6L}};
  for (const auto& a : axes) {
    const LocalPosition p = PositionOf(a.hor, a.vert, 10, 1.6L);
    EXPECT_NEAR(p.X, a.x, 1e-15L) << a.hor << " " << a.vert;
    EXPECT_NEAR(p.Y, a.y, 1e-15L) << a.hor << " " << a.vert;
    EXPECT_NEAR(p.Z, a.z, 1e-15L) << a.hor << " " << a.vert;
  }
  std::mt19937 random(7);
  std::uniform_real_distribution<double> hor(0, 360), vert(-45, 90), dist(1, 55000);
  for (int i = 0; i < 10000; ++i) {
    const double h = hor(random), v = vert(random), d = dist(random);
    const LocalPosition got = PositionOf(h, v, d, 1.6L), want = Turned(h, v, d, 1.6L);
    ASSERT_NEAR(got.X, want.X, 1e-9L) << h << " " << v << " " << d;
    ASSERT_NEAR(got.Y, want.Y, 1e-9L) << h << " " << v << " " << d;
    ASSERT_NEAR(got.Z, want.Z, 1e-9L) << h << " " << v << " " << d;
  }
}

// The distance a station's guide line moves one pixel over, found by halving: half the way from
// where it stands one pixel further in to where it stands one pixel further out, so that the
// line's bend over the pixel cancels.
Real OnePixelStep(SolverState s, int station) {
  const auto column = [&](Real dist) {
    s.CurDist = dist;
    SolvePoint(s);
    return ShiftedHor(station == 1 ? s.P1Hor : s.P2Hor) * PixPerDeg;
  };
  const Real from = s.CurDist, start = column(from);
  const auto step = [&](Real sign) {
    Real low = 0, high = from / 2;  // far enough for one pixel at every point below
    for (int i = 0; i < 200; ++i) {
      const Real mid = (low + high) / 2;
      (std::fabs(column(from + sign * mid) - start) < 1 ? low : high) = mid;
    }
    return low;
  };
  return (step(1) + step(-1)) / 2;
}

TEST(Coordinates, StrengthIsTheDistanceOnePixelOfGuideLineMeans) {
  const struct {
    Real hor, vert, dist;
  } points[] = {{45, -2, 12}, {30, 5, 40}, {200, -4, 8}, {135, 0, 150}, {300, 10, 25}};
  for (const auto& p : points) {
    SolverState s = LevelSurvey();
    s.CurHor = p.hor;
    s.CurVert = p.vert;
    s.CurDist = p.dist;
    const GuideStrength strength = StrengthOf(s, {});
    ASSERT_TRUE(strength.P1 && strength.P2) << p.hor;
    EXPECT_NEAR(*strength.P1 / 100, OnePixelStep(s, 1), OnePixelStep(s, 1) * 1e-3L) << p.hor;
    EXPECT_NEAR(*strength.P2 / 100, OnePixelStep(s, 2), OnePixelStep(s, 2) * 1e-3L) << p.hor;
    EXPECT_EQ(*strength.Best(), std::min(*strength.P1, *strength.P2));
  }
}

TEST(Coordinates, StrengthOfAGuideLineOnTheSeamIsThatOfTheSameLineAwayFromIt) {
  SolverState s = LevelSurvey();
  s.CurHor = 45;
  s.CurVert = -2;
  s.CurDist = 12;
  const GuideStrength away = StrengthOf(s, {});
  // Each survey panorama turned so that it shows the point at 180 degrees, between its last
  // column and column 0: a step nearer and a step further stand on either side of the seam.
  SolverState seam = s;
  SolvePoint(seam);
  seam.P1zu0Hor += 180 - seam.P1Hor;
  seam.P2zu0Hor += 180 - seam.P2Hor;
  const GuideStrength across = StrengthOf(seam, {});
  ASSERT_TRUE(away.P1 && away.P2 && across.P1 && across.P2);
  EXPECT_NEAR(*across.P1, *away.P1, *away.P1 * 1e-6L);
  EXPECT_NEAR(*across.P2, *away.P2, *away.P2 * 1e-6L);
}

TEST(Coordinates, StrengthAndFirmnessCountEachPanoramasOwnPixels) {
  SolverState s = LevelSurvey();
  s.CurHor = 45;
  s.CurVert = -2;
  s.CurDist = 12;
  // Pictures half as fine as the classic one: a pixel is twice the angle, and so twice the
  // distance and twice the deviation.
  const PanoShapes half = {Panorama(4080, 2040), Panorama(4080, 2040), Panorama(4080, 2040)};
  const GuideStrength classic = StrengthOf(s, {}), coarse = StrengthOf(s, half);
  EXPECT_NEAR(*coarse.P1, 2 * *classic.P1, *classic.P1 * 1e-6L);
  EXPECT_NEAR(*coarse.P2, 2 * *classic.P2, *classic.P2 * 1e-6L);
  const Firmness fine = FirmnessOf(s, {}), rough = FirmnessOf(s, half);
  EXPECT_NEAR(*rough.AcrossCm, 2 * *fine.AcrossCm, *fine.AcrossCm * 1e-6L);
  EXPECT_NEAR(*rough.AlongCm, 2 * *fine.AlongCm, *fine.AlongCm * 1e-6L);
}

TEST(Coordinates, APointInLineWithTheStationsOrTooFarIsWeak) {
  SolverState s = LevelSurvey();
  const auto at = [&](Real hor, Real dist) {
    s.CurHor = hor;
    s.CurVert = 0;
    s.CurDist = dist;
    return StrengthOf(s, {});
  };
  EXPECT_FALSE(at(45, 12).Weak(12));
  // Straight towards P1: its line stands still, and P2 alone must fix the distance.
  const GuideStrength behindP1 = at(0, 30);
  EXPECT_FALSE(behindP1.P1);
  EXPECT_EQ(behindP1.Best(), behindP1.P2);
  // Far beyond the baseline of 10 m, a pixel is metres.
  EXPECT_TRUE(at(45, 5000).Weak(5000));
  EXPECT_TRUE(GuideStrength{}.Weak(10));
}

}  // namespace
