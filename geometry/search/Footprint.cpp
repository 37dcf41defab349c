#include "geometry/search/Footprint.h"

#include <algorithm>
#include <cmath>

namespace search {

namespace {

// J^T J of the local map J from P0 pixels to survey pixels, as p, q; q, r, and its eigenvalues:
// the squared survey pixels one P0 pixel moves along the directions it moves least and most.
struct Metric {
  double p, q, r, least, most;
};

Metric MetricOf(const Grid& grid) {
  const double span = 2.0 * grid.half;
  const double a = (grid.p[5].column - grid.p[3].column) / span;
  const double c = (grid.p[5].row - grid.p[3].row) / span;
  const double b = (grid.p[7].column - grid.p[1].column) / span;
  const double d = (grid.p[7].row - grid.p[1].row) / span;
  Metric m{a * a + c * c, a * b + c * d, b * b + d * d, 0, 0};
  const double root = std::sqrt((m.p - m.r) * (m.p - m.r) / 4 + m.q * m.q);
  m.least = std::max((m.p + m.r) / 2 - root, 1e-12);
  m.most = std::max((m.p + m.r) / 2 + root, 1e-12);
  return m;
}

}  // namespace

double LeastScale(const Grid& grid) {
  return std::sqrt(MetricOf(grid).least);
}

Footprint FootprintOf(const Grid& grid) {
  // The survey pixels one P0 pixel moves along either axis, and the directions in which it moves
  // least and most.
  const auto [p, q, r, least, most] = MetricOf(grid);
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
