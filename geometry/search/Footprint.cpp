#include "geometry/search/Footprint.h"

#include <algorithm>

namespace search {

Footprint FootprintOf(const Grid& grid) {
  // The survey pixels one P0 pixel moves along either axis, and the directions in which it moves
  // least and most: from the eigenvalues of J^T J of the local map J.
  const double span = 2.0 * grid.half;
  const double a = (grid.p[5].column - grid.p[3].column) / span;
  const double c = (grid.p[5].row - grid.p[3].row) / span;
  const double b = (grid.p[7].column - grid.p[1].column) / span;
  const double d = (grid.p[7].row - grid.p[1].row) / span;
  const double p = a * a + c * c, q = a * b + c * d, r = b * b + d * d;
  const double root = std::sqrt((p - r) * (p - r) / 4 + q * q);
  const double least = std::max((p + r) / 2 - root, 1e-12),
               most = std::max((p + r) / 2 + root, 1e-12);
  Footprint f;
  auto step = [](double squared) {
    // Half octaves of the spacing that makes a step a survey pixel, none where it is one already.
    const double spacing = std::max(1.0, 1 / std::sqrt(squared));
    return std::clamp(static_cast<int>(std::lround(2 * std::log2(spacing))), 0,
                      Footprint::kStretches - 1);
  };
  f.stretch[0] = step(least);
  f.stretch[1] = step(most);
  if (f.Unit()) return f;
  // The eigenvector of the least eigenvalue: (q, least - p), or an axis where q vanishes.
  const double ex = std::fabs(q) > 1e-12 ? q : (p < r ? 1 : 0);
  const double ey = std::fabs(q) > 1e-12 ? least - p : (p < r ? 0 : 1);
  double turn = std::atan2(ey, ex);
  if (turn < 0) turn += kPi;
  f.turn = static_cast<int>(std::lround(turn / (kPi / Footprint::kTurns))) % Footprint::kTurns;
  return f;
}

}  // namespace search
