#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "geometry/search/Plane.h"

namespace {

using namespace search;

const Scale kClassic{Panorama()};
constexpr double kHorizon = 2040;  // the classic panorama's row at 0 degrees

// The sight lines of the 3 x 3 control points of a patch of half side 7 around a pixel.
std::array<V3, 9> RaysAround(double column, double row) {
  std::array<V3, 9> rays;
  for (int g = 0; g < 9; ++g)
    rays[std::size_t(g)] = RayOf(column + (g % 3 - 1) * 7, row + (g / 3 - 1) * 7, kClassic);
  return rays;
}

// Laid on a plane, the control points lie on it, on their own sight lines, and the aimed one at
// unit distance along the aimed sight line.
TEST(Plane, TheControlPointsLieOnThePlaneAlongTheirSightLines) {
  const double row = kHorizon + 200;  // 9 degrees below the horizon
  const V3 aimed = RayOf(3000, row, kClassic);
  const std::array<V3, 9> rays = RaysAround(3000, row);
  const double a = std::atan2(aimed.x, aimed.y) + 60 * kRad;
  for (const V3 n : {aimed * 3, V3{0, 0, 1}, V3{std::sin(a), std::cos(a), 0}}) {
    const std::optional<Plane> plane = LayPlane(rays, aimed, n);
    ASSERT_TRUE(plane) << n.x << " " << n.y << " " << n.z;
    EXPECT_NEAR(Dot(plane->normal, plane->normal), 1, 1e-15);
    for (int g = 0; g < 9; ++g) {
      const V3 p = plane->control[g], across = Cross(p, rays[std::size_t(g)]);
      EXPECT_NEAR(Dot(plane->normal, p), plane->facing, 1e-12);
      EXPECT_NEAR(Dot(across, across), 0, 1e-24);
    }
    EXPECT_NEAR(Dot(plane->control[4], aimed), 1, 1e-12);
  }
}

// P0 must see a plane from the front, and not so flat that the patch spans more depth than can
// be used.
TEST(Plane, PlanesSeenEdgeOnOrFromBehindAreNotLaid) {
  const V3 aimed = RayOf(3000, kHorizon, kClassic);
  const std::array<V3, 9> rays = RaysAround(3000, kHorizon);
  const V3 up{0, 0, 1};
  // Normals whose cosine with the aimed sight line is `facing`, turned away from it upwards.
  const auto tilted = [&](double facing) {
    const double rise = std::sqrt(1 - facing * facing);
    return V3{aimed.x * facing, aimed.y * facing, aimed.z * facing + rise};
  };
  EXPECT_FALSE(LayPlane(rays, aimed, up));
  EXPECT_FALSE(LayPlane(rays, aimed, tilted(kLeastFacing - 0.001)));
  EXPECT_TRUE(LayPlane(rays, aimed, tilted(kLeastFacing + 0.001)));
  EXPECT_TRUE(LayPlane(rays, aimed, aimed * -1));  // the plane's normal may point either way
  Plane plane;
  plane.normal = up;
  plane.facing = 0.5;
  V3 point;
  EXPECT_TRUE(Meets(plane, V3{0, 0.99, kLeastAlong + 0.001}, point));
  EXPECT_FALSE(Meets(plane, V3{0, 0.99, kLeastAlong - 0.001}, point));
  EXPECT_FALSE(Meets(plane, V3{0, 0.5, -0.5}, point));
}

// Straight ahead (column 4080), 4 degrees up, level, and 9 degrees down: the ground, sloping
// sideways, is tried only when looking down. Every wall is level, turned from facing P0 as listed.
TEST(Plane, TheGroundIsTriedWhereP0LooksDownOnIt) {
  const V3 sloping{0.1, 0, 0.995};
  for (const double row : {kHorizon - 100, kHorizon, kHorizon + 200}) {
    const V3 aimed = RayOf(4080, row, kClassic);
    const std::vector<Plane> planes = PlanesTried(RaysAround(4080, row), aimed, sloping);
    const std::size_t walls = row > kHorizon ? 2 : 1;  // where the walls begin
    ASSERT_EQ(planes.size(), walls + std::size(kWallTurns)) << row;
    EXPECT_NEAR(Dot(planes[0].normal, aimed), 1, 1e-15);
    if (walls == 2) {
      EXPECT_NEAR(Dot(planes[1].normal, sloping), std::sqrt(Dot(sloping, sloping)), 1e-12);
    }
    for (std::size_t k = walls; k < planes.size(); ++k) {
      EXPECT_EQ(planes[k].normal.z, 0) << k;
      EXPECT_NEAR(std::acos(std::fabs(planes[k].facing) / std::hypot(aimed.x, aimed.y)) / kRad,
                  std::fabs(kWallTurns[k - walls]), 1e-9);
    }
  }
}

}  // namespace
