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
// Each row of the design goes to `rows` as well, with its view.
struct DesignRow {
  Vec gradient;
  int view;
  bool column;
};
struct Design {
  std::array<DesignRow, 6> rows;
  std::size_t count = 0;
};
void AddObservations(const View& v, int view, std::array<Vec, 3>& normal, Design& design) {
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
  design.rows[design.count++] = {column, view, true};
  design.rows[design.count++] = {row, view, false};
}

// How a fixed point's column or row in each panorama moves with each of the frame's values, in
// pixels per unit of the value.
struct FrameSlopes {
  std::array<std::array<Real, frame::kFrameValues>, 6> perValue{};  // [view * 2 + (row ? 1 : 0)]
};
// Each value moved a step either way (degrees or metres: far below anything measured).
constexpr Real kStep = 1e-6L;
using SteppedFrames = std::array<std::array<frame::Station<Real>, 3>, 2 * frame::kFrameValues>;

// The frames with each value stepped down ([2j]) and up ([2j + 1]). They do not depend on the
// point, and a table of points exported asks for the same ones point after point: the last are
// kept.
const SteppedFrames& SteppedFramesOf(const frame::Measured<Real>& measured) {
  thread_local frame::Measured<Real> last{};
  thread_local bool known = false;
  thread_local SteppedFrames frames;
  frame::Measured<Real> a = measured, b = last;
  bool same = known && a.nodalHeight == b.nodalHeight;
  for (int j = 0; same && j < frame::kFrameValues; ++j)
    same = frame::ValueAt(a, j) == frame::ValueAt(b, j);
  if (!same) {
    for (int j = 0; j < frame::kFrameValues; ++j) {
      for (int side = 0; side < 2; ++side) {
        frame::Measured<Real> m = measured;
        frame::ValueAt(m, j) += side == 0 ? -kStep : kStep;
        frames[static_cast<std::size_t>(2 * j + side)] = frame::Build(m);
      }
    }
    last = measured;
    known = true;
  }
  return frames;
}

FrameSlopes SlopesOf(const SolverState& state, const PanoShapes& shapes, const Vec& point) {
  FrameSlopes out;
  const frame::Vec<Real> at{point[0], point[1], point[2]};
  const SteppedFrames& stepped = SteppedFramesOf(MeasuredOf(state));
  for (int j = 0; j < frame::kFrameValues; ++j) {
    std::array<std::array<Real, 2>, 3> angles[2];
    for (int side = 0; side < 2; ++side) {
      const auto& st = stepped[static_cast<std::size_t>(2 * j + side)];
      for (std::size_t k = 0; k < 3; ++k) {
        const frame::Vec<Real> d = frame::Seen(st[k], at);
        angles[side][k] = {frame::HorOf(d), frame::VertOf(d)};
      }
    }
    for (std::size_t k = 0; k < 3; ++k) {
      const Real ppd = shapes[k].PixPerDeg();
      const Real hor = std::remainder(angles[1][k][0] - angles[0][k][0], Real{360});
      out.perValue[2 * k][static_cast<std::size_t>(j)] = hor * ppd / (2 * kStep);
      out.perValue[2 * k + 1][static_cast<std::size_t>(j)] =
          -(angles[1][k][1] - angles[0][k][1]) * ppd / (2 * kStep);
    }
  }
  return out;
}

std::optional<Real> MeetingAngle(const View& p0, const View& station) {
  if (!station.shows) return std::nullopt;
  const Real cosine = std::fabs(Dot(p0.d, station.d)) / (p0.slant * station.slant);
  return ArcCosDeg(std::min(cosine, Real{1}));
}

}  // namespace

Firmness FirmnessOf(const SolverState& state, const PanoShapes& shapes, Real pointingPx) {
  View p0, p1, p2;
  Vec across, point{};
  std::optional<std::array<Station, 3>> tiltedFrame;
  try {
    const StationGrounds grounds = StationsOf(state);
    point = From(PositionOf(state.CurHor, state.CurVert, state.CurDist, state.NodalHeight,
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
  Design design;
  const View* views[3] = {&p0, &p1, &p2};
  for (int k = 0; k < 3; ++k) AddObservations(*views[k], k, n, design);
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
  // An adjusted frame is itself uncertain: its values move each panorama's pixel of the point, and
  // the point's least-squares place with them. That place moves by n^-1 A^T times the pixels'
  // move, A the design rows above; carried through the frame's covariance, it adds to the
  // pointing's share.
  std::array<Vec, frame::kFrameValues> moves{};  // the place's move per unit of each value
  const bool frameUncertain = state.FrameCovariance && tiltedFrame;
  if (frameUncertain) {
    const FrameSlopes slopes = SlopesOf(state, shapes, point);
    for (std::size_t j = 0; j < moves.size(); ++j) {
      Vec aty{};  // A^T times the pixels' move
      for (std::size_t row = 0; row < design.count; ++row) {
        const DesignRow& r = design.rows[row];
        const Real moved =
            slopes.perValue[static_cast<std::size_t>(2 * r.view + (r.column ? 0 : 1))][j];
        for (int i = 0; i < 3; ++i) aty[i] += r.gradient[i] * moved;
      }
      for (int i = 0; i < 3; ++i) moves[j][i] = Dot(adj[i], aty) / det;
    }
  }
  const auto deviationCm = [&](const Vec& dir) -> std::optional<Real> {
    Vec adjDir{};
    for (int i = 0; i < 3; ++i) adjDir[i] = Dot(adj[i], dir);
    Real variance = pointingPx * pointingPx * Dot(dir, adjDir) / det;
    if (frameUncertain) {
      const auto& c = *state.FrameCovariance;
      for (std::size_t j = 0; j < moves.size(); ++j) {
        for (std::size_t l = 0; l < moves.size(); ++l) {
          variance += Dot(dir, moves[j]) * Dot(dir, moves[l]) * c[j * moves.size() + l];
        }
      }
    }
    if (!(variance >= 0 && std::isfinite(variance))) return std::nullopt;
    return 100 * std::sqrt(variance);
  };
  f.AcrossCm = deviationCm(across);
  const Vec along = {p0.d[0] / p0.slant, p0.d[1] / p0.slant, p0.d[2] / p0.slant};
  f.AlongCm = deviationCm(along);
  return f;
}
