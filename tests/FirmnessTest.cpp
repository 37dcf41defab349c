#include "geometry/Firmness.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <random>

#include "geometry/Coordinates.h"
#include "geometry/Mapping.h"
#include "tests/ClassicPanorama.h"
#include "tests/Surveys.h"
#include "tests/TiltedSurvey.h"

namespace {

using Vec = std::array<Real, 3>;
using Matrix = std::array<Vec, 3>;

Real Dot(const Vec& a, const Vec& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Vec Direction(Real hor, Real vert, Real dist = 1) {
  const LocalPosition p = PositionOf(hor, vert, dist, 0);
  return {p.X, p.Y, p.Z};
}

Real Det(const Matrix& m) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
         m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// The aim's column and row in P0 and the solver's in P1 and P2, in pixels (the columns unwrapped).
std::array<Real, 6> Pixels(SolverState s, const Vec& aim) {
  s.CurHor = aim[0], s.CurVert = aim[1], s.CurDist = aim[2];
  SolvePoint(s);
  std::array<Real, 6> pixels = {aim[0], aim[1], s.P1Hor, s.P1Vert, s.P2Hor, s.P2Vert};
  for (Real& p : pixels) p *= PixPerDeg;
  return pixels;
}

// Each point aimed 1,000 times with every column and row off by Gaussian noise, and re-solved by
// least squares over the solver's own pixels: the spread of the places found across and along
// P0's sight line is what the propagation must give.
TEST(Firmness, MatchesAMonteCarloOfPerturbedAimsAndTheSightLinesAngles) {
  const struct {
    const char* what;
    Real hor, vert, dist, px;
    Real p1Up = 0;  // degrees P0's sight line to P1's ground mark is raised by
  } cases[] = {{"close", 45, -20, 5, 0.5L},
               {"far", 30, 2, 120, 0.5L},
               {"high up a wall", 45, 40, 10, 0.5L},
               {"nearly in line beyond P1, on a rise", 2, -1, 35, 0.5L, 8},
               {"behind P0 from P1, coarse aim", 181, 3, 20, 1.5L}};
  std::mt19937 random(25);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SolverState s = LevelSurvey();
    s.CurHor = c.hor, s.CurVert = c.vert, s.CurDist = c.dist;
    s.P0zu1Vert += c.p1Up;
    const Firmness f = FirmnessOf(s, {}, c.px);
    ASSERT_TRUE(f.AcrossCm && f.AlongCm && f.AngleP1 && f.AngleP2);

    const Vec truth = {c.hor, c.vert, c.dist}, at = Direction(c.hor, c.vert, c.dist);
    const Vec axes[] = {{CosDeg(c.hor), -SinDeg(c.hor), 0}, Direction(c.hor, c.vert)};
    std::array<Vec, 6> jacobian;  // central differences of the solver
    for (int k = 0; k < 3; ++k) {
      Vec lo = truth, hi = truth;
      lo[k] -= 1e-6L, hi[k] += 1e-6L;
      const auto plus = Pixels(s, hi), minus = Pixels(s, lo);
      for (int i = 0; i < 6; ++i) jacobian[i][k] = (plus[i] - minus[i]) / 2e-6L;
    }
    Matrix normal{};
    for (const Vec& row : jacobian) {
      for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b) normal[a][b] += row[a] * row[b];
      }
    }
    std::normal_distribution<double> noise(0, static_cast<double>(c.px));
    Real sum[2] = {}, squares[2] = {};
    for (int n = 0; n < 1000; ++n) {
      std::array<Real, 6> observed = Pixels(s, truth);
      for (Real& o : observed) o += noise(random);
      Vec aim = truth;
      for (int step = 0; step < 3; ++step) {  // Gauss-Newton, solved by Cramer's rule
        const std::array<Real, 6> now = Pixels(s, aim);
        Vec slope{};
        for (int i = 0; i < 6; ++i) {
          for (int k = 0; k < 3; ++k) slope[k] += jacobian[i][k] * (observed[i] - now[i]);
        }
        for (int k = 0; k < 3; ++k) {
          Matrix m = normal;
          for (int r = 0; r < 3; ++r) m[r][k] = slope[r];
          aim[k] += Det(m) / Det(normal);
        }
      }
      const Vec place = Direction(aim[0], aim[1], aim[2]);
      const Vec off = {place[0] - at[0], place[1] - at[1], place[2] - at[2]};
      for (int d = 0; d < 2; ++d) {
        sum[d] += 100 * Dot(off, axes[d]), squares[d] += std::pow(100 * Dot(off, axes[d]), 2);
      }
    }
    const auto spread = [&](int d) {
      return std::sqrt(squares[d] / 1000 - std::pow(sum[d] / 1000, 2));
    };
    EXPECT_NEAR(spread(0), *f.AcrossCm, *f.AcrossCm * 0.1L);
    EXPECT_NEAR(spread(1), *f.AlongCm, *f.AlongCm * 0.1L);

    // In this survey all three panoramas share their zero direction.
    SolvePoint(s);
    const auto angle = [&](Real hor, Real vert) {
      return ArcCosDeg(std::fabs(Dot(axes[1], Direction(hor, vert))));
    };
    EXPECT_NEAR(*f.AngleP1, angle(s.P1Hor, s.P1Vert), 1e-9L);
    EXPECT_NEAR(*f.AngleP2, angle(s.P2Hor, s.P2Vert), 1e-9L);
  }
}

// The same for an adjusted frame's own uncertainty: each point re-solved by least squares in
// frames drawn from its covariance, on pixels that the true frame gives, spreads as far as the
// firmness of a frame that uncertain says (with the aims themselves made almost exact).
TEST(Firmness, MatchesAMonteCarloOfFramesDrawnFromTheirCovariance) {
  const TiltedSurvey t =
      MakeTiltedSurvey({Tilt{0.12L, -0.08L}, Tilt{0.36L, 0.21L}, Tilt{-0.29L, 0.17L}});
  const Real sigma[frame::kFrameValues] = {0.01L, 0.02L, 0.01L, 0.015L, 0.01L, 0.02L, 0.01L, 0.01L,
                                           0.02L, 0.01L, 0.01L, 0.02L,  0.01L, 0.01L, 0.03L, 0.01L};
  auto covariance = std::make_shared<std::array<double, 256>>();
  for (std::size_t j = 0; j < 16; ++j) covariance->at(j * 17) = double(sigma[j] * sigma[j]);
  const auto with = [&](const frame::Measured<Real>& m) {
    SolverState s = t.recorded;
    SetStationValues(s, m);
    return s;
  };
  std::mt19937 random(7);
  std::normal_distribution<double> unit(0, 1);
  const Vec truth = {37, -4, 18};
  SolverState s = t.recorded;
  s.CurHor = truth[0], s.CurVert = truth[1], s.CurDist = truth[2];
  s.FrameCovariance = covariance;
  const Firmness f = FirmnessOf(s, {}, 1e-6L);
  ASSERT_TRUE(f.AcrossCm && f.AlongCm);
  const std::array<Real, 6> observed = Pixels(t.recorded, truth);
  const LocalPosition at = PositionOf(truth[0], truth[1], truth[2], 0, s.PanoTilt[0]);
  Real sum[2] = {}, squares[2] = {};
  const int runs = 600;
  for (int n = 0; n < runs; ++n) {
    frame::Measured<Real> m = MeasuredOf(t.recorded);
    for (int j = 0; j < frame::kFrameValues; ++j) frame::ValueAt(m, j) += sigma[j] * unit(random);
    const SolverState drawn = with(m);
    Vec aim = truth;
    for (int step = 0; step < 4; ++step) {  // Gauss-Newton in the drawn frame
      std::array<Vec, 6> jacobian;
      for (int k = 0; k < 3; ++k) {
        Vec lo = aim, hi = aim;
        lo[k] -= 1e-6L, hi[k] += 1e-6L;
        const auto plus = Pixels(drawn, hi), minus = Pixels(drawn, lo);
        for (int i = 0; i < 6; ++i) jacobian[i][k] = (plus[i] - minus[i]) / 2e-6L;
      }
      const std::array<Real, 6> now = Pixels(drawn, aim);
      Matrix normal{};
      Vec slope{};
      for (int i = 0; i < 6; ++i) {
        for (int a = 0; a < 3; ++a) {
          slope[a] += jacobian[i][a] * (observed[i] - now[i]);
          for (int b = 0; b < 3; ++b) normal[a][b] += jacobian[i][a] * jacobian[i][b];
        }
      }
      for (int k = 0; k < 3; ++k) {
        Matrix m3 = normal;
        for (int r = 0; r < 3; ++r) m3[r][k] = slope[r];
        aim[k] += Det(m3) / Det(normal);
      }
    }
    const LocalPosition p = PositionOf(aim[0], aim[1], aim[2], 0, s.PanoTilt[0]);
    const Vec off = {p.X - at.X, p.Y - at.Y, p.Z - at.Z};
    const Real level = std::hypot(at.X, at.Y), slant = std::hypot(level, at.Z);
    const Vec axes[] = {{at.Y / level, -at.X / level, 0},
                        {at.X / slant, at.Y / slant, at.Z / slant}};
    for (int d = 0; d < 2; ++d) {
      sum[d] += 100 * Dot(off, axes[d]), squares[d] += std::pow(100 * Dot(off, axes[d]), 2);
    }
  }
  const auto spread = [&](int d) {
    return std::sqrt(squares[d] / runs - std::pow(sum[d] / runs, 2));
  };
  EXPECT_NEAR(spread(0), *f.AcrossCm, *f.AcrossCm * 0.1L);
  EXPECT_NEAR(spread(1), *f.AlongCm, *f.AlongCm * 0.1L);
}

// Where a view cannot show the point it adds nothing; where no two views cross, nothing is fixed.
TEST(Firmness, ViewsThatCannotShowThePointAndSightLinesInOneLine) {
  SolverState inLine = LevelSurvey();  // P2 opposite P1, beyond P0
  inLine.P0zu2Hor = 180, inLine.P2zu0Hor = 0;
  const struct {
    const char* what;
    SolverState survey;
    Real hor, vert, dist;
    std::array<bool, 4> has;  // across, along, angle P1, angle P2
  } cases[] = {{"at P1's lens", LevelSurvey(), 0, 0, 10, {true, true, false, true}},
               {"under P1's bottom edge", LevelSurvey(), 0, -9, 10, {true, true, false, true}},
               {"straight above P0", LevelSurvey(), 30, 90, 5, {false, false, false, false}},
               {"in line with both stations", inLine, 0, 0, 30, {false, false, true, true}}};
  for (const auto& c : cases) {
    SolverState s = c.survey;
    s.CurHor = c.hor, s.CurVert = c.vert, s.CurDist = c.dist;
    const Firmness f = FirmnessOf(s, {});
    const std::array<bool, 4> has = {f.AcrossCm.has_value(), f.AlongCm.has_value(),
                                     f.AngleP1.has_value(), f.AngleP2.has_value()};
    EXPECT_EQ(has, c.has) << c.what;
  }
}

// P1's picture cut off below the point: it shows the point on its last row, not one row further.
TEST(Firmness, APictureShowsThePointOnItsLastRowButNotBelow) {
  SolverState s = LevelSurvey();
  s.CurHor = 45, s.CurVert = -20, s.CurDist = 5;
  SolvePoint(s);
  const Real row = Panorama().Row(s.P1Vert);
  ASSERT_LT(std::fabs(row - std::round(row)), 0.4L);  // no doubt which row it rounds to
  const std::int32_t last = Panorama().VertToPixel(s.P1Vert);
  for (const std::int32_t height : {last + 1, last}) {
    const PanoShapes shapes = {Panorama(), Panorama(Panorama::kClassicWidth, height), Panorama()};
    const Firmness f = FirmnessOf(s, shapes);
    EXPECT_EQ(f.AngleP1.has_value(), height > last) << height;
    EXPECT_TRUE(f.AngleP2) << height;
  }
}

}  // namespace
