#include "geometry/Firmness.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "geometry/Coordinates.h"
#include "geometry/Mapping.h"
#include "geometry/TorbelError.h"

namespace {

using Vec = std::array<Real, 3>;

Real Dot(const Vec& a, const Vec& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Vec From(const LocalPosition& p) {
  return {p.X, p.Y, p.Z};
}

// The point as one station's panorama sees it: the offset from the lens centre to the point.
struct View {
  Vec d{};
  Real level = 0, slant = 0;  // horizontal and straight-line distance to the point
  Real pixPerDeg = 0;         // the panorama's scale
  bool shows = false;
};

View Seen(const Vec& lens, const Vec& point, const Panorama& pano) {
  View v;
  for (int i = 0; i < 3; ++i) v.d[i] = point[i] - lens[i];
  v.level = std::hypot(v.d[0], v.d[1]);
  v.slant = std::hypot(v.level, v.d[2]);
  v.pixPerDeg = pano.PixPerDeg();
  // At the lens centre or a billionth of the way off straight above it, there is no column.
  if (v.level > 1e-9L * v.slant) {
    const std::int32_t row = pano.VertToPixel(std::atan2(v.d[2], v.level) * RadToDeg);
    v.shows = row >= 0 && row < pano.Height();
  }
  return v;
}

// A station's lens centre, NodalHeight above its ground point.
Vec Lens(const LocalPosition& ground, Real nodalHeight) {
  return {ground.X, ground.Y, Finite(ground.Z + nodalHeight)};
}

// Column and row change per metre of the point's move, in pixels; both are linear in the angles.
void AddObservations(const View& v, std::array<Vec, 3>& normal) {
  if (!v.shows) return;
  const Real k = v.pixPerDeg * RadToDeg, rr = v.level * v.level, ss = v.slant * v.slant;
  const Vec column = {k * v.d[1] / rr, -k * v.d[0] / rr, 0};
  const Vec row = {k * v.d[2] * v.d[0] / (v.level * ss), k * v.d[2] * v.d[1] / (v.level * ss),
                   -k * v.level / ss};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) normal[i][j] += column[i] * column[j] + row[i] * row[j];
  }
}

std::optional<Real> MeetingAngle(const View& p0, const View& station) {
  if (!station.shows) return std::nullopt;
  const Real cosine = std::fabs(Dot(p0.d, station.d)) / (p0.slant * station.slant);
  return ArcCosDeg(std::min(cosine, Real{1}));
}

}  // namespace

Firmness FirmnessOf(const SolverState& state, const PanoShapes& shapes, Real pointingPx) {
  View p0, p1, p2;
  Vec across;
  try {
    const StationGrounds grounds = StationsOf(state);
    const Real nodal = state.NodalHeight;
    const Vec point = From(PositionOf(state.CurHor, state.CurVert, state.CurDist, nodal));
    p0 = Seen(Lens(grounds.P0, nodal), point, shapes[0]);
    p1 = Seen(Lens(grounds.P1, nodal), point, shapes[1]);
    p2 = Seen(Lens(grounds.P2, nodal), point, shapes[2]);
    across = {CosDeg(state.CurHor), -SinDeg(state.CurHor), 0};
  } catch (const TorbelError&) {
    return {};  // stations not measured, or beyond any number
  }
  if (!p0.shows) return {};

  Firmness f{std::nullopt, std::nullopt, MeetingAngle(p0, p1), MeetingAngle(p0, p2)};
  std::array<Vec, 3> n{};
  for (const View* v : {&p0, &p1, &p2}) AddObservations(*v, n);
  // The covariance is pointingPx^2 times the inverse of n; the inverse through its adjugate.
  std::array<Vec, 3> adj;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const int i1 = (j + 1) % 3, i2 = (j + 2) % 3, j1 = (i + 1) % 3, j2 = (i + 2) % 3;
      adj[i][j] = n[i1][j1] * n[i2][j2] - n[i1][j2] * n[i2][j1];
    }
  }
  const Real det = n[0][0] * adj[0][0] + n[0][1] * adj[1][0] + n[0][2] * adj[2][0];
  const Real trace = n[0][0] + n[1][1] + n[2][2];
  // Sight lines all in one line leave n singular; rounding makes that a tiny determinant.
  if (!(det > 1e-16L * trace * trace * trace)) return f;
  const auto deviationCm = [&](const Vec& dir) -> std::optional<Real> {
    Vec adjDir{};
    for (int i = 0; i < 3; ++i) adjDir[i] = Dot(adj[i], dir);
    const Real variance = pointingPx * pointingPx * Dot(dir, adjDir) / det;
    if (!(variance >= 0 && std::isfinite(variance))) return std::nullopt;
    return 100 * std::sqrt(variance);
  };
  f.AcrossCm = deviationCm(across);
  const Vec along = {p0.d[0] / p0.slant, p0.d[1] / p0.slant, p0.d[2] / p0.slant};
  f.AlongCm = deviationCm(along);
  return f;
}
