#pragma once

#include "commands/Context.h"
#include "core/PanoPicture.h"
#include "geometry/search/DistanceSearch.h"

// F3 in point entry: the distance at which the pictures of the three panoramas agree best is set,
// as if the user had turned it there; where no distance is clearly best, a box says so and
// nothing changes.
void FindDistance(Context& c);

// The pixels of a loaded panorama as the distance search reads them.
inline PanoPixels PixelsOf(const PanoPicture& picture) {
  const QImage& image = picture.Image;
  return {reinterpret_cast<const std::uint32_t*>(image.constBits()),
          image.width(),
          image.height(),
          image.bytesPerLine() / 4,
          0,
          0,
          picture.Shape};
}
