#pragma once

#include <array>
#include <optional>
#include <vector>

#include "geometry/Real.h"
#include "geometry/search/Footprint.h"
#include "geometry/search/GreyImage.h"
#include "geometry/search/PanoPixels.h"
#include "geometry/search/Patch.h"
#include "geometry/search/Sight.h"

namespace search {

// The P0 pixel the search is aimed at, and P0's picture around it, from which the patches are
// taken.
class Aim {
 public:
  // The pixel nearest to the direction hor, vert; raises TorbelError where it lies beyond the
  // pixel range.
  Aim(const PanoPixels& p0, Real hor, Real vert);

  // The aimed pixel's sight line, of unit length.
  V3 Ray() const { return ray_; }
  // The sight lines of the patch's 3 x 3 control points, spaced along `footprint`'s axes.
  const std::array<V3, 9>& Rays(Patch& patch, const Footprint& footprint) const;
  // The patch's values on a footprint, kept in `layout`; null where P0 lacks the picture.
  const std::vector<double>* Reference(const Patch& patch, Layout& layout,
                                       const Footprint& footprint);
  // The grey-value spread over the patch of half side `half` centred `column`, `row` pixels from
  // the aimed one; nothing where P0 lacks the picture.
  std::optional<double> Spread(int half, int column = 0, int row = 0);

 private:
  Scale scale_;
  GreyImage picture_;
  int column_, row_;
  V3 ray_;
};

}  // namespace search
