#pragma once

#include "geometry/search/Sight.h"

namespace search {

// A patch squeezed in a survey view below this share of its side holds too little of the survey
// picture to compare;
constexpr double kLeastSqueeze = 0.08;
// spread over more than this many pixels to a sample, a different part of it, from which the
// samples pick single pixels.
constexpr double kMostStretch = 8;

// Where a patch's 3 x 3 control points fall in a survey view, row by row.
struct Grid {
  Pixel p[9];
  int half = 0;  // the control points' offset from the centre, in aimed pixels
};

// Whether a patch laid out as `grid` holds enough of the survey picture to compare, neither
// squeezed nor stretched past the limits above along either axis. A survey view near the place
// sees it larger one way as it sees it smaller the other, and up to that is left to compare.
bool Holds(const Grid& grid);

// Survey pixels per aimed pixel, as an area, from the control points' spread.
double Determinant(const Grid& grid);

}  // namespace search
