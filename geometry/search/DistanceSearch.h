#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "geometry/Solver.h"
#include "geometry/search/PanoPixels.h"
#include "geometry/search/SearchSettings.h"

// Why no distance was given.
enum class Refusal : std::uint8_t {
  None,       // a distance was found
  NoPicture,  // a panorama holds no picture around the place, or the stations cannot be solved
  Plain,      // too little structure around the aimed pixel
  NoMatch,    // no place along the line where both survey views match it well
  Ambiguous,  // another place along the line fits nearly as well
  OneView,   // only one survey view moves with the distance here, and it does not match well enough
  FrameOff,  // a survey view shows the place further beside the answer than the stations allow
  Edge,      // the aim lies beside an edge, and its own side does not fix the place
};

struct DistanceMatch {
  bool found = false;
  Refusal refusal = Refusal::NoPicture;
  Real distance = 0;
  double score1 = 0, score2 = 0;  // correlation in P1 and P2 at the distance found
  double combined = 0;            // both, each weighed by how much picture it compared
  double runnerUp = 0;            // the best combined score elsewhere along the line
  std::size_t samples = 0;        // distances tried in the first pass
  int half = 0;                   // the patch size used
};

// Searches the distances from 1 m to 55000 m for the one at which the picture around the aimed
// pixel of P0 (CurHor, CurVert) best matches what P1 and P2 see there. The aimed patch is laid on
// a plane through each candidate point, turned the ways surfaces usually are (facing P0, level
// ground, upright walls), and P1 and P2 are read where that plane's points appear in them, so
// that a surface seen obliquely or foreshortened still matches. A first pass over all distances
// on sparse patches finds the few places worth a closer look; each is then refined on whole
// patches below a pixel. `found` only for a clear, single match in both survey views. Settings
// whose Check() names a field find nothing.
DistanceMatch SearchDistance(const SolverState& s, const std::array<PanoPixels, 3>& panos,
                             const SearchSettings& settings = {});
