#pragma once

#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "geometry/search/Sight.h"

namespace search {

// Seen almost edge-on from P0, a plane holds the patch over a depth the search cannot use; but
// ground ten metres away, which P0 sees 9 degrees below the horizon, is still ground to find. A
// plane is laid only where its normal lies at least this much along the aimed sight line,
constexpr double kLeastFacing = 0.1;
// and along the sight line of each control point (of any footprint) too.
constexpr double kLeastAlong = 0.05;
// The ground is tried where the aimed sight line dips at least this much below it.
constexpr double kLeastDip = 0.01;
// Upright walls are tried turned from facing P0 by up to 75 degrees every 15, and at 67.5 too,
// where P0 sees a wall a third as wide as it is and a degree's turn changes that by a twentieth:
// a survey view that sees such a wall square-on sees each of P0's pixels as several, and a wall
// laid 7 degrees off fits nowhere along the line. The first pass tries every wall too: fine
// upright stripes laid on a plane 15 degrees off smear in a survey view that sees them obliquely,
// the right place scored below places where stripes met by chance, was never refined, and one of
// those was answered.
constexpr double kWallTurns[] = {-75.0, -67.5, -60.0, -45.0, -30.0, -15.0,
                                 15.0,  30.0,  45.0,  60.0,  67.5,  75.0};

// A surface the aimed patch is assumed to lie on: its normal, and the patch's 3 x 3 control
// points on it for a point at unit distance (at distance d they lie d times as far).
struct Plane {
  V3 normal;
  double facing = 0;  // the normal along the aimed sight line
  V3 control[9];
  bool square = false;  // no plane: the survey patch is the aimed patch's square, unturned
};

// Where P0's sight line `ray` meets `plane` for a point at unit distance; false where it meets
// the plane from behind or too flat.
inline bool Meets(const Plane& plane, V3 ray, V3& point) {
  const double along = Dot(plane.normal, ray);
  if (along * plane.facing <= 0 || std::fabs(along) < kLeastAlong) return false;
  point = ray * (plane.facing / along);
  return true;
}

// The plane with normal `n` (any length) through the point at unit distance along `aimed`, its
// control points where the sight lines `rays` meet it; nothing where P0 sees it too flat to hold
// the patch.
std::optional<Plane> LayPlane(const std::array<V3, 9>& rays, V3 aimed, V3 n);

// The planes tried for the patch whose control points P0 sees along `rays`: facing P0, the
// ground (its normal `ground`) where P0 looks down on it, and the upright walls above.
std::vector<Plane> PlanesTried(const std::array<V3, 9>& rays, V3 aimed, V3 ground);

// Two axes in `plane`, of unit length: level along it, and the steepest way within it.
void AxesIn(const Plane& plane, V3& across, V3& up);

}  // namespace search
