#include "geometry/Coordinates.h"

#include <algorithm>
#include <cmath>

#include "geometry/Mapping.h"
#include "geometry/TorbelError.h"

LocalPosition PositionOf(Real hor, Real vert, Real dist, Real nodalHeight, const Tilt& tilt) {
  if (!tilt.Level()) {
    const frame::Vec<Real> d = frame::ToLevel(tilt.Pitch, tilt.Roll, frame::Unit(hor, vert));
    return {Finite(Mul(d.x, dist)), Finite(Mul(d.y, dist)), Finite(nodalHeight + Mul(d.z, dist))};
  }
  const Real level = Mul(CosDeg(vert), dist);  // the distance along the ground
  return {Mul(SinDeg(hor), level), Mul(CosDeg(hor), level),
          Finite(nodalHeight + Mul(SinDeg(vert), dist))};
}

std::optional<Real> GuideStrength::Best() const {
  if (P1 && P2) return std::min(*P1, *P2);
  return P1 ? P1 : P2;
}

bool GuideStrength::Weak(Real dist) const {
  const std::optional<Real> best = Best();
  return !best || *best > dist;  // centimetres against 1 % of the distance in metres
}

namespace {

// The guide lines' columns (unrounded) at a distance, or nothing where the solver fails.
std::optional<std::pair<Real, Real>> Columns(SolverState s, Real dist, const PanoShapes& shapes) {
  s.CurDist = dist;
  try {
    SolvePoint(s);
  } catch (const TorbelError&) {
    return std::nullopt;
  }
  return std::pair{shapes[1].Column(s.P1Hor), shapes[2].Column(s.P2Hor)};
}

std::optional<Real> PerPixel(Real near, Real far, Real step, const Panorama& pano) {
  // Across the seam the column jumps by the panorama's width; the shorter way round counts.
  Real shift = std::fabs(far - near);
  shift = std::min(shift, pano.Width() - shift);
  if (!(shift > 0)) return std::nullopt;
  return 100 * 2 * step / shift;
}

}  // namespace

GuideStrength StrengthOf(const SolverState& s, const PanoShapes& shapes) {
  // A central difference over a step far below a pixel's worth of distance.
  const Real step = std::max(s.CurDist * 1e-6L, Real{1e-7L});
  const auto near = Columns(s, s.CurDist - step, shapes);
  const auto far = Columns(s, s.CurDist + step, shapes);
  if (!near || !far) return {};
  return {PerPixel(near->first, far->first, step, shapes[1]),
          PerPixel(near->second, far->second, step, shapes[2])};
}

StationGrounds StationsOf(SolverState s) {
  if (s.Tilted()) {
    const std::array<frame::Station<Real>, 3> st = FrameOf(s);
    const auto at = [](const frame::Vec<Real>& v) { return LocalPosition{v.x, v.y, v.z}; };
    return {at(st[0].ground),
            at(st[1].ground),
            at(st[2].ground),
            {at(st[0].lens), at(st[1].lens), at(st[2].lens)}};
  }
  SolveHeights(s);
  const auto ground = [](Real hor, Real dist, Real height) {
    const Real level = Sqrt(Mul(dist, dist) - Mul(height, height));
    return LocalPosition{Mul(SinDeg(hor), level), Mul(CosDeg(hor), level), height};
  };
  StationGrounds g{{},
                   ground(s.P0zu1Hor, s.DistP0P1, s.HeightP1),
                   ground(s.P0zu2Hor, s.DistP0P2, s.HeightP2),
                   {}};
  std::size_t k = 0;
  for (const LocalPosition& at : {g.P0, g.P1, g.P2}) {
    g.Lenses[k++] = {at.X, at.Y, Finite(at.Z + s.NodalHeight)};
  }
  return g;
}
