#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "geometry/Coordinates.h"
#include "geometry/search/Stations.h"

namespace {

using search::V3;

constexpr double kNodal = 1.6;

// The angles from a camera `kNodal` above `from`, whose panorama's 0 degrees looks along the
// bearing `zero`, to the ground point `to`.
void Angles(const V3& from, double zero, const V3& to, Real& hor, Real& vert) {
  const double dx = to.x - from.x, dy = to.y - from.y, dz = to.z - from.z - kNodal;
  hor = std::fmod(std::atan2(dx, dy) / search::kRad - zero + 720, 360);
  vert = std::atan2(dz, std::hypot(dx, dy)) / search::kRad;
}

// The station geometry as measured where P0 stands at the origin looking north, P1 and P2 at
// `p1` and `p2` with their panoramas turned by 131 and 250 degrees.
SolverState Measured(const V3& p1, const V3& p2) {
  SolverState s;
  s.NodalHeight = kNodal;
  const V3 p0{};
  Angles(p0, 0, p1, s.P0zu1Hor, s.P0zu1Vert);
  Angles(p0, 0, p2, s.P0zu2Hor, s.P0zu2Vert);
  s.DistP0P1 = std::hypot(p1.x, p1.y, p1.z);
  s.DistP0P2 = std::hypot(p2.x, p2.y, p2.z);
  Angles(p1, 131, p0, s.P1zu0Hor, s.P1zu0Vert);
  Angles(p2, 250, p0, s.P2zu0Hor, s.P2zu0Vert);
  return s;
}

// Each station stands where it stood, as the solver places it, its panorama turned back by its
// own turn; the ground is laid on the marks where they span it and slope no more than 10 degrees.
TEST(Stations, StandWhereMeasuredOnTheGroundTheMarksLay) {
  const struct {
    V3 p1, p2;
    V3 ground;
  } cases[] = {
      {{12, -2, 0}, {-10, 3, 0}, {0, 0, 1}},
      {{12, -2, -0.48}, {-10, 3, 0.4}, V3{0.04, 0, 1} * (1 / std::hypot(0.04, 1))},
      {{12, -2, 2.4}, {-10, 3, -2}, {0, 0, 1}},        // 11 degrees
      {{12, -2, -0.48}, {-12, 2.1, 0.48}, {0, 0, 1}},  // in line with P0
  };
  for (const auto& c : cases) {
    const SolverState s = Measured(c.p1, c.p2);
    const std::optional<search::Stations> placed = search::PlaceStations(s);
    ASSERT_TRUE(placed);
    const StationGrounds grounds = StationsOf(s);
    const V3 truth[2] = {c.p1, c.p2};
    const LocalPosition solved[2] = {grounds.P1, grounds.P2};
    const double turns[2] = {-131, -250};
    for (int k = 0; k < 2; ++k) {
      const V3 centre = placed->views[k].centre;
      EXPECT_NEAR(centre.x, double(solved[k].X), 1e-12);
      EXPECT_NEAR(centre.y, double(solved[k].Y), 1e-12);
      EXPECT_NEAR(centre.z, double(solved[k].Z), 1e-12);
      EXPECT_NEAR(centre.x, truth[k].x, 1e-9);
      EXPECT_NEAR(centre.y, truth[k].y, 1e-9);
      EXPECT_NEAR(centre.z, truth[k].z, 1e-9);
      EXPECT_NEAR(std::remainder(placed->views[k].turn - turns[k], 360), 0, 1e-9);
    }
    EXPECT_NEAR(placed->ground.x, c.ground.x, 1e-12);
    EXPECT_NEAR(placed->ground.y, c.ground.y, 1e-12);
    EXPECT_NEAR(placed->ground.z, c.ground.z, 1e-12);
  }
}

TEST(Stations, NothingWhereTheGeometryCannotBeSolved) {
  EXPECT_FALSE(search::PlaceStations(SolverState{}));
}

}  // namespace
