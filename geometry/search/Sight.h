#pragma once

#include <cmath>

#include "geometry/Mapping.h"

// Directions and where they fall in a panorama, in the doubles the search computes in.
namespace search {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180;  // radians a degree

// A point or direction in P0's frame: x towards P0's 90 degrees, y towards its 0 degrees, z up.
struct V3 {
  double x = 0, y = 0, z = 0;
};
inline V3 operator-(V3 a, V3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline V3 operator*(V3 a, double s) {
  return {a.x * s, a.y * s, a.z * s};
}
inline double Dot(V3 a, V3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline V3 Cross(V3 a, V3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Where a direction seen from a station falls in its panorama, in pixels; the column unwrapped.
struct Pixel {
  double column = 0, row = 0;
};
// A panorama's scale and crop, as the search's doubles.
struct Scale {
  explicit Scale(const Panorama& p)
      : pixPerDeg(p.Width() / 360.0), degPerPix(360.0 / p.Width()), top(double(p.Top())) {}
  double pixPerDeg, degPerPix, top;
};
// The pixel of a direction `w` seen from a station whose panorama adds `turn` degrees to its
// horizontal angle.
inline Pixel PixelOf(V3 w, double turn, const Scale& scale) {
  const double horizontal = std::sqrt(w.x * w.x + w.y * w.y);
  return {(std::atan2(w.x, w.y) / kRad + turn + 180) * scale.pixPerDeg,
          (90 - std::atan2(w.z, horizontal) / kRad) * scale.pixPerDeg - scale.top};
}
// The sight line of a pixel position of P0, of unit length.
inline V3 RayOf(double column, double row, const Scale& scale) {
  const double az = (column * scale.degPerPix - 180) * kRad,
               el = (90 - (row + scale.top) * scale.degPerPix) * kRad;
  return {std::cos(el) * std::sin(az), std::cos(el) * std::cos(az), std::sin(el)};
}

}  // namespace search
