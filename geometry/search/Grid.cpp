#include "geometry/search/Grid.h"

#include <cmath>

namespace search {

bool Holds(const Grid& grid) {
  const double ex = std::hypot(grid.p[5].column - grid.p[3].column, grid.p[5].row - grid.p[3].row);
  const double ey = std::hypot(grid.p[7].column - grid.p[1].column, grid.p[7].row - grid.p[1].row);
  const double span = 2.0 * grid.half;
  return ex > kLeastSqueeze * span && ey > kLeastSqueeze * span && ex < kMostStretch * span &&
         ey < kMostStretch * span;
}

double Determinant(const Grid& grid) {
  const double a = grid.p[5].column - grid.p[3].column, c = grid.p[5].row - grid.p[3].row;
  const double b = grid.p[7].column - grid.p[1].column, d = grid.p[7].row - grid.p[1].row;
  return (a * d - b * c) / (4.0 * grid.half * grid.half);
}

}  // namespace search
