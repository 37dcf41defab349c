#pragma once

#include <functional>
#include <vector>

#include "geometry/Mapping.h"
#include "tools/demo/Scene.h"

// What a survey station makes of a target's footprint: how much of it is in its sight and how
// large it looks in the station's own pixels, and with that whether the distance search can be
// held to the target at all.
namespace demo {

// What a sight line meets first: the distance to it (kNoHit for the sky), for a surface seen from
// both sides its normal (zero for a solid, which only shows its outside), and which surface it is:
// any number that tells the scene's surfaces apart, the ground's included.
struct SurfaceHit {
  double t = kNoHit;
  Vec3 normal;
  int surface = -1;
};
using SceneTrace = std::function<SurfaceHit(const Vec3& origin, const Vec3& dir)>;

// A target's footprint is this many pixels of P0's panorama across and down, round its own.
inline constexpr int kFootprintPixels = 31;

// P0's sight lines through the footprint's pixels around the pixel (column, row) of its panorama,
// row by row: the target's own in the middle.
std::vector<Vec3> FootprintRays(const Camera& p0, const Panorama& panorama, double column,
                                double row);

// Metres a station's sight line may stop short of a point it still counts as seeing.
inline constexpr double kSightSlack = 0.01;

struct FootprintSight {
  // The share of the target's own surface in the footprint that the station sees, 0...1: of the
  // points where P0's sight lines meet the surface its middle one meets. The background beside the
  // target, which parallax hides from a station or shows, does not count.
  double seen = 0;
  bool whole = false;  // every one of them
  // The footprint's extent in the station's own pixels across its narrowest direction, from the
  // first sight line to the last, laid on the target surface's tangent plane at its centre: the
  // scale the station sees the target at, with distance and foreshortening, which the background's
  // parallax does not change. For P0, whose pixels the footprint is, kFootprintPixels - 1.
  double span = 0;
};

// How the station `camera` with the panorama `panorama` sees the target's surface in the footprint
// that P0 sees from `p0eye` along `rays`, as FootprintRays gives them. `normal` is the normal of
// the surface where the middle sight line meets it. A point counts as seen when the station's sight
// line reaches it (within kSightSlack) on the same surface, on the side that P0 sees, and inside
// the station's picture.
FootprintSight SightOf(const std::vector<Vec3>& rays, const Vec3& p0eye, const Vec3& normal,
                       const Camera& camera, const Panorama& panorama, const SceneTrace& trace);

// What a survey station must offer for the search to be held to a textured target: all of the
// target's surface in sight, this much grey spread over it (grey levels, without noise), and the
// footprint at least this many of its pixels across, a fifth of the scale P0 sees it at.
inline constexpr double kAllowedSpread = 4;
inline constexpr double kAllowedSpan = 6;
bool Allowed(const FootprintSight& sight, double spread);

}  // namespace demo
