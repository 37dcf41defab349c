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

using Station = frame::Station<Real>;

// The point as one station's panorama sees it: the offset from the lens centre to the point, in
// the level frame and in the picture's own (the same while the panorama is level).
struct View {
  Vec d{}, own{};
  Real level = 0, slant = 0;  // horizontal and straight-line distance in the picture's frame
  Real pixPerDeg = 0;         // the panorama's scale
  bool shows = false;
  const Station* tilted = nullptr;  // the station's place where its panorama is tilted
};

View Seen(const Vec& lens, const Vec& point, const Panorama& pano, const Station* tilted) {
  View v;
  for (int i = 0; i < 3; ++i) v.d[i] = point[i] - lens[i];
  v.own = v.d;
  v.tilted = tilted;
  if (tilted) {
    const frame::Vec<Real> own = frame::Seen(*tilted, {point[0], point[1], point[2]});
    v.own = {own.x, own.y, own.z};
  }
  v.level = std::hypot(v.own[0], v.own[1]);
  v.slant = std::hypot(v.level, v.d[2]);
  v.pixPerDeg = pano.PixPerDeg();
  // At the lens centre or a billionth of the way off straight above it, there is no column.
  if (v.level > 1e-9L * v.slant) {
    const std::int32_t row = pano.VertToPixel(std::atan2(v.own[2], v.level) * RadToDeg);
    v.shows = row >= 0 && row < pano.Height();
  }
  return v;
}

// Column and row change per metre of the point's move, in pixels; both are linear in the angles.
void AddObservations(const View& v, std::array<Vec, 3>& normal) {
  if (!v.shows) return;
  const Real k = v.pixPerDeg * RadToDeg, rr = v.level * v.level, ss = v.slant * v.slant;
  const Vec& d = v.own;
  Vec column = {k * d[1] / rr, -k * d[0] / rr, 0};
  Vec row = {k * d[2] * d[0] / (v.level * ss), k * d[2] * d[1] / (v.level * ss), -k * v.level / ss};
  if (v.tilted) {
    // Worked out in the picture's frame; a move of the point is one in the level frame.
    for (Vec* g : {&column, &row}) {
      const frame::Vec<Real> level = frame::TurnBy(
          v.tilted->heading, frame::ToLevel(v.tilted->pitch, v.tilted->roll,
                                            frame::Vec<Real>{(*g)[0], (*g)[1], (*g)[2]}));
      *g = {level.x, level.y, level.z};
    }
  }
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
  std::optional<std::array<Station, 3>> tiltedFrame;
  try {
    const StationGrounds grounds = StationsOf(state);
    const Vec point = From(PositionOf(state.CurHor, state.CurVert, state.CurDist, state.NodalHeight,
                                      state.PanoTilt[0]));
    if (state.Tilted()) tiltedFrame = FrameOf(state);
    View* views[3] = {&p0, &p1, &p2};
    for (std::size_t k = 0; k < 3; ++k) {
      *views[k] = Seen(From(grounds.Lenses[k]), point, shapes[k],
                       tiltedFrame ? &(*tiltedFrame)[k] : nullptr);
    }
    across = {CosDeg(state.CurHor), -SinDeg(state.CurHor), 0};
    if (tiltedFrame) {
      // Level and square to P0's sight line as it runs in the level frame.
      const Real level = std::hypot(p0.d[0], p0.d[1]);
      across = {p0.d[1] / level, -p0.d[0] / level, 0};
    }
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
