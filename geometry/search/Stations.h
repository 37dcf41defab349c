#pragma once

#include <optional>

#include "geometry/Solver.h"
#include "geometry/search/Sight.h"

namespace search {

// Marks almost in line with P0 say nothing of the slope across them: the ground is laid on the
// marks only where the sine of the angle between their directions from P0 is at least this,
constexpr double kLeastSpread = 0.1;
// and where it slopes by at most this many degrees: a site steeper than ground one walks on is
// not taken from them.
constexpr double kSteepestGround = 10;

// A survey station as the solver places it: its nodal point in P0's frame (x towards P0's 90
// degrees, y towards its 0 degrees, z up, metres, P0's nodal point at the origin) and the angle
// its panorama adds to a direction of that frame.
struct Station {
  V3 centre;
  double turn = 0;  // degrees
  // Where a panorama is tilted: the rotation from P0's picture frame into this station's, whose
  // rows are the station's x, y and z in P0's frame; `turn` is then 0.
  bool rotated = false;
  V3 rows[3];

  // The pixel of a direction `w` of P0's frame seen from the station.
  Pixel PixelOf(V3 w, const Scale& scale) const {
    if (rotated) w = {Dot(rows[0], w), Dot(rows[1], w), Dot(rows[2], w)};
    return search::PixelOf(w, turn, scale);
  }
};

// The survey stations P1 and P2, and the ground's normal as the three stations' marks lay it
// (each a nodal height below its lens, so that the marks lie as the lenses do): where the site
// slopes, level ground laid on a patch that spans metres of it fits nowhere.
struct Stations {
  Station views[2];
  V3 ground{0, 0, 1};
};

// The stations of the measured geometry, in P0's picture frame where a panorama is tilted; nothing
// where it cannot be solved, and so there is nothing to search along. StationsOf places the same
// points in extended precision, whose last bits differ: the search keeps its own doubles, with
// which its answers stay as they are.
std::optional<Stations> PlaceStations(SolverState s);

}  // namespace search
