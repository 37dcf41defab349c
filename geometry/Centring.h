#pragma once

#include <cstdint>

#include "geometry/Mapping.h"

// Where a view of `pano` shows a direction (the marker pixel, rounded), and the scroll positions
// that put it in the middle of a client area of the given size. The left and top edges are the
// only limit applied: the view clamps a position to its own range.
struct Centred {
  std::int32_t markerX = 0, markerY = 0;
  std::int32_t scrollX = 0, scrollY = 0;
};
Centred CentreOf(const Panorama& pano, Real hor, Real vert, int clientWidth, int clientHeight);

// The same for a view that shows `scale` screen pixels a panorama pixel, with its surface
// `offsetX` panorama pixels right of the scrolled area's left edge: the direction lies in the
// middle of the client area. At scale 1 these are CentreOf's positions, which leave the offset
// out.
Centred CentreOf(const Panorama& pano, Real hor, Real vert, int clientWidth, int clientHeight,
                 Real scale, int offsetX);
