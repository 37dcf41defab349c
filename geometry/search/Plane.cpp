#include "geometry/search/Plane.h"

namespace search {

std::optional<Plane> LayPlane(const std::array<V3, 9>& rays, V3 aimed, V3 n) {
  Plane plane;
  const double length = std::sqrt(Dot(n, n));
  plane.normal = n * (1 / length);
  plane.facing = Dot(plane.normal, aimed);
  if (std::fabs(plane.facing) < kLeastFacing) return std::nullopt;
  for (int g = 0; g < 9; ++g)
    if (!Meets(plane, rays[static_cast<std::size_t>(g)], plane.control[g])) return std::nullopt;
  return plane;
}

std::vector<Plane> PlanesTried(const std::array<V3, 9>& rays, V3 aimed, V3 ground) {
  std::vector<Plane> planes;
  const auto lay = [&](V3 n) {
    if (const std::optional<Plane> plane = LayPlane(rays, aimed, n)) planes.push_back(*plane);
  };
  lay(aimed);
  if (Dot(aimed, ground) < -kLeastDip) lay(ground);
  const double azimuth = std::atan2(aimed.x, aimed.y);
  for (const double turn : kWallTurns) {
    const double a = azimuth + turn * kRad;
    lay({std::sin(a), std::cos(a), 0});
  }
  return planes;
}

void AxesIn(const Plane& plane, V3& across, V3& up) {
  const V3 n = plane.normal;
  across = {n.y, -n.x, 0};
  if (Dot(across, across) < 1e-6) across = {1, 0, 0};
  across = across * (1 / std::sqrt(Dot(across, across)));
  up = Cross(n, across);
}

}  // namespace search
