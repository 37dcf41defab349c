#pragma once

#include <cmath>

#include "geometry/search/Grid.h"
#include "geometry/search/Sight.h"

namespace search {

// How a patch's samples lie in P0. Where a survey view sees the place smaller than P0 does, P0
// pixels a step apart fall within one of its pixels: the patch then compares little picture, and
// any smooth spot matches it. So the samples are spaced along two perpendicular axes of P0, the
// first turned by `turn` steps of 2.5 degrees, 2^(stretch / 2) pixels apart, so that each step
// moves about a pixel in the survey view too; and each sample averages P0 over its spacing, as
// the survey view's pixel does.
struct Footprint {
  static constexpr int kTurns = 72, kStretches = 9;  // up to 16 pixels apart
  int turn = 0;
  int stretch[2] = {0, 0};
  int Index() const { return (turn * kStretches + stretch[0]) * kStretches + stretch[1]; }
  bool Unit() const { return stretch[0] == 0 && stretch[1] == 0; }
  // The P0 offsets of one step along either axis.
  void Axes(double& ax, double& ay, double& bx, double& by) const {
    const double t = turn * kPi / kTurns;
    const double a = std::exp2(stretch[0] / 2.0), b = std::exp2(stretch[1] / 2.0);
    ax = a * std::cos(t);
    ay = a * std::sin(t);
    bx = -b * std::sin(t);
    by = b * std::cos(t);
  }
};
constexpr int kFootprints = Footprint::kTurns * Footprint::kStretches * Footprint::kStretches;

// Survey pixels one P0 pixel spans where the patch's control points fall on `grid`, along the
// direction the view squeezes it most.
double LeastScale(const Grid& grid);

// The footprint that spaces the samples about a survey pixel apart, where the unit footprint's
// control points fall on `grid`.
Footprint FootprintOf(const Grid& grid);

}  // namespace search
