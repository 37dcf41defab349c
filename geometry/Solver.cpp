#include "geometry/Solver.h"

#include <array>
#include <cmath>

#include "geometry/TorbelError.h"

namespace {

// The sight line from P0 to the station's ground mark, the taped distance to that mark and P0's
// nodal height span a triangle; z is how far the mark lies below P0's ground point, so the
// station stands -z above P0.
Real StationHeight(Real nodalHeight, Real p0ToStationVert, Real dist) {
  const Real a = 90 + p0ToStationVert;  // between the plumb line down and the sight line
  const Real sinA = SinDeg(a);
  const Real r = ArcSinDeg(Div(Mul(sinA, nodalHeight), dist));
  const Real g = 180 - a - r;
  const Real slant = Div(Mul(SinDeg(g), dist), sinA);
  const Real z = Finite(Mul(slant, CosDeg(a)) - nodalHeight);
  return -z;
}

struct StationInput {
  Real p0ToStationHor, dist, height, stationToP0Hor;
};

struct StationResult {
  Real& deltaHor;
  Real& hor;
  Real& vert;
};

// The current point's horizontal angle from P0's sight line to the station, brought once into
// -180 ... 180.
Real DeltaHor(Real curHor, Real p0ToStationHor) {
  Real delta = curHor - p0ToStationHor;
  if (delta > 180) {
    delta -= 360;
  } else if (delta < -180) {
    delta += 360;
  }
  return Finite(delta);
}

// A: horizontal distance P0 -> point, V: height of the point above P0's nodal point.
void SolveStation(const SolverState& s, Real A, Real V, const StationInput& in, StationResult out) {
  const Real delta = DeltaHor(s.CurHor, in.p0ToStationHor);
  out.deltaHor = delta;

  const Real B = Sqrt(Mul(in.dist, in.dist) - Mul(in.height, in.height));
  const Real AB2 = Mul(Mul(2, A), B);
  const Real L = Sqrt(Finite(Mul(A, A) + Mul(B, B)) - Mul(CosDeg(delta), AB2));
  Real M = Div(Finite(Mul(B, B) + Mul(L, L)) - Mul(A, A), Mul(Mul(2, L), B));
  if (M > 1) M = 1;
  if (M < -1) M = -1;
  const Real O = ArcCosDeg(M);

  Real hor;
  if (delta > -0.05L && delta < 0.05L) {
    hor = in.stationToP0Hor + 180;  // almost behind the station: taken to lie beyond it
  } else if (delta > 179.95L) {
    hor = in.stationToP0Hor;  // almost opposite: seen from the station towards P0
  } else if (delta > 0) {
    hor = in.stationToP0Hor - O;
  } else {
    hor = in.stationToP0Hor + O;
  }
  out.hor = Finite(hor);

  const Real up = Finite(V - in.height);
  out.vert = ArcSinDeg(Div(up, Sqrt(Finite(Mul(L, L) + Mul(up, up)))));
}

// The same with tilted panoramas, in the frame the recorded geometry gives: the point seen from
// P0's lens along its sight line, and from each station's lens in that station's own picture.
void SolveInFrame(SolverState& s) {
  const std::array<frame::Station<Real>, 3> st = FrameOf(s);
  const frame::Vec<Real> sight = frame::Sight(st[0], s.CurHor, s.CurVert);
  const frame::Vec<Real> point = st[0].lens + sight * s.CurDist;
  const StationResult out[2] = {{s.DeltaHor1, s.P1Hor, s.P1Vert}, {s.DeltaHor2, s.P2Hor, s.P2Vert}};
  const Real toward[2] = {s.P0zu1Hor, s.P0zu2Hor};
  for (int k = 0; k < 2; ++k) {
    out[k].deltaHor = DeltaHor(s.CurHor, toward[k]);
    const frame::Vec<Real> seen = frame::Seen(st[static_cast<std::size_t>(k) + 1], point);
    Real hor = frame::HorOf(seen);
    if (hor < 0) hor += 360;
    out[k].hor = Finite(hor);
    out[k].vert = Finite(frame::VertOf(seen));
  }
}

}  // namespace

frame::Measured<Real> MeasuredOf(const SolverState& s) {
  const Tilts& t = s.PanoTilt;
  return {s.NodalHeight,
          {s.P0zu1Hor, s.P0zu2Hor},
          {s.P0zu1Vert, s.P0zu2Vert},
          {s.DistP0P1, s.DistP0P2},
          {s.P1zu0Hor, s.P2zu0Hor},
          {s.P1zu0Vert, s.P2zu0Vert},
          {t[0].Pitch, t[1].Pitch, t[2].Pitch},
          {t[0].Roll, t[1].Roll, t[2].Roll}};
}

void SetStationValues(SolverState& s, const frame::Measured<Real>& m) {
  s.P0zu1Hor = m.toHor[0];
  s.P0zu1Vert = m.toVert[0];
  s.DistP0P1 = m.dist[0];
  s.P0zu2Hor = m.toHor[1];
  s.P0zu2Vert = m.toVert[1];
  s.DistP0P2 = m.dist[1];
  s.P1zu0Hor = m.backHor[0];
  s.P1zu0Vert = m.backVert[0];
  s.P2zu0Hor = m.backHor[1];
  s.P2zu0Vert = m.backVert[1];
  for (std::size_t i = 0; i < s.PanoTilt.size(); ++i) s.PanoTilt[i] = {m.pitch[i], m.roll[i]};
}

std::array<frame::Station<Real>, 3> FrameOf(const SolverState& s) {
  const std::array<frame::Station<Real>, 3> stations = frame::Build(MeasuredOf(s));
  for (const frame::Station<Real>& st : stations) {
    for (const Real v :
         {st.lens.x, st.lens.y, st.lens.z, st.ground.x, st.ground.y, st.ground.z, st.heading}) {
      if (!std::isfinite(v)) RaiseInvalidOp();
    }
  }
  return stations;
}

void SolveHeights(SolverState& s) {
  if (s.Tilted()) {
    const std::array<frame::Station<Real>, 3> st = FrameOf(s);
    s.HeightP1 = Finite(st[1].lens.z - st[0].lens.z);
    s.HeightP2 = Finite(st[2].lens.z - st[0].lens.z);
    return;
  }
  s.HeightP1 = StationHeight(s.NodalHeight, s.P0zu1Vert, s.DistP0P1);
  s.HeightP2 = StationHeight(s.NodalHeight, s.P0zu2Vert, s.DistP0P2);
}

void SolvePoint(SolverState& s) {
  SolveHeights(s);
  SolveStations(s);
}

void SolveStations(SolverState& s) {
  if (s.Tilted()) {
    SolveInFrame(s);
    return;
  }
  const Real A = Mul(CosDeg(s.CurVert), s.CurDist);
  Real V = Sqrt(Mul(s.CurDist, s.CurDist) - Mul(A, A));
  if (s.CurVert < 0) V = -V;

  SolveStation(s, A, V, {s.P0zu1Hor, s.DistP0P1, s.HeightP1, s.P1zu0Hor},
               {s.DeltaHor1, s.P1Hor, s.P1Vert});
  SolveStation(s, A, V, {s.P0zu2Hor, s.DistP0P2, s.HeightP2, s.P2zu0Hor},
               {s.DeltaHor2, s.P2Hor, s.P2Vert});
}

namespace {

// The angle in `station`'s panorama at which SolvePoint puts the point at `dist`, or nothing where
// it cannot solve it there; the heights as they stand in `s`.
std::optional<Real> GuideAt(SolverState s, int station, Real dist) {
  s.CurDist = dist;
  try {
    SolveStations(s);
  } catch (const TorbelError&) {
    return std::nullopt;
  }
  return station == 1 ? s.P1Hor : s.P2Hor;
}

// The same in the frame of tilted panoramas. The directions a station's picture shows at the
// angle `hor` span a half-plane through its lens about the picture's up direction; P0's sight ray
// crosses its plane at one distance at most.
std::optional<Real> DistanceInFrame(const SolverState& s, int station, Real hor) {
  std::array<frame::Station<Real>, 3> st;
  try {
    st = FrameOf(s);
  } catch (const TorbelError&) {
    return std::nullopt;
  }
  const frame::Station<Real>& at = st[static_cast<std::size_t>(station)];
  const frame::Vec<Real> sight = frame::Sight(st[0], s.CurHor, s.CurVert);
  const frame::Vec<Real> normal = frame::TurnBy(
      at.heading,
      frame::ToLevel(at.pitch, at.roll, frame::Vec<Real>{CosDeg(hor), -SinDeg(hor), Real{0}}));
  const auto dot = [](const frame::Vec<Real>& a, const frame::Vec<Real>& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
  };
  const Real across = dot(normal, sight);
  if (!(std::fabs(across) > 1e-12L)) return std::nullopt;  // the ray runs along the plane
  const Real d = dot(normal, at.lens - st[0].lens) / across;
  if (!(d >= 1 && d <= 55000)) return std::nullopt;
  return d;
}

}  // namespace

std::optional<Real> DistanceForGuideLine(const SolverState& state, int station, Real hor) {
  SolverState s = state;
  if (!std::isfinite(hor)) return std::nullopt;
  if (s.Tilted()) {
    // The plane holds the opposite half as well; the solve at the distance found tells them apart.
    const std::optional<Real> d = DistanceInFrame(s, station, hor);
    const std::optional<Real> at = d ? GuideAt(s, station, *d) : std::nullopt;
    if (!at || !(std::fabs(std::remainder(*at - hor, Real{360})) <= 1e-9L)) return std::nullopt;
    return d;
  }
  SolveHeights(s);
  const bool p1 = station == 1;
  const Real towards = p1 ? s.P0zu1Hor : s.P0zu2Hor, back = p1 ? s.P1zu0Hor : s.P2zu0Hor;
  const Real dist = p1 ? s.DistP0P1 : s.DistP0P2, height = p1 ? s.HeightP1 : s.HeightP2;

  // The same normalisation as SolveStation's; within its bands every distance gives one angle.
  Real delta = s.CurHor - towards;
  if (delta > 180) {
    delta -= 360;
  } else if (delta < -180) {
    delta += 360;
  }
  if ((delta > -0.05L && delta < 0.05L) || delta > 179.95L) return std::nullopt;

  // Seen from above, P0, the station and the point span a triangle with the angle alpha at P0 and
  // O at the station, between its sight lines to P0 and to the point; a point right of the station
  // seen from P0 lies left of P0 seen from the station. Only 0 < O < 180 - alpha leaves a third
  // corner in front of both; there the law of sines gives the level distance, which grows with O,
  // so it is the only one.
  const Real alpha = std::fabs(delta);
  const Real side = std::remainder(hor - back, Real{360});
  const Real O = delta > 0 ? -side : side;
  if (!(O > 0 && alpha + O < 180)) return std::nullopt;
  const Real B = Sqrt(Mul(dist, dist) - Mul(height, height));
  const Real cosVert = CosDeg(s.CurVert);
  if (!(cosVert > 0 && B > 0)) return std::nullopt;  // straight up or down, or the station at P0
  const Real d = B * std::sin(O * DegToRad) / std::sin((alpha + O) * DegToRad) / cosVert;
  if (!(d >= 1 && d <= 55000)) return std::nullopt;

  // The solver reaches the angle through the law of cosines, whose rounding differs from the
  // sines' above by some 1e-11 degrees at worst; the solve at the distance found vouches for it.
  const std::optional<Real> at = GuideAt(s, station, d);
  if (!at || !(std::fabs(std::remainder(*at - hor, Real{360})) <= 1e-9L)) return std::nullopt;
  return d;
}
