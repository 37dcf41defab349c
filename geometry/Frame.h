#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <optional>

#include "geometry/Real.h"

// How far a panorama's camera stood off level, in degrees, as a 360-degree camera's photo-sphere
// tags (GPano PosePitchDegrees, PoseRollDegrees) give it. `Pitch` raises the picture's middle
// direction (horizontal angle 0) above the horizon; `Roll` turns the picture about that direction
// so that its 90-degree direction sinks below the horizon: as the roll grows, the horizon in the
// picture turns counter-clockwise. A level camera has 0 and 0.
struct Tilt {
  Real Pitch = 0, Roll = 0;
  bool Level() const { return Pitch == 0 && Roll == 0; }
  bool operator==(const Tilt&) const = default;
};

// The tilts of P0, P1 and P2, in that order.
using Tilts = std::array<Tilt, 3>;

// The survey's frame and the sums that lead into it, written once for any number type: extended
// reals for the solver, and the adjustment's automatic derivatives. A vector of a panorama's own
// frame has x towards its 90 degrees, y towards its 0 degrees and z up its picture; a vector of
// the level frame (the survey's local frame of Coordinates.h) has Y towards P0's levelled 0
// degrees, X a quarter turn clockwise from it, Z up.
namespace frame {

template <typename T>
struct Vec {
  T x, y, z;
};

template <typename T>
Vec<T> operator+(const Vec<T>& a, const Vec<T>& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
template <typename T>
Vec<T> operator-(const Vec<T>& a, const Vec<T>& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
template <typename T>
Vec<T> operator*(const Vec<T>& a, const T& s) {
  return {a.x * s, a.y * s, a.z * s};
}

template <typename T>
T Radians(const T& degrees) {
  return degrees * T(DegToRad);
}
template <typename T>
T Degrees(const T& radians) {
  return radians * T(RadToDeg);
}

// The unit vector of a direction in degrees.
template <typename T>
Vec<T> Unit(const T& hor, const T& vert) {
  using std::cos;
  using std::sin;
  const T h = Radians(hor), v = Radians(vert);
  return {sin(h) * cos(v), cos(h) * cos(v), sin(v)};
}

// The horizontal angle (-180 ... 180) and the vertical angle of a vector, in degrees.
template <typename T>
T HorOf(const Vec<T>& d) {
  using std::atan2;
  return Degrees(atan2(d.x, d.y));
}
template <typename T>
T VertOf(const Vec<T>& d) {
  using std::atan2;
  using std::sqrt;
  return Degrees(atan2(d.z, sqrt(d.x * d.x + d.y * d.y)));
}

// From a tilted panorama's own frame into its level frame (whose 0 degrees lies under the
// picture's): first the roll about the picture's 0-degree direction, then the pitch about its
// 90-degree direction.
template <typename T>
Vec<T> ToLevel(const T& pitch, const T& roll, const Vec<T>& c) {
  using std::cos;
  using std::sin;
  const T cr = cos(Radians(roll)), sr = sin(Radians(roll));
  const T cp = cos(Radians(pitch)), sp = sin(Radians(pitch));
  const Vec<T> r{cr * c.x + sr * c.z, c.y, cr * c.z - sr * c.x};
  return {r.x, cp * r.y - sp * r.z, sp * r.y + cp * r.z};
}
// The way back.
template <typename T>
Vec<T> ToPicture(const T& pitch, const T& roll, const Vec<T>& w) {
  using std::cos;
  using std::sin;
  const T cr = cos(Radians(roll)), sr = sin(Radians(roll));
  const T cp = cos(Radians(pitch)), sp = sin(Radians(pitch));
  const Vec<T> p{w.x, cp * w.y + sp * w.z, cp * w.z - sp * w.y};
  return {cr * p.x - sr * p.z, p.y, sr * p.x + cr * p.z};
}

// A level vector turned so that its horizontal angle grows by `degrees`, and back.
template <typename T>
Vec<T> TurnBy(const T& degrees, const Vec<T>& w) {
  using std::cos;
  using std::sin;
  const T c = cos(Radians(degrees)), s = sin(Radians(degrees));
  return {c * w.x + s * w.y, c * w.y - s * w.x, w.z};
}

// The recorded station geometry as the frame reads it: P0's nodal height; for P1 and P2 (index 0
// and 1) P0's aim at the station's ground mark, the taped distance between the ground marks and
// the station's aim at P0's ground mark, all as angles of the pictures they were taken in; and
// the three panoramas' tilts.
template <typename T>
struct Measured {
  T nodalHeight;
  std::array<T, 2> toHor, toVert, dist, backHor, backVert;
  std::array<T, 3> pitch, roll;
};

// The sixteen values of a frame, in the order its adjustment keeps them: P0's aim at P1's mark,
// the tape to it, the same for P2; P1's and P2's aims at P0's mark; then the pitch and roll of
// P0, P1 and P2.
inline constexpr int kFrameValues = 16;
template <typename T>
T& ValueAt(Measured<T>& m, int j) {
  switch (j) {
    case 0:
      return m.toHor[0];
    case 1:
      return m.toVert[0];
    case 2:
      return m.dist[0];
    case 3:
      return m.toHor[1];
    case 4:
      return m.toVert[1];
    case 5:
      return m.dist[1];
    case 6:
      return m.backHor[0];
    case 7:
      return m.backVert[0];
    case 8:
      return m.backHor[1];
    case 9:
      return m.backVert[1];
    default:
      return (j - 10) % 2 == 0 ? m.pitch[static_cast<std::size_t>((j - 10) / 2)]
                               : m.roll[static_cast<std::size_t>((j - 10) / 2)];
  }
}

// The same values in another number type.
template <typename To, typename From>
Measured<To> Cast(Measured<From> m) {
  Measured<To> out{};
  out.nodalHeight = static_cast<To>(m.nodalHeight);
  for (int j = 0; j < kFrameValues; ++j) ValueAt(out, j) = static_cast<To>(ValueAt(m, j));
  return out;
}

// One panorama's place: its lens and ground mark in the level frame, the horizontal angle its
// level frame adds to the survey's (P0's is 0), and its tilt.
template <typename T>
struct Station {
  Vec<T> lens, ground;
  T heading, pitch, roll;
};

// The frame the recorded geometry gives: P0's ground mark at the origin with its lens nodalHeight
// straight above; each survey station's mark where P0's aim meets the taped distance, its heading
// from its own aim at P0's mark, and its lens straight above its mark at the height at which that
// aim passes through P0's mark. Not finite where the geometry has no such frame (a tape shorter
// than the nodal height allows, a station at P0).
template <typename T>
std::array<Station<T>, 3> Build(const Measured<T>& m) {
  using std::sqrt;
  std::array<Station<T>, 3> s;
  const T zero(0);
  s[0] = {{zero, zero, m.nodalHeight}, {zero, zero, zero}, zero, m.pitch[0], m.roll[0]};
  for (int k = 0; k < 2; ++k) {
    const Vec<T> a = ToLevel(m.pitch[0], m.roll[0], Unit(m.toHor[k], m.toVert[k]));
    const T h = m.nodalHeight;
    // |lens0 + t a| = dist, the mark in front of P0's lens.
    const T t = -h * a.z + sqrt(h * h * a.z * a.z - h * h + m.dist[k] * m.dist[k]);
    const Vec<T> ground = s[0].lens + a * t;
    const int i = k + 1;
    const Vec<T> b = ToLevel(m.pitch[i], m.roll[i], Unit(m.backHor[k], m.backVert[k]));
    const Vec<T> home{-ground.x, -ground.y, zero};
    const T level = sqrt(home.x * home.x + home.y * home.y);
    const T height = -ground.z - level * b.z / sqrt(b.x * b.x + b.y * b.y);
    s[i] = {ground + Vec<T>{zero, zero, height}, ground, HorOf(home) - HorOf(b), m.pitch[i],
            m.roll[i]};
  }
  return s;
}

// Where a level point lies in a station's own picture frame, seen from its lens.
template <typename T>
Vec<T> Seen(const Station<T>& s, const Vec<T>& point) {
  return ToPicture(s.pitch, s.roll, TurnBy(-s.heading, point - s.lens));
}

// The level sight line of a direction of a station's picture.
template <typename T>
Vec<T> Sight(const Station<T>& s, const T& hor, const T& vert) {
  return TurnBy(s.heading, ToLevel(s.pitch, s.roll, Unit(hor, vert)));
}

}  // namespace frame
