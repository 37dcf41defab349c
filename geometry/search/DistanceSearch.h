#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "geometry/Mapping.h"
#include "geometry/Solver.h"

// The pixels of one panorama as the search reads them: 0xAARRGGBB words. The picture may be a
// part of the panorama `shape` whose top-left pixel is (originX, originY); pixels outside it
// count as unknown. Each panorama is read at its own size and scale.
struct PanoPixels {
  const std::uint32_t* bits = nullptr;
  int width = 0, height = 0;
  std::ptrdiff_t stride = 0;  // in words
  int originX = 0, originY = 0;
  Panorama shape;
};

// Every decision the search makes, each with why it is what it is.
struct SearchSettings {
  int half = 7;                // the patches are (2 half + 1) pixels square at least,
  int maxHalf = 15;            // and grow up to this where the texture is weak:
  int growStep = 4;            // by this much at a time,
  double growContrast = 12;    // while their grey-value spread is below this
  int slide = 1;               // pixels the survey patches may slide across the line searched
  double minScore = 0.7;       // correlation each survey view must reach
  double minMargin = 0.31;     // by how much the best must beat any other place along the line,
                               // both weighed scores taken as Fisher's z
  double minCombined = 0.65;   // the weighed score (DistanceMatch::combined) the best must reach
  double minContrast = 4;      // grey-value spread the largest aimed patch needs
  double localStep = 6;        // a grown patch's answer stands only where the aimed pixels, moved
  double minLocalDrop = 0.01;  // this many pixels along the line in either view, fit that much
                               // worse: a smooth ramp fits anywhere (half the garden's least drop)
  double loneRatio = 0.1;      // a view whose place moves less than this share of the other's
                               // with the distance cannot vouch for it: the other decides alone,
  double minLoneScore = 0.9;   // and must match at least this well (one view at 0.74 put a
                               // board's point 6 px off)
  bool warp = true;            // false: compare square patches, as if every surface faced P0
  double coarseStep = 1.0;     // pixels the projections move between the first pass's distances
  int coarseSamples = 9;       // samples a side of the first pass's sparse patches: enough to
                               // tell a place from its neighbours, few enough for 15,000 places
  int refined = 4;             // first-pass peaks refined: more costs time, and a right place
                               // below the fourth is rare once every plane is tried
  int tuningSamples = 15;      // samples a side that turning a plane needs, fewer than placing it
  int tuningRounds = 3;        // turns and placings after the first while the place still moves:
                               // a plane turned at a place a little off fits best a little off
  double tapSpacing = 1.5;     // where a survey view sees a P0 pixel as several, a sample averages
  int maxTaps = 4;             // it with taps this far apart (below the smoothing's reach), at
                               // most this many a side (as many as a board 7 times as wide needs)
  bool crossCheck = true;      // false: an answer need not still beat the next best place on a
                               // patch of another size (a chance fit holds on one size only)
  int refineSteps = 4;         // steps a pixel when refining: quarter pixels, as the parabola
                               // through them finds the peak to a tenth of a pixel

  // Whether every value lies where the search means it to: patch sizes that grow, floors that are
  // correlations, steps that move.
  bool Valid() const {
    return half >= 2 && maxHalf >= half && maxHalf <= 31 && growStep >= 1 && growContrast >= 0 &&
           slide >= 0 && slide <= 3 && minScore > -1 && minScore < 1 && minCombined > -1 &&
           minCombined < 1 && loneRatio >= 0 && loneRatio < 1 && minLoneScore > -1 &&
           minLoneScore < 1 && minMargin >= 0 && minContrast >= 0 && localStep > 0 &&
           minLocalDrop < 1 && coarseStep > 0 && coarseStep <= 4 && coarseSamples >= 3 &&
           coarseSamples <= 2 * half + 1 && refined >= 1 && tuningSamples >= 3 &&
           tuningRounds >= 0 && tuningRounds <= 8 && tapSpacing >= 0.5 && maxTaps >= 1 &&
           maxTaps <= 8 && refineSteps >= 1 && refineSteps <= 16;
  }
};

// Why no distance was given.
enum class Refusal : std::uint8_t {
  None,       // a distance was found
  NoPicture,  // a panorama holds no picture around the place, or the stations cannot be solved
  Plain,      // too little structure around the aimed pixel
  NoMatch,    // no place along the line where both survey views match it well
  Ambiguous,  // another place along the line fits nearly as well
  OneView,  // only one survey view moves with the distance here, and it does not match well enough
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
// that are not Valid() find nothing.
DistanceMatch SearchDistance(const SolverState& s, const std::array<PanoPixels, 3>& panos,
                             const SearchSettings& settings = {});
