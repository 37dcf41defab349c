#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <vector>

#include "geometry/search/Footprint.h"
#include "geometry/search/Sight.h"

// What depends on the aimed patch's size: where its samples lie, and its control points' sight
// lines. Both keep what they work out for a footprint, for as long as the stage that made them.
namespace search {

// The sample steps of a patch, per axis, with each step's weights of the quadratic through the
// three control steps -half, 0, +half.
struct Layout {
  int half = 0;
  std::vector<int> offsets;
  std::vector<std::array<double, 3>> weights;
  // The aimed patch's values at the samples of each footprint, zero mean and unit length, worked
  // out when first needed: `slot` holds a footprint's place in `references` plus one, 0 where not
  // yet worked out and -1 where P0 has too little picture around the aim. A search uses a few of
  // the footprints, and a layout is made for each stage and worker.
  std::vector<std::int32_t> slot = std::vector<std::int32_t>(kFootprints, 0);
  std::deque<std::vector<double>> references;
  // `count` samples a side, spread evenly over the patch's side.
  Layout(int h, int count) : half(h) {
    for (int k = 0; k < count; ++k) {
      const int o = -h + static_cast<int>(std::lround(2.0 * h * k / (count - 1)));
      const double t = static_cast<double>(o) / h;
      offsets.push_back(o);
      weights.push_back({t * (t - 1) / 2, 1 - t * t, t * (t + 1) / 2});
    }
  }
};

// The aimed patch's half side, and the sight lines of each footprint's control points at that
// size, worked out when first needed. The search keeps one for its patch; a check on a patch of
// another size makes one of its own. A window beside the aimed pixel that still holds it is a
// patch whose centre lies `column`, `row` P0 pixels from it; its layouts serve it alone.
struct Patch {
  explicit Patch(int h) : half(h) {}
  Patch(int h, int c, int r) : half(h), column(c), row(r) {}
  int half;
  int column = 0, row = 0;
  bool Shifted() const { return column != 0 || row != 0; }
  // Where a footprint's sight lines lie in `rays`, plus one; 0 where not yet worked out. They stay
  // where they are as more are added.
  std::vector<std::int32_t> slot = std::vector<std::int32_t>(kFootprints, 0);
  std::deque<std::array<V3, 9>> rays;
};

}  // namespace search
