#pragma once

#include <cstdint>
#include <vector>

#include "geometry/search/PanoPixels.h"
#include "ties/Relative.h"

// A panorama laid out on flat pictures that a feature detector can read: the equirectangular
// picture stretches everything away from the horizon and cuts it at the seam, a perspective
// picture of a part of the sphere does neither. The sphere is cut into cells of azimuth and
// elevation (eight around the horizon, eight above and below it, a cap at either pole), and each
// cell is drawn as a perspective picture of itself with a margin, so that a feature near a
// cell's edge still has its surroundings; each feature then belongs to the cell its direction
// lies in, and is kept once.
namespace ties {

// One cell and its picture's geometry. Directions are the panorama's own: x east, y north, z up
// for the panorama's horizontal angle 0 pointing north.
struct Tile {
  double az0 = 0, az1 = 0, el0 = 0, el1 = 0;  // the cell, degrees (azimuth from north, east on)
  Dir forward{}, right{}, up{};               // the picture's axes
  double focal = 0;                           // pixels per unit of the picture plane
  double cx = 0, cy = 0;                      // where the forward direction falls
  int width = 0, height = 0;

  // The direction of a picture position, and back; false where the direction lies behind.
  Dir DirectionAt(double x, double y) const;
  bool PositionOf(const Dir& d, double& x, double& y) const;
  bool Owns(const Dir& d) const;
};

// The cells a panorama of `shape` has picture in, drawn `degPerPix` degrees a pixel at their
// centres.
std::vector<Tile> TilesFor(const Panorama& shape, double degPerPix);

// A tile's grey picture read from the panorama (bilinear, row-major, `width` a row), and where it
// has picture (255) and where not (0).
void Draw(const PanoPixels& p, const Tile& tile, std::vector<std::uint8_t>& grey,
          std::vector<std::uint8_t>& mask);

// The direction of a panorama position (fractional columns and rows of `shape`) and back.
Dir DirectionOf(const Panorama& shape, double column, double row);
void PositionOf(const Panorama& shape, const Dir& d, double& column, double& row);

}  // namespace ties
