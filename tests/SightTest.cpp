#include <gtest/gtest.h>

#include <cmath>

#include "geometry/search/Sight.h"

namespace {

using namespace search;

// A pixel's sight line falls on that pixel again, in the classic panorama and in a crop of a
// finer one, and a panorama turned by a few degrees sees it that many degrees' pixels further on.
TEST(Sight, APixelsSightLineFallsOnIt) {
  for (const Panorama& shape : {Panorama(), Panorama(11968, 2000, 1200)}) {
    const Scale scale(shape);
    for (const auto& [column, row] :
         {Pixel{0, 0}, Pixel{100.25, 700.5}, Pixel{5000, 1999}, Pixel{8159, 1200}}) {
      const V3 ray = RayOf(column, row, scale);
      EXPECT_NEAR(Dot(ray, ray), 1, 1e-15);
      const Pixel back = PixelOf(ray, 0, scale), turned = PixelOf(ray, 12.5, scale);
      EXPECT_NEAR(back.column, column, 1e-9);
      EXPECT_NEAR(back.row, row, 1e-9);
      EXPECT_NEAR(turned.column - back.column, 12.5 * scale.pixPerDeg, 1e-9);
    }
  }
}

}  // namespace
