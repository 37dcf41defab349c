#pragma once

#include <array>
#include <cstdint>
#include <vector>

// The relative orientation of two panoramas from the directions in which each sees the same
// points: the essential matrix E with b' E a = 0 for every pair (a in the first panorama's frame,
// b in the second's), estimated robustly from unit sight lines rather than pixels, so that any
// direction on the sphere counts alike.
namespace ties {

using Dir = std::array<double, 3>;        // a unit sight line
using Essential = std::array<double, 9>;  // row-major

inline double Dot(const Dir& a, const Dir& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
inline Dir Cross(const Dir& a, const Dir& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// How far `b` lies from the plane `e` puts it in, seen from `a` and back: the larger of the two
// angles, in radians.
double EpipolarAngle(const Essential& e, const Dir& a, const Dir& b);

struct Relative {
  Essential e{};
  std::vector<std::uint8_t> inlier;  // per pair: whether it lies within the tolerance
  int inliers = 0;
};

// E from the pairs (a[i], b[i]) by RANSAC on eight pairs at a time, refitted on all that agree
// within `tolerance` radians; no inliers where there are fewer than eight pairs or no sample
// fits. `seed` makes the draws repeatable.
Relative EstimateRelative(const std::vector<Dir>& a, const std::vector<Dir>& b, double tolerance,
                          unsigned seed = 1);

}  // namespace ties
