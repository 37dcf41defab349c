#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "geometry/Solver.h"

// The pixels of one panorama as the search reads them: 0xAARRGGBB words. The picture may be a
// crop of the 8160 x 3060 panorama whose top-left pixel is (originX, originY); pixels outside it
// count as unknown.
struct PanoPixels {
  const std::uint32_t* bits = nullptr;
  int width = 0, height = 0;
  std::ptrdiff_t stride = 0;  // in words
  int originX = 0, originY = 0;
};

struct SearchSettings {
  int half = 7;             // the patches are (2 half + 1) pixels square
  int slide = 4;            // how far the survey patches may slide up and down
  double minScore = 0.7;    // correlation each survey view must reach
  double minMargin = 0.15;  // by how much the best must beat any other place along the line
  double minContrast = 4;   // grey-value spread the aimed patch needs (standard deviation)
};

struct DistanceMatch {
  bool found = false;
  Real distance = 0;
  double score1 = 0, score2 = 0;  // correlation in P1 and P2 at the distance found
  double runnerUp = 0;            // the best combined score elsewhere along the line
  std::size_t samples = 0;        // distances tried
};

// Searches the distances from 1 m to 55000 m for the one at which the picture around the aimed
// pixel of P0 (CurHor, CurVert) best matches the pictures around its projections in P1 and P2.
// The distance is sampled so that no projection moves by more than half a pixel between samples,
// and the best sample is refined below a pixel. `found` only for a clear, single match in both
// survey views.
DistanceMatch SearchDistance(const SolverState& s, const std::array<PanoPixels, 3>& panos,
                             const SearchSettings& settings = {});
