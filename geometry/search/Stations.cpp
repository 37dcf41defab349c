#include "geometry/search/Stations.h"

#include <cmath>

#include "geometry/TorbelError.h"

namespace search {

std::optional<Stations> PlaceStations(SolverState s) {
  Stations out;
  try {
    SolveHeights(s);
    const Real heights[2] = {s.HeightP1, s.HeightP2};
    const Real dists[2] = {s.DistP0P1, s.DistP0P2};
    const Real hors[2] = {s.P0zu1Hor, s.P0zu2Hor};
    const Real backs[2] = {s.P1zu0Hor, s.P2zu0Hor};
    for (int k = 0; k < 2; ++k) {
      // As the solver has it: the station stands B away along P0's sight line to its ground
      // mark, `height` above P0's nodal point, and sees P0 at its own measured angle.
      const double b =
          static_cast<double>(Sqrt(Mul(dists[k], dists[k]) - Mul(heights[k], heights[k])));
      const double a = static_cast<double>(hors[k]) * kRad;
      out.views[k].centre = {b * std::sin(a), b * std::cos(a), static_cast<double>(heights[k])};
      out.views[k].turn = static_cast<double>(backs[k] - hors[k]) - 180;
    }
  } catch (const TorbelError&) {
    return std::nullopt;
  }
  const V3 a = out.views[0].centre, b = out.views[1].centre;
  V3 up = Cross(a, b);
  if (up.z < 0) up = up * -1;
  const double length = std::sqrt(Dot(up, up));
  if (length > kLeastSpread * std::sqrt(Dot(a, a) * Dot(b, b)) &&
      up.z > std::cos(kSteepestGround * kRad) * length)
    out.ground = up * (1 / length);
  return out;
}

}  // namespace search
