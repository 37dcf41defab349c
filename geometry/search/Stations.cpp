#include "geometry/search/Stations.h"

#include <array>
#include <cmath>

#include "geometry/TorbelError.h"

namespace search {

namespace {

// The ground's normal as the marks lay it, or `level` (the frame's up) where they cannot.
V3 LaidGround(const Stations& out, V3 level) {
  const V3 a = out.views[0].centre, b = out.views[1].centre;
  V3 up = Cross(a, b);
  if (Dot(up, level) < 0) up = up * -1;
  const double length = std::sqrt(Dot(up, up));
  if (length > kLeastSpread * std::sqrt(Dot(a, a) * Dot(b, b)) &&
      Dot(up, level) > std::cos(kSteepestGround * kRad) * length)
    return up * (1 / length);
  return level;
}

}  // namespace

namespace {

V3 FromFrame(const frame::Vec<Real>& v) {
  return {static_cast<double>(v.x), static_cast<double>(v.y), static_cast<double>(v.z)};
}

// The tilted frame's stations, turned into P0's picture frame with P0's lens at the origin.
std::optional<Stations> PlaceTilted(const SolverState& s) {
  std::array<frame::Station<Real>, 3> st;
  try {
    st = FrameOf(s);
  } catch (const TorbelError&) {
    return std::nullopt;
  }
  Stations out;
  const frame::Station<Real>& p0 = st[0];
  const auto intoP0 = [&](const frame::Vec<Real>& level) {
    return frame::ToPicture(p0.pitch, p0.roll, level);
  };
  for (std::size_t k = 0; k < 2; ++k) {
    const frame::Station<Real>& at = st[k + 1];
    Station& view = out.views[k];
    view.centre = FromFrame(intoP0(at.lens - p0.lens));
    view.rotated = true;
    // Row i is the station's own axis i seen in P0's picture frame.
    const frame::Vec<Real> axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 3; ++i) {
      const frame::Vec<Real> axis =
          frame::TurnBy(at.heading, frame::ToLevel(at.pitch, at.roll, axes[i]));
      view.rows[i] = FromFrame(intoP0(axis));
    }
  }
  return out;
}

}  // namespace

std::optional<Stations> PlaceStations(SolverState s) {
  if (s.Tilted()) {
    std::optional<Stations> out = PlaceTilted(s);
    if (out)
      out->ground =
          LaidGround(*out, FromFrame(frame::ToPicture(s.PanoTilt[0].Pitch, s.PanoTilt[0].Roll,
                                                      frame::Vec<Real>{0, 0, 1})));
    return out;
  }
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
  out.ground = LaidGround(out, {0, 0, 1});
  return out;
}

}  // namespace search
