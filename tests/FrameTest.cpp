#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>

#include "geometry/Coordinates.h"
#include "geometry/Firmness.h"
#include "geometry/Frame.h"
#include "geometry/Solver.h"
#include "geometry/search/Stations.h"
#include "tests/Surveys.h"
#include "tests/TiltedSurvey.h"

namespace {

using V = frame::Vec<Real>;

const Tilts kTilts = {Tilt{0.12L, -0.08L}, Tilt{0.36L, 0.21L}, Tilt{-0.29L, 0.17L}};

// A 360-degree camera's tags: the pitch raises the picture's middle above the horizon, and as
// the roll grows the horizon in the picture turns counter-clockwise, so that the picture's
// right-hand side (90 degrees) looks below it.
TEST(Frame, TiltFollowsThePhotoSphereTags) {
  const struct {
    Real pitch, roll, hor, vert, levelVert;
  } cases[] = {
      {5, 0, 0, 0, 5},     // the middle raised by the pitch
      {5, 0, 180, 0, -5},  // and the back lowered
      {0, 5, 90, 0, -5},   // the right-hand side lowered by the roll
      {0, 5, 270, 0, 5},   // the left raised
      {0, 5, 0, 0, 0},     // the roll turns about the middle direction
  };
  for (const auto& c : cases) {
    const V level = frame::ToLevel(c.pitch, c.roll, frame::Unit(c.hor, c.vert));
    EXPECT_NEAR(static_cast<double>(frame::VertOf(level)), static_cast<double>(c.levelVert), 1e-12)
        << c.pitch << " " << c.roll << " at " << c.hor;
  }
  // There and back, for directions all round.
  for (Real hor = -170; hor < 540; hor += 37) {
    const V c = frame::Unit(hor, Real{-41} + hor / 20);
    const V back =
        frame::ToPicture(Real{3.5}, Real{-7.25}, frame::ToLevel(Real{3.5}, Real{-7.25}, c));
    EXPECT_NEAR(static_cast<double>(back.x), static_cast<double>(c.x), 1e-15);
    EXPECT_NEAR(static_cast<double>(back.y), static_cast<double>(c.y), 1e-15);
    EXPECT_NEAR(static_cast<double>(back.z), static_cast<double>(c.z), 1e-15);
  }
}

// The frame takes over from the level sums as soon as one panorama is tilted; on level ground
// with level cameras at P0's height both place every point alike.
TEST(Frame, ABarelyTiltedSurveyAgreesWithTheLevelOne) {
  SolverState level = LevelSurvey();
  SolverState tilted = level;
  tilted.PanoTilt[2].Roll = 1e-300L;
  ASSERT_TRUE(tilted.Tilted());
  const Real points[][3] = {{45, 0, 14.1421356L}, {45, 10.025L, 14.3614L}, {180, 0, 5},
                            {359, 0, 5},          {123.4L, -7.5L, 31},     {271, 20, 3.3L}};
  for (const auto& p : points) {
    for (SolverState* s : {&level, &tilted}) {
      s->CurHor = p[0], s->CurVert = p[1], s->CurDist = p[2];
      SolvePoint(*s);
    }
    EXPECT_NEAR(static_cast<double>(std::remainder(tilted.P1Hor - level.P1Hor, Real{360})), 0,
                1e-12);
    EXPECT_NEAR(static_cast<double>(std::remainder(tilted.P2Hor - level.P2Hor, Real{360})), 0,
                1e-12);
    EXPECT_NEAR(static_cast<double>(tilted.P1Vert), static_cast<double>(level.P1Vert), 1e-12);
    EXPECT_NEAR(static_cast<double>(tilted.P2Vert), static_cast<double>(level.P2Vert), 1e-12);
    EXPECT_EQ(tilted.DeltaHor1, level.DeltaHor1);
  }
}

// With the tilts known, the solver, the guide line's distance, the coordinates and the search's
// stations all put a point where the tilted pictures show it.
TEST(Frame, TiltedPicturesShowThePointWhereTheFramePutsIt) {
  const TiltedSurvey t = MakeTiltedSurvey(kTilts);
  const std::optional<search::Stations> placed = search::PlaceStations(t.recorded);
  ASSERT_TRUE(placed);
  const V points[] = {{3.1L, 12.5L, 0.8L}, {-6, -4.5L, 2.2L}, {15, -2, -0.4L}, {-1.2L, 30, 6}};
  for (const V& x : points) {
    SolverState s = t.recorded;
    const auto in0 = t.Seen(0, x);
    const V fromLens = x - t.truth[0].lens;
    const Real dist =
        std::sqrt(fromLens.x * fromLens.x + fromLens.y * fromLens.y + fromLens.z * fromLens.z);
    s.CurHor = in0[0], s.CurVert = in0[1], s.CurDist = dist;
    SolvePoint(s);
    const auto in1 = t.Seen(1, x), in2 = t.Seen(2, x);
    EXPECT_NEAR(static_cast<double>(s.P1Hor), static_cast<double>(in1[0]), 1e-9);
    EXPECT_NEAR(static_cast<double>(s.P1Vert), static_cast<double>(in1[1]), 1e-9);
    EXPECT_NEAR(static_cast<double>(s.P2Hor), static_cast<double>(in2[0]), 1e-9);
    EXPECT_NEAR(static_cast<double>(s.P2Vert), static_cast<double>(in2[1]), 1e-9);

    for (int station : {1, 2}) {
      const std::optional<Real> d =
          DistanceForGuideLine(s, station, station == 1 ? in1[0] : in2[0]);
      ASSERT_TRUE(d) << station;
      EXPECT_NEAR(static_cast<double>(*d), static_cast<double>(dist), 1e-7);
    }

    const LocalPosition at = PositionOf(s.CurHor, s.CurVert, dist, s.NodalHeight, s.PanoTilt[0]);
    EXPECT_NEAR(static_cast<double>(at.X), static_cast<double>(x.x), 1e-9);
    EXPECT_NEAR(static_cast<double>(at.Z), static_cast<double>(x.z), 1e-9);

    const Panorama pano;
    const search::Scale scale(pano);
    const V own0 = frame::ToPicture(kTilts[0].Pitch, kTilts[0].Roll, fromLens);
    const search::V3 w{static_cast<double>(own0.x), static_cast<double>(own0.y),
                       static_cast<double>(own0.z)};
    const search::Station& st = placed->views[0];
    const search::Pixel px = st.PixelOf(w - st.centre, scale);
    EXPECT_NEAR(std::remainder(px.column - static_cast<double>(pano.Column(in1[0])), 8160.0), 0,
                1e-6);
    EXPECT_NEAR(px.row, static_cast<double>(pano.Row(in1[1])), 1e-6);
  }
  const StationGrounds g = StationsOf(t.recorded);
  EXPECT_NEAR(static_cast<double>(g.Lenses[2].Z), static_cast<double>(t.truth[2].lens.z), 1e-9);
  EXPECT_NEAR(static_cast<double>(g.P1.Y), static_cast<double>(t.truth[1].ground.y), 1e-9);
}

}  // namespace

namespace {

// An adjusted frame's own uncertainty loosens every point, a far one more than a near one, and
// leaves the pointing's share as it was.
TEST(Frame, AnUncertainFrameLoosensThePoints) {
  const TiltedSurvey t = MakeTiltedSurvey(kTilts);
  auto covariance = std::make_shared<std::array<double, 256>>();
  for (std::size_t j = 0; j < frame::kFrameValues; ++j)
    covariance->at(j * 17) = 1e-4;  // 1 cm, 0.01 deg
  const Real cm[] = {8, 40};
  Real share[2];
  for (int k = 0; k < 2; ++k) {
    SolverState s = t.recorded;
    const V x{3.1L * cm[k] / 8, 12.5L * cm[k] / 8, 0.8L};
    const auto in0 = t.Seen(0, x);
    const V d = x - t.truth[0].lens;
    s.CurHor = in0[0], s.CurVert = in0[1], s.CurDist = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    const Firmness sure = FirmnessOf(s, PanoShapes{});
    s.FrameCovariance = covariance;
    const Firmness loose = FirmnessOf(s, PanoShapes{});
    ASSERT_TRUE(sure.AcrossCm && loose.AcrossCm && sure.AlongCm && loose.AlongCm);
    EXPECT_GT(*loose.AcrossCm, *sure.AcrossCm);
    EXPECT_GT(*loose.AlongCm, *sure.AlongCm);
    share[k] = *loose.AlongCm * *loose.AlongCm - *sure.AlongCm * *sure.AlongCm;
  }
  EXPECT_GT(share[1], 4 * share[0]);
}

}  // namespace
