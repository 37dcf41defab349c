#pragma once

#include <functional>
#include <vector>

#include "geometry/Mapping.h"
#include "tools/demo/Scene.h"

// What a survey station makes of a target's footprint: how much of it is in its sight and how
// large it looks in the station's own pixels, and with that whether the distance search can be
// held to the target at all.
namespace demo {

// What a sight line meets first: the distance to it (kNoHit for the sky) and, for a surface seen
// from both sides, its normal (zero for a solid, which only shows its outside).
struct SurfaceHit {
  double t = kNoHit;
  Vec3 normal;
};
using SceneTrace = std::function<SurfaceHit(const Vec3& origin, const Vec3& dir)>;

// Metres a station's sight line may stop short of a point it still counts as seeing.
inline constexpr double kSightSlack = 0.01;

struct FootprintSight {
  double seen = 0;     // the share of the footprint's points the station sees, 0...1
  bool whole = false;  // every one of them
  // The footprint's extent in the station's own pixels across its narrowest direction, from the
  // first to the last point: for P0, whose pixels the footprint is, kFootprintPixels - 1.
  double span = 0;
};

// How the station `camera` with the panorama `panorama` sees the footprint, scene points that P0
// sees from `p0eye`. A point counts as seen when the station's sight line reaches it (within
// kSightSlack), on the side of its surface that P0 sees, and inside the station's picture.
FootprintSight SightOf(const std::vector<Vec3>& footprint, const Camera& camera,
                       const Panorama& panorama, const Vec3& p0eye, const SceneTrace& trace);

// What a survey station must offer for the search to be held to a textured target: all of the
// footprint in sight, this much grey spread over it (grey levels, without noise), and the
// footprint at least this many of its pixels across, a fifth of the scale P0 sees it at.
inline constexpr double kAllowedSpread = 4;
inline constexpr double kAllowedSpan = 6;
bool Allowed(const FootprintSight& sight, double spread);

}  // namespace demo
