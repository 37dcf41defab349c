#include "ties/Tiles.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ties {

namespace {

constexpr double kRad = std::numbers::pi / 180;
// Degrees each picture reaches past its cell: a detector's features span a few dozen pixels.
constexpr double kMargin = 4;
// The rings' elevations split at these; their cells' widths in azimuth.
constexpr double kRingEdge = 22.5, kCapEdge = 67.5, kCellAzimuth = 45;

Dir Unit(double azDeg, double elDeg) {
  const double a = azDeg * kRad, e = elDeg * kRad;
  return {std::sin(a) * std::cos(e), std::cos(a) * std::cos(e), std::sin(e)};
}

// A tile for the cell, its picture spanning the cell and the margin as seen from its centre.
Tile MakeTile(double az0, double az1, double el0, double el1, double degPerPix) {
  Tile t;
  t.az0 = az0, t.az1 = az1, t.el0 = el0, t.el1 = el1;
  const bool cap = el0 <= -90 + 1e-9 || el1 >= 90 - 1e-9;
  const double azC = cap ? 0 : (az0 + az1) / 2;
  const double elC = cap ? (el1 >= 90 - 1e-9 ? 90 : -90) : (el0 + el1) / 2;
  t.forward = Unit(azC, elC);
  t.right = {std::cos(azC * kRad), -std::sin(azC * kRad), 0};
  t.up = Cross(t.right, t.forward);
  t.focal = 1 / std::tan(degPerPix * kRad);
  // The picture's extent: the cell's outline with the margin, sampled finely.
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  constexpr int kSteps = 48;
  for (int i = 0; i <= kSteps; ++i)
    for (int side = 0; side < 4; ++side) {
      const double f = static_cast<double>(i) / kSteps;
      double el = side < 2 ? el0 + (el1 - el0) * f : (side == 2 ? el0 : el1);
      double az = side < 2 ? (side == 0 ? az0 : az1) : az0 + (az1 - az0) * f;
      el += (side == 2 ? -kMargin : side == 3 ? kMargin : 0);
      const double widen = kMargin / std::max(std::cos(std::clamp(el, -85.0, 85.0) * kRad), 0.1);
      az += side == 0 ? -widen : side == 1 ? widen : 0;
      el = std::clamp(el, -89.9, 89.9);
      const Dir d = Unit(az, el);
      const double z = Dot(d, t.forward);
      if (z < 0.1) continue;
      const double x = Dot(d, t.right) / z, y = Dot(d, t.up) / z;
      minX = std::min(minX, x), maxX = std::max(maxX, x);
      minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
  t.cx = -minX * t.focal;
  t.cy = maxY * t.focal;
  t.width = static_cast<int>(std::ceil((maxX - minX) * t.focal)) + 1;
  t.height = static_cast<int>(std::ceil((maxY - minY) * t.focal)) + 1;
  return t;
}

}  // namespace

Dir Tile::DirectionAt(double x, double y) const {
  const double u = (x - cx) / focal, v = (cy - y) / focal;
  Dir d{forward[0] + u * right[0] + v * up[0], forward[1] + u * right[1] + v * up[1],
        forward[2] + u * right[2] + v * up[2]};
  const double n = std::sqrt(Dot(d, d));
  return {d[0] / n, d[1] / n, d[2] / n};
}

bool Tile::PositionOf(const Dir& d, double& x, double& y) const {
  const double z = Dot(d, forward);
  if (!(z > 1e-6)) return false;
  x = cx + focal * Dot(d, right) / z;
  y = cy - focal * Dot(d, up) / z;
  return true;
}

bool Tile::Owns(const Dir& d) const {
  const double el = std::asin(std::clamp(d[2], -1.0, 1.0)) / kRad;
  if (el < el0 || el >= el1) return el1 >= 90 && el >= 90;
  if (az1 - az0 >= 360) return true;
  double az = std::atan2(d[0], d[1]) / kRad;
  if (az < az0) az += 360;
  return az >= az0 && az < az1;
}

std::vector<Tile> TilesFor(const Panorama& shape, double degPerPix) {
  // The elevations the picture spans.
  const double top = static_cast<double>(shape.VertAt(0));
  const double bottom = static_cast<double>(shape.VertAt(static_cast<Real>(shape.Height())));
  std::vector<Tile> tiles;
  const double rings[][2] = {{-90, -kCapEdge},
                             {-kCapEdge, -kRingEdge},
                             {-kRingEdge, kRingEdge},
                             {kRingEdge, kCapEdge},
                             {kCapEdge, 90}};
  for (const auto& ring : rings) {
    if (ring[1] <= bottom || ring[0] >= top) continue;
    if (ring[0] <= -90 || ring[1] >= 90) {
      tiles.push_back(MakeTile(0, 360, ring[0], ring[1], degPerPix));
      continue;
    }
    // The rings off the horizon start half a cell on, so that their cells' edges do not meet
    // the horizon ring's.
    const double start = ring[0] == -kRingEdge ? -kCellAzimuth / 2 : 0;
    for (double az = start; az < start + 360 - 1e-9; az += kCellAzimuth)
      tiles.push_back(MakeTile(az, az + kCellAzimuth, ring[0], ring[1], degPerPix));
  }
  return tiles;
}

Dir DirectionOf(const Panorama& shape, double column, double row) {
  return Unit(static_cast<double>(shape.HorAt(static_cast<Real>(column))),
              static_cast<double>(shape.VertAt(static_cast<Real>(row))));
}

void PositionOf(const Panorama& shape, const Dir& d, double& column, double& row) {
  double hor = std::atan2(d[0], d[1]) / kRad;
  if (hor < 0) hor += 360;
  const double vert = std::asin(std::clamp(d[2], -1.0, 1.0)) / kRad;
  column = static_cast<double>(shape.Column(static_cast<Real>(hor)));
  row = static_cast<double>(shape.Row(static_cast<Real>(vert)));
}

void Draw(const PanoPixels& p, const Tile& tile, std::vector<std::uint8_t>& grey,
          std::vector<std::uint8_t>& mask) {
  const std::size_t size =
      static_cast<std::size_t>(tile.width) * static_cast<std::size_t>(tile.height);
  grey.assign(size, 128);
  mask.assign(size, 0);
  const int turn = p.shape.Width();
  const bool wraps = p.originX == 0 && p.width >= turn;
  const auto at = [&](int x, int y) {
    if (wraps) x = ((x % turn) + turn) % turn;
    return GreyOf(p.bits[static_cast<std::ptrdiff_t>(y) * p.stride + x]);
  };
  for (int y = 0; y < tile.height; ++y)
    for (int x = 0; x < tile.width; ++x) {
      double column, row;
      PositionOf(p.shape, tile.DirectionAt(x, y), column, row);
      // Pixel centres lie at whole positions: the picture between them is bilinear.
      const double px = column - p.originX, py = row - p.originY;
      const int ix = static_cast<int>(std::floor(px)), iy = static_cast<int>(std::floor(py));
      if (iy < 0 || iy + 1 >= p.height) continue;
      if (!wraps && (ix < 0 || ix + 1 >= p.width)) continue;
      const double fx = px - ix, fy = py - iy;
      const double top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * fx;
      const double bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * fx;
      const std::size_t k = static_cast<std::size_t>(y) * static_cast<std::size_t>(tile.width) +
                            static_cast<std::size_t>(x);
      grey[k] = static_cast<std::uint8_t>(std::lround(top + (bottom - top) * fy));
      mask[k] = 255;
    }
}

}  // namespace ties
