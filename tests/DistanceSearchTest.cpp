#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "geometry/Mapping.h"
#include "geometry/search/DistanceSearch.h"
#include "tests/ClassicPanorama.h"
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
      panos[i] = {pictures[i].data(), PanoWidth, kRows, PanoWidth, 0, kTop, Panorama()};
    }
    return SearchDistance(s, panos);
  }
};

TEST_F(Search, FindsTheDistanceOfATexturedWall) {
  const DistanceMatch m = Run(Blotches);
  ASSERT_TRUE(m.found) << m.score1 << " " << m.score2 << " " << m.runnerUp;
  EXPECT_EQ(m.refusal, Refusal::None);
  // The aimed pixel's centre lies up to half a pixel (9 mm at 20 m) beside the wall point; the
  // distance along that line is what counts.
  EXPECT_NEAR(static_cast<double>(m.distance), AimedDistance(), 0.03);
  EXPECT_GT(m.score1, 0.9);
  EXPECT_GT(m.score2, 0.9);
  EXPECT_GT(m.samples, 1000u);
}

// A frame that takes P2's level camera for one rolled by a tenth of a degree runs P2's line
// pixels beside what its picture shows: the search must not answer there, and says why; so it
// does where a third of a degree puts the line too far off for anything along it to match.
TEST_F(Search, AFrameThatDoesNotFitThePicturesGivesNoDistance) {
  for (const Real roll : {Real{0.1}, Real{-0.1}, Real{0.33}}) {
    s.PanoTilt[2].Roll = roll;
    const DistanceMatch m = Run(Blotches);
    EXPECT_FALSE(m.found) << roll << ": " << m.distance << " m, true " << AimedDistance();
    EXPECT_EQ(m.refusal, Refusal::FrameOff) << roll;
  }
  s.PanoTilt[2].Roll = 1e-9L;  // the frame's sums, on a frame that fits
  EXPECT_TRUE(Run(Blotches).found);
}

TEST_F(Search, AFlatWallGivesNoDistance) {
  const DistanceMatch m = Run([](double, double) { return 120; });
  EXPECT_FALSE(m.found);
  EXPECT_EQ(m.refusal, Refusal::Plain);
}

TEST_F(Search, ARepeatingPatternIsAmbiguous) {
  // Upright bars every 20 cm: the patch fits at every bar along the line.
  const DistanceMatch m = Run([](double x, double) {
    return static_cast<int>(128 + 100 * std::sin(2 * 3.14159265358979323846 * x / 0.2));
  });
  EXPECT_FALSE(m.found) << m.score1 << " " << m.score2 << " " << m.runnerUp;
  EXPECT_EQ(m.refusal, Refusal::Ambiguous);
}

// Upright stripes 10 cm apart over faint blotches a metre across: on the 15 x 15 patch the stripes
// fit at many places along the line, and only the largest patch, tried once more, holds enough of
// the blotches to tell the right one. Laid on planes every 30 degrees, the wall 8.5 degrees from
// facing P0 smeared its stripes in the oblique views, and a place 12 m too far was answered.
TEST_F(Search, StripesOverBlotchesAreFoundByTheLargestPatch) {
  const DistanceMatch m = Run([](double x, double z) {
    return static_cast<int>(128 + 80 * std::sin(2 * 3.14159265358979323846 * x / 0.1) +
                            0.7 * (Blotches(0.5 * x, 0.5 * z) - 128));
  });
  ASSERT_TRUE(m.found) << m.distance << " " << m.score1 << " " << m.score2 << " " << m.runnerUp;
  EXPECT_NEAR(static_cast<double>(m.distance), AimedDistance(), 0.01);
}

// P2 sees the wall through a second picture of about the same strength laid over it (a reflection
// in a window): its best correlation stays near 0.7, and such a view vouches for nothing, by the
// weighed floor, and by its own where the weighed one is out of the way.
TEST_F(Search, AViewThatMatchesOnlyHalfGivesNoDistance) {
  SearchSettings perView;
  perView.minCombined = -0.9;
  for (const auto& [over, settings] :
       {std::pair{0.61, SearchSettings{}}, std::pair{0.62, perView}}) {
    std::array<PanoPixels, 3> panos;
    for (int i = 0; i < 3; ++i) {
      const double w = i == 2 ? over : 0;
      pictures[i] = Render(
          kStations[i],
          [w](double x, double z) {
            return static_cast<int>((1 - w) * Blotches(x, z) +
                                    w * Blotches(1.7 * x + 13, 1.3 * z + 5));
          },
          PanoWidth, kTop, kRows);
      panos[i] = {pictures[i].data(), PanoWidth, kRows, PanoWidth, 0, kTop, Panorama()};
    }
    const DistanceMatch m = SearchDistance(s, panos, settings);
    EXPECT_FALSE(m.found) << over << ": " << m.distance << " " << AimedDistance() << " " << m.score1
                          << " " << m.score2 << " " << m.combined;
    EXPECT_EQ(m.refusal, Refusal::NoMatch);
  }
}

// Panoramas of a survey whose grey values `shade` gives for a station's nodal point and a unit
// direction, the rows top .. top + rows - 1; and the survey's geometry with the aim at the pixel
// of P0 that shows `aimed`. Only what a search can read is drawn, the rest left plain: P0 around
// the aim, and each survey panorama along its view of the aimed sight line from 1 m to far away,
// with room for the largest patches.
struct Survey3 {
  std::vector<std::uint32_t> pictures[3];
  std::array<PanoPixels, 3> panos;
  SolverState s;
  Vec ray;  // the aimed pixel's sight line from P0's nodal point, in the world's frame

  Survey3(const Station (&stations)[3], const Vec& aimed, int top, int rows,
          const std::function<int(const Vec&, const Vec&)>& shade) {
    double hor, vert;
    Angles(stations[0], aimed, hor, vert);
    s.CurHor = PixelToHor(HorToPixel(hor));
    s.CurVert = PixelToVert(VertToPixel(vert));
    const double h = Rad(static_cast<double>(s.CurHor) + stations[0].zero);
    const double v = Rad(static_cast<double>(s.CurVert));
    ray = {std::sin(h) * std::cos(v), std::cos(h) * std::cos(v), std::sin(v)};
    const Vec eye = stations[0].Nodal();
    // A 31-sample patch spans up to 480 pixels of P0, and 120 of a survey view.
    constexpr int kAround = 400, kAlong = 96;
    for (int row = top; row < top + rows; ++row) {
      const double elevation = Rad(static_cast<double>(PixelToVert(row)));
      across_.push_back(std::cos(elevation));
      up_.push_back(std::sin(elevation));
    }
    for (int i = 0; i < 3; ++i) {
      // The rows to draw in each column.
      std::vector<int> low(PanoWidth, top + rows), high(PanoWidth, top - 1);
      auto mark = [&](int column, int row, int reach) {
        for (int c = column - reach; c <= column + reach; ++c) {
          const std::size_t k = std::size_t((c % PanoWidth + PanoWidth) % PanoWidth);
          low[k] = std::min(low[k], row - reach);
          high[k] = std::max(high[k], row + reach);
        }
      };
      if (i == 0) mark(HorToPixel(s.CurHor), VertToPixel(s.CurVert), kAround);
      for (double d = 1; i > 0 && d < 1e5; d *= 1.01) {
        Angles(stations[i], {eye.x + d * ray.x, eye.y + d * ray.y, eye.z + d * ray.z}, hor, vert);
        mark(HorToPixel(hor), VertToPixel(vert), kAlong);
      }
      pictures[i].assign(std::size_t{PanoWidth} * std::size_t(rows), 0xffc8c8c8u);
      for (int column = 0; column < PanoWidth; ++column) {
        const double bearing = Rad(static_cast<double>(PixelToHor(column)) + stations[i].zero);
        const double east = std::sin(bearing), north = std::cos(bearing);
        const std::size_t k = std::size_t(column);
        for (int row = std::max(low[k], top); row <= std::min(high[k], top + rows - 1); ++row) {
          const double across = across_[std::size_t(row - top)], up = up_[std::size_t(row - top)];
          const Vec d{east * across, north * across, up};
          const auto g =
              static_cast<std::uint32_t>(std::clamp(shade(stations[i].Nodal(), d), 0, 255));
          pictures[i][std::size_t(row - top) * PanoWidth + k] = 0xff000000u | g << 16 | g << 8 | g;
        }
      }
      panos[i] = {pictures[i].data(), PanoWidth, rows, PanoWidth, 0, top, Panorama()};
    }
    s.NodalHeight = kNodal;
    for (int k = 1; k <= 2; ++k) {
      const Vec ground = stations[k].ground;
      Angles(stations[0], ground, hor, vert);
      (k == 1 ? s.P0zu1Hor : s.P0zu2Hor) = hor;
      (k == 1 ? s.P0zu1Vert : s.P0zu2Vert) = vert;
      (k == 1 ? s.DistP0P1 : s.DistP0P2) =
          std::hypot(ground.x - stations[0].ground.x, ground.y - stations[0].ground.y,
                     ground.z - stations[0].ground.z);
      Angles(stations[k], stations[0].ground, hor, vert);
      (k == 1 ? s.P1zu0Hor : s.P2zu0Hor) = hor;
      (k == 1 ? s.P1zu0Vert : s.P2zu0Vert) = vert;
    }
  }

 private:
  std::vector<double> across_, up_;  // each row's cosine and sine of its elevation
};

// Where the sight line from `eye` along `d` meets the upright wall through `aimed` whose face
// points along `normal` (level): how far along the wall from the aimed point (to the right of its
// face), how high, and how far from the eye; false where the line sees the wall's back or misses.
struct WallHit {
  double along = 0, z = 0, t = 0, facing = 0;
};
bool HitWall(const Vec& aimed, const Vec& normal, const Vec& eye, const Vec& d, WallHit& hit) {
  hit.facing = d.x * normal.x + d.y * normal.y;
  if (hit.facing > -1e-9) return false;
  hit.t = ((aimed.x - eye.x) * normal.x + (aimed.y - eye.y) * normal.y) / hit.facing;
  const double x = eye.x + hit.t * d.x, y = eye.y + hit.t * d.y;
  hit.z = eye.z + hit.t * d.z;
  hit.along = (x - aimed.x) * -normal.y + (y - aimed.y) * normal.x;
  return true;
}

// A wall that P0 sees head-on and P1 and P2 at 67 and 59 degrees from either side: P1 sees it
// squeezed and sheared one way, P2 the other.
TEST(WarpedSearch, FindsAnObliqueWallWhereSquarePatchesFail) {
  const Vec grounds[3] = {{0, 0, 0}, {13, 5, 0}, {-11, 7, 0}};
  const Station stations[3] = {{grounds[0], 40}, {grounds[1], 200}, {grounds[2], 310}};
  const Vec aimed{2, 12, 1.2}, normal{-0.164, -0.986, 0};  // the wall's face, towards P0
  const Survey3 survey(stations, aimed, 1900, 360, [&](const Vec& eye, const Vec& d) {
    WallHit w;
    if (!HitWall(aimed, normal, eye, d, w)) return 200;
    return std::fabs(w.along) < 8 && w.z > 0 && w.z < 6 ? Blotches(3 * w.along, 3 * w.z) : 200;
  });
  // Where the aimed pixel's sight line meets the wall.
  const Vec& r = survey.ray;
  const double truth =
      (aimed.x * normal.x + aimed.y * normal.y) / (r.x * normal.x + r.y * normal.y);

  const DistanceMatch warped = SearchDistance(survey.s, survey.panos);
  ASSERT_TRUE(warped.found) << warped.score1 << " " << warped.score2 << " " << warped.runnerUp;
  EXPECT_NEAR(static_cast<double>(warped.distance), truth, 0.02);
  SearchSettings square;
  square.warp = false;
  const DistanceMatch unwarped = SearchDistance(survey.s, survey.panos, square);
  EXPECT_FALSE(unwarped.found && std::fabs(static_cast<double>(unwarped.distance) - truth) < 0.02)
      << unwarped.score1 << " " << unwarped.score2;
}

// A wall turned 7 degrees from the nearest plane tried, with slanting streaks: laid on the wrong
// plane, the streaks fit best a little beside the true place.
TEST(WarpedSearch, TurnsThePlaneToTheWall) {
  const Vec grounds[3] = {{0, 0, 0}, {13, 5, 0}, {-11, 7, 0}};
  const Station stations[3] = {{grounds[0], 40}, {grounds[1], 200}, {grounds[2], 310}};
  const double turn = Rad(7);
  const Vec aimed{2, 12, 1.2};
  const Vec normal{-0.164 * std::cos(turn) + 0.986 * std::sin(turn),
                   -0.986 * std::cos(turn) - 0.164 * std::sin(turn), 0};
  const Survey3 survey(stations, aimed, 1900, 360, [&](const Vec& eye, const Vec& d) {
    WallHit w;
    if (!HitWall(aimed, normal, eye, d, w) || std::fabs(w.along) > 8 || w.z < 0 || w.z > 6)
      return 200;
    // Streaks five times as long as wide, slanting at 30 degrees.
    return Blotches(2 * (0.87 * w.along + 0.5 * w.z), 0.4 * (0.87 * w.z - 0.5 * w.along));
  });
  const Vec& r = survey.ray;
  const double truth =
      (aimed.x * normal.x + aimed.y * normal.y) / (r.x * normal.x + r.y * normal.y);
  const DistanceMatch m = SearchDistance(survey.s, survey.panos);
  ASSERT_TRUE(m.found) << m.distance << " " << m.score1 << " " << m.score2 << " " << m.runnerUp;
  EXPECT_NEAR(static_cast<double>(m.distance), truth, 0.005) << truth;
}

// Ground rising slopeX metres a metre east and slopeY north, covered with blotches of 20 cm down
// to 2.5 cm, each octave left out where a pixel spans its blotches on the ground, as a camera
// averages them away.
struct Ground {
  double slopeX = 0, slopeY = 0;
  double Height(double x, double y) const { return slopeX * x + slopeY * y; }
  // How far along the unit direction d from `eye` the ground lies; 0 where it is not seen.
  double Along(const Vec& eye, const Vec& d) const {
    const double towards = d.z - slopeX * d.x - slopeY * d.y;
    return towards < -1e-9 ? (Height(eye.x, eye.y) - eye.z) / towards : 0;
  }
  int Shade(const Vec& eye, const Vec& d) const {
    const double t = Along(eye, d);
    const double x = eye.x + t * d.x, y = eye.y + t * d.y;
    if (t <= 0 || std::hypot(x, y) > 40) return 200;
    const double flat =
        -(d.z - slopeX * d.x - slopeY * d.y) / std::sqrt(1 + slopeX * slopeX + slopeY * slopeY);
    const double footprint = t * Rad(3.0 / 68) / std::max(flat, 0.02);
    double v = 128;
    for (int k = 0; k < 4; ++k) {
      const double size = 0.2 / (1 << k), keep = std::clamp(2 - footprint / size, 0.0, 1.0);
      if (keep > 0) v += 0.5 * keep * (Blotches(x * 0.1 / size + 7 * k, y * 0.1 / size) - 128);
    }
    return static_cast<int>(v);
  }
  // The ground of the survey stations at these points, each camera kNodal above it.
  Station At(double x, double y, double zero) const { return {{x, y, Height(x, y)}, zero}; }
};

// The search on ground aimed at where (x, y) lies, against the true distance; `measured` puts
// errors into the station geometry as measured.
void ExpectGroundFound(const Ground& ground, const Station (&stations)[3], double x, double y,
                       const std::function<void(SolverState&)>& measured = {}) {
  const Survey3 survey(stations, {x, y, ground.Height(x, y)}, 1950, 600,
                       [&](const Vec& eye, const Vec& d) { return ground.Shade(eye, d); });
  const double truth = ground.Along(stations[0].Nodal(), survey.ray);
  SolverState s = survey.s;
  if (measured) measured(s);
  const DistanceMatch m = SearchDistance(s, survey.panos);
  ASSERT_TRUE(m.found) << m.distance << " " << m.score1 << " " << m.score2 << " " << m.runnerUp
                       << " " << truth;
  // A pixel in the stations 10 to 12 m away is about 1.5 cm along the sight line here.
  EXPECT_NEAR(static_cast<double>(m.distance), truth, 0.01);
}

// Level ground 5 m from P0, seen from survey stations 12 and 10 m away: they see the patch P0
// aims at a third as wide and, looking at it much flatter, a ninth as tall.
TEST(WarpedSearch, FindsLevelGroundNearP0FromDistantStations) {
  const Station stations[3] = {{kGrounds[0], 17}, {kGrounds[1], 131}, {kGrounds[2], 250}};
  ExpectGroundFound(Ground{}, stations, 1.5, 4.8);
}

// Ground 10 m from P0, which P0 sees 9 degrees below the horizon.
TEST(WarpedSearch, FindsLevelGroundFarFromP0) {
  const Station stations[3] = {{kGrounds[0], 17}, {kGrounds[1], 131}, {kGrounds[2], 250}};
  ExpectGroundFound(Ground{}, stations, 2.5, 9.6);
}

// Ground falling 4 % to the east and rising 2 % to the north: laid level on the metres a patch
// spans there, it fits nowhere.
TEST(WarpedSearch, FindsSlopingGround) {
  const Ground ground{-0.04, 0.02};
  const Station stations[3] = {ground.At(0, 0, 17), ground.At(12, -2, 131), ground.At(-10, 3, 250)};
  ExpectGroundFound(ground, stations, 3, 5);
}

// Ground 5 m from P2 and 7 m from P0: P2 sees the patch P0 aims at squeezed one way and
// stretched the other.
TEST(WarpedSearch, FindsGroundNearASurveyStation) {
  const Station stations[3] = {{kGrounds[0], 17}, {kGrounds[1], 131}, {kGrounds[2], 250}};
  ExpectGroundFound(Ground{}, stations, -5.5, 4.5);
}

// P1's height measured half a pixel high puts the place beside the line it is sought along in
// P1, which sees the ground flattened to a few rows there: slid straight up or down instead of
// across the line, the patch fits as well a pixel or two along it.
TEST(WarpedSearch, SlidesAcrossTheLineOnly) {
  const Station stations[3] = {{{0, 0, 0}, 300}, {{-3.2, 12.4, 0}, 66.6}, {{13.1, -3, 0}, 171.2}};
  ExpectGroundFound(Ground{}, stations, 7, 1.5,
                    [](SolverState& s) { s.P0zu1Vert -= 0.5L * DegPerPix; });
}

// P1 sees a wall from 8 m almost head-on and matches it almost perfectly; P2 sees it from 19 m
// at 58 degrees and less well, and its measured turn is a pixel off, which shifts its match a
// pixel along the line. The place is where P1 puts it, not halfway to where P2 would.
TEST(WarpedSearch, TrustsTheViewThatMatchesBest) {
  const Vec grounds[3] = {{0, 0, 0}, {3, 4, 0}, {-14, 2, 0}};
  const Station stations[3] = {{grounds[0], 40}, {grounds[1], 200}, {grounds[2], 310}};
  const Vec aimed{2, 12, 1.2};
  const Survey3 survey(stations, aimed, 1900, 360, [&](const Vec& eye, const Vec& d) {
    if (d.y < 1e-9) return 200;
    const double t = (aimed.y - eye.y) / d.y;
    const double x = eye.x + t * d.x, z = eye.z + t * d.z;
    return std::fabs(x - aimed.x) < 8 && z > 0 && z < 6 ? Blotches(3 * x, 3 * z) : 200;
  });
  SolverState s = survey.s;
  s.P2zu0Hor -= DegPerPix;
  const DistanceMatch m = SearchDistance(s, survey.panos);
  ASSERT_TRUE(m.found) << m.distance << " " << m.score1 << " " << m.score2 << " " << m.runnerUp;
  // Half a pixel in P1 is 5 mm along the sight line here.
  EXPECT_NEAR(static_cast<double>(m.distance), aimed.y / survey.ray.y, 0.005);
}

// A board of upright bars 2 cm apart, 13 cm wide and 10 m from P0, before a blotched wall 30 m
// away: the smoothed bars are faint, and the patch grown for want of texture, mostly wall, fits
// the wall, which is not what is aimed at.
TEST(WarpedSearch, AGrownPatchAnswersOnlyWhereTheAimedPixelsAgree) {
  const Vec grounds[3] = {{0, 0, 0}, {13, 5, 0}, {-11, 7, 0}};
  const Station stations[3] = {{grounds[0], 40}, {grounds[1], 200}, {grounds[2], 310}};
  const Vec aimed{2, 10, 1.5};
  const Survey3 survey(stations, aimed, 1900, 360, [&](const Vec& eye, const Vec& d) {
    if (d.y < 1e-9) return 200;
    const double t = (aimed.y - eye.y) / d.y;
    const double x = eye.x + t * d.x, z = eye.z + t * d.z;
    if (std::fabs(x - aimed.x) < 0.065 && std::fabs(z - aimed.z) < 0.065)
      return static_cast<int>(128 + 100 * std::sin(2 * 3.14159265358979323846 * x / 0.02));
    const double wall = (30 - eye.y) / d.y;
    return Blotches(3 * (eye.x + wall * d.x), 3 * (eye.z + wall * d.z));
  });
  const DistanceMatch m = SearchDistance(survey.s, survey.panos);
  EXPECT_FALSE(m.found &&
               std::fabs(static_cast<double>(m.distance) - aimed.y / survey.ray.y) > 0.05)
      << m.distance << " " << m.score1 << " " << m.score2 << " " << m.runnerUp;
}

// Faint level streaks on a wall at eye height: P1, level with P0, sees the same streak along its
// line wherever the place, and only P2, standing 2 m higher, can fix it. The patch grows for want
// of texture; its aimed pixels must agree with the place in P2 alone, and P1's fitting as well a
// pixel or two along its streak is no sign of a frame off.
TEST(WarpedSearch, StreaksAlongOneViewsLineAreFixedByTheOther) {
  const Station stations[3] = {{{0, 0, 0}, 40}, {{13, 5, 0}, 200}, {{-11, 7, 2}, 310}};
  const Vec aimed{2, 12, kNodal};
  const Survey3 survey(stations, aimed, 1900, 360, [&](const Vec& eye, const Vec& d) {
    if (d.y < 1e-9) return 200;
    const double t = (aimed.y - eye.y) / d.y;
    const double x = eye.x + t * d.x, z = eye.z + t * d.z;
    return std::fabs(x - aimed.x) < 8 && z > 0 && z < 6 ? 128 + (Blotches(0.3, 3 * z) - 128) / 8
                                                        : 200;
  });
  const DistanceMatch m = SearchDistance(survey.s, survey.panos);
  ASSERT_TRUE(m.found) << int(m.refusal) << " " << m.score1 << " " << m.score2;
  EXPECT_NEAR(static_cast<double>(m.distance), aimed.y / survey.ray.y, 0.01);
}

// A night sky, brighter towards the horizon, and 15 pixels of P0 to the right of the aim the edge
// of a house 20 m away: the patch grown for want of texture fits the edge, and the aimed sky, a
// smooth ramp, fits a place along the line as well as any other. The sky has no distance to give.
TEST(WarpedSearch, ARampThatFitsEverywhereAlongTheLineGivesNoDistance) {
  const Vec grounds[3] = {{0, 0, 0}, {13, 5, 0}, {-11, 7, 0}};
  const Station stations[3] = {{grounds[0], 40}, {grounds[1], 200}, {grounds[2], 310}};
  const Vec aimed{2, 20, 2.5};
  const double edge = aimed.x + 15 * Rad(3.0 / 68) * aimed.y;
  const Survey3 survey(stations, aimed, 1700, 700, [&](const Vec& eye, const Vec& d) {
    if (d.y > 1e-9) {
      const double t = (aimed.y - eye.y) / d.y;
      const double x = eye.x + t * d.x, z = eye.z + t * d.z;
      if (x > edge && z > 0 && z < 8) return Blotches(3 * x, 3 * z);
    }
    return static_cast<int>(160 - 300 * d.z);
  });
  const DistanceMatch m = SearchDistance(survey.s, survey.panos);
  EXPECT_FALSE(m.found) << m.distance << " " << m.score1 << " " << m.score2;
  // Without asking the aimed pixels to fix the place, the edge's distance is given.
  SearchSettings unchecked;
  unchecked.minLocalDrop = -1;
  EXPECT_TRUE(SearchDistance(survey.s, survey.panos, unchecked).found);
}

// A blotched disc 60 m from P0, 10 of its pixels across, before a blotched wall 150 m away: the
// smallest patch reaches past the disc's outline and holds more wall than disc, and the wall is
// not what is aimed at. Nor is a patch larger than the one within the disc the judge of its lead.
TEST(WarpedSearch, ATargetSmallerThanThePatchIsFoundOnAPatchWithinIt) {
  const Vec grounds[3] = {{0, 0, 0}, {13, 5, 0}, {-11, 7, 0}};
  const Station stations[3] = {{grounds[0], 40}, {grounds[1], 200}, {grounds[2], 310}};
  const Vec aimed{2, 60, 3};
  const double radius = 5 * Rad(3.0 / 68) * aimed.y;
  const Survey3 survey(stations, aimed, 1900, 360, [&](const Vec& eye, const Vec& d) {
    if (d.y < 1e-9) return 200;
    const double t = (aimed.y - eye.y) / d.y;
    const double x = eye.x + t * d.x, z = eye.z + t * d.z;
    if (std::hypot(x - aimed.x, z - aimed.z) < radius) return Blotches(0.8 * x, 0.8 * z);
    const double wall = (150 - eye.y) / d.y;
    return Blotches(0.3 * (eye.x + wall * d.x), 0.3 * (eye.z + wall * d.z));
  });
  const double truth = aimed.y / survey.ray.y;
  const DistanceMatch m = SearchDistance(survey.s, survey.panos);
  ASSERT_TRUE(m.found) << m.distance << " " << m.score1 << " " << m.score2 << " " << m.runnerUp;
  EXPECT_NEAR(static_cast<double>(m.distance), truth, 0.01 * truth);
  EXPECT_EQ(m.half, SearchSettings{}.leastHalf);
  SearchSettings unshrunk;
  unshrunk.leastHalf = unshrunk.half;
  const DistanceMatch whole = SearchDistance(survey.s, survey.panos, unshrunk);
  EXPECT_FALSE(whole.found && std::fabs(static_cast<double>(whole.distance) - truth) < 0.01 * truth)
      << whole.distance << " " << whole.score1 << " " << whole.score2;
}

// A blotched wall 20 m north of P0, 4 m east of it at its end and 6 m tall, against a night sky
// brighter towards the horizon. P0 aimed a few pixels beside its top or east edge: in the sky the
// patch holds the wall and fits at its distance, which is not the sky's; on the wall, the wall's
// distance is right, the edge being the wall's.
TEST(WarpedSearch, BesideAnEdgeOnlyTheAimedSideAnswers) {
  const Station stations[3] = {{{0, 0, 0}, 40}, {{13, 5, 0}, 200}, {{-11, 7, 0}, 310}};
  const Vec eye = stations[0].Nodal();
  const struct {
    bool top;       // else the east edge
    double pixels;  // from the edge into the sky; below zero onto the wall
  } cases[] = {{true, 4},  {true, 8},  {true, 12},  {true, -4},  {true, -8},  {true, -12},
               {false, 4}, {false, 8}, {false, 12}, {false, -4}, {false, -8}, {false, -12}};
  for (const auto& c : cases) {
    double hor, vert;
    Angles(stations[0], c.top ? Vec{0, 20, 6} : Vec{4, 20, 3}, hor, vert);
    double column = double(Panorama().Column(hor)), row = double(Panorama().Row(vert));
    (c.top ? row : column) += (c.top ? -1 : 1) * c.pixels;
    const double h = Rad(double(PixelToHor(int(std::lround(column)))) + stations[0].zero);
    const double v = Rad(double(PixelToVert(int(std::lround(row)))));
    const Vec aimed{eye.x + std::sin(h) * std::cos(v), eye.y + std::cos(h) * std::cos(v),
                    eye.z + std::sin(v)};
    const Survey3 survey(stations, aimed, 1500, 800, [&](const Vec& from, const Vec& d) {
      const double t = d.y > 1e-9 ? (20 - from.y) / d.y : -1;
      const double x = from.x + t * d.x, z = from.z + t * d.z;
      return t > 0 && x > -8 && x < 4 && z > 0 && z < 6 ? Blotches(3 * x, 3 * z)
                                                        : static_cast<int>(160 - 300 * d.z);
    });
    const DistanceMatch m = SearchDistance(survey.s, survey.panos);
    const double wall = 20 / survey.ray.y;
    EXPECT_EQ(m.found, c.pixels < 0) << c.top << " " << c.pixels << ": " << m.distance << " m";
    if (m.found) {
      EXPECT_NEAR(double(m.distance), wall, 0.02) << c.top << " " << c.pixels;
    }
  }
}

// Blotches of 10 cm down to 6 mm on a board, each octave left out where the pixel of a view `t`
// metres away, which meets the board at `facing`, spans its blotches: as a camera averages them.
double FineBlotches(double along, double z, const WallHit& w) {
  const double footprint = w.t * Rad(3.0 / 68) / -w.facing;
  double v = 128;
  for (int k = 0; k < 5; ++k) {
    const double size = 0.1 / (1 << k), keep = std::clamp(2 - footprint / size, 0.0, 1.0);
    v += 0.45 * keep * (Blotches(along * 0.1 / size + 7 * k, z * 0.1 / size) - 128);
  }
  return v;
}

// A board 8 m from P0 that P0 sees at `angle` degrees from square-on, P2 square-on from 4 m and
// P1 from 27 m behind P0, almost along P0's sight line: P1 barely moves with the distance, and
// P2 sees each pixel of P0 as several of its own, with blotches down to 6 mm that P0 averages
// away. `thin` lays a second picture over P2's (a reflection), `thin` of its strength.
DistanceMatch SearchGrazingBoard(double angle, double thin, double& truth,
                                 const SearchSettings& settings = {}) {
  const double a = Rad(angle);
  const Vec aimed{0.5, 8, 1.3}, normal{-std::sin(a), -std::cos(a), 0};
  const Vec p2{aimed.x + 4 * normal.x, aimed.y + 4 * normal.y, 0};
  const Station stations[3] = {{{0, 0, 0}, 77}, {{1, -19, 0}, 190}, {p2, 300}};
  const Survey3 survey(stations, aimed, 1900, 360, [&](const Vec& eye, const Vec& d) {
    WallHit w;
    if (!HitWall(aimed, normal, eye, d, w) || std::fabs(w.along) > 1.2 || w.z < 0 || w.z > 2.5)
      return 200;
    double v = FineBlotches(w.along, w.z, w);
    if (eye.y > 1) v = (1 - thin) * v + thin * Blotches(7 * w.along + 3, 5 * w.z);
    return static_cast<int>(v);
  });
  const Vec& r = survey.ray;
  truth = (aimed.x * normal.x + aimed.y * normal.y) / (r.x * normal.x + r.y * normal.y);
  return SearchDistance(survey.s, survey.panos, settings);
}

TEST(WarpedSearch, FindsABoardSeenAlmostEdgeOnWhereAViewSeesItLarger) {
  double truth = 0;
  for (const double angle : {64.0, 71.0}) {
    const DistanceMatch m = SearchGrazingBoard(angle, 0, truth);
    ASSERT_TRUE(m.found) << angle << ": " << m.distance << " " << m.score1 << " " << m.score2;
    // P2 moves 3 pixels a centimetre here.
    EXPECT_NEAR(static_cast<double>(m.distance), truth, 0.004) << angle;
  }
  // With a reflection over P2 the one view that fixes the distance matches at about 0.72: enough
  // where another view would check it, not alone.
  const DistanceMatch thin = SearchGrazingBoard(71, 0.45, truth);
  EXPECT_EQ(thin.refusal, Refusal::OneView)
      << thin.distance << " " << thin.score1 << " " << thin.score2 << " " << truth;
}

// A board like that one, turned 45 degrees from P0, with its motif printed twice: the second print
// lies where P2 looks through the point 50 cm before the board on the aimed sight line, and it is
// the 14 cm around the aimed point as P2 would see them from there. P2 sees the aimed print
// through a glare 6 cm across; P1 stands in line with P0 and the board and cannot tell the prints
// apart. The 15 x 15 patch fits the second print better than the glared first; a larger patch
// holds what lies around each, and only the first fits that.
TEST(WarpedSearch, AnAnswerKeepsItsLeadOnAPatchOfAnotherSize) {
  const double a = Rad(45);
  const Vec aimed{0.5, 8, 1.3}, normal{-std::sin(a), -std::cos(a), 0};
  const Vec p2{aimed.x + 4 * normal.x, aimed.y + 4 * normal.y, 0};
  const Station stations[3] = {{{0, 0, 0}, 77}, {{-1.19, -19, 0}, 190}, {p2, 300}};
  const Vec eye0 = stations[0].Nodal(), eye2 = stations[2].Nodal();
  const double f = 1 - 0.5 / std::hypot(aimed.x - eye0.x, aimed.y - eye0.y, aimed.z - eye0.z);
  const Vec to{eye0.x + f * (aimed.x - eye0.x) - eye2.x, eye0.y + f * (aimed.y - eye0.y) - eye2.y,
               eye0.z + f * (aimed.z - eye0.z) - eye2.z};
  const double length = std::hypot(to.x, to.y, to.z);
  WallHit second;
  HitWall(aimed, normal, eye2, {to.x / length, to.y / length, to.z / length}, second);
  const double scale = f * second.t / length;
  const Survey3 survey(stations, aimed, 1900, 360, [&](const Vec& eye, const Vec& d) {
    WallHit w;
    if (!HitWall(aimed, normal, eye, d, w) || std::fabs(w.along) > 2 || w.z < 0 || w.z > 2.5)
      return 200;
    const double ca = (w.along - second.along) / scale, cz = (w.z - second.z) / scale;
    const bool copy = std::fabs(ca) < 0.07 && std::fabs(cz) < 0.07;
    double v = copy ? FineBlotches(ca, cz + aimed.z, w) : FineBlotches(w.along, w.z, w);
    if (eye.y > 1 && std::hypot(w.along, w.z - aimed.z) < 0.03)
      v = 0.1 * v + 0.9 * Blotches(9 * w.along + 3, 7 * w.z);
    return static_cast<int>(v);
  });
  const Vec& r = survey.ray;
  const double truth =
      (aimed.x * normal.x + aimed.y * normal.y) / (r.x * normal.x + r.y * normal.y);
  const DistanceMatch m = SearchDistance(survey.s, survey.panos);
  ASSERT_TRUE(m.found) << m.distance << " " << m.score1 << " " << m.score2 << " " << m.runnerUp;
  EXPECT_NEAR(static_cast<double>(m.distance), truth, 0.005);
  // Without the cross check the second print is answered; the window on the aimed side reaches
  // past the print and refuses it too, so it is left out here.
  SearchSettings unchecked;
  unchecked.crossCheck = unchecked.aimedSide = false;
  const DistanceMatch chance = SearchDistance(survey.s, survey.panos, unchecked);
  EXPECT_NEAR(static_cast<double>(chance.distance), truth - 0.5, 0.01) << "the second print";
}

// Check() names the field (SearchSettingsTest); here, that such settings search nothing.
TEST_F(Search, SettingsOutOfTheirRangeFindNothing) {
  SearchSettings broken;
  broken.refineSteps = 0;
  std::array<PanoPixels, 3> panos;
  for (int i = 0; i < 3; ++i) {
    pictures[i] = Render(kStations[i], Blotches, PanoWidth, kTop, kRows);
    panos[i] = {pictures[i].data(), PanoWidth, kRows, PanoWidth, 0, kTop, Panorama()};
  }
  EXPECT_FALSE(SearchDistance(s, panos, broken).found);
}

// Refined in quarter pixels and placed between them by a parabola, the answer lies within a tenth
// of a pixel (1.5 mm along the line here) of where the aimed pixel's sight line meets the wall on
// most of the wall; half-pixel steps put it 2 to 5 mm off.
TEST_F(Search, TheRefinedPlaceLiesWithinATenthOfAPixel) {
  const double h = Rad(static_cast<double>(s.CurHor) + kStations[0].zero);
  const double v = Rad(static_cast<double>(s.CurVert));
  const double truth = kWallY / (std::cos(h) * std::cos(v));
  std::vector<double> errors;
  for (int k = 0; k < 6; ++k) {
    std::array<PanoPixels, 3> panos;
    for (int i = 0; i < 3; ++i) {
      pictures[i] = Render(
          kStations[i], [k](double x, double z) { return Blotches(x + 0.37 * k, z + 0.21 * k); },
          PanoWidth, kTop, kRows);
      panos[i] = {pictures[i].data(), PanoWidth, kRows, PanoWidth, 0, kTop, Panorama()};
    }
    const DistanceMatch m = SearchDistance(s, panos);
    ASSERT_TRUE(m.found) << k;
    errors.push_back(std::fabs(static_cast<double>(m.distance) - truth));
  }
  std::nth_element(errors.begin(), errors.begin() + 3, errors.end());
  EXPECT_LT(errors[3], 0.0015);
}

TEST_F(Search, WithoutPicturesNothingIsFound) {
  std::array<PanoPixels, 3> none{};
  EXPECT_FALSE(SearchDistance(s, none).found);
  EXPECT_EQ(SearchDistance(s, none).refusal, Refusal::NoPicture);
}

}  // namespace
