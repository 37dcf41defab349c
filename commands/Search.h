#pragma once

#include "commands/Context.h"
#include "core/PanoPicture.h"
#include "geometry/search/DistanceSearch.h"

// F3 in point entry: the distance at which the pictures of the three panoramas agree best is set,
// as if the user had turned it there; where no distance is clearly best, a box says so and
// nothing changes.
void FindDistance(Context& c);

// A loaded panorama as 32-bit pixels: as the loader gives it, shared, or converted.
inline PanoPicture Rgb32(const PanoPicture& picture) {
  const QImage& image = picture.Image;
  return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
             ? picture
             : PanoPicture{image.convertToFormat(QImage::Format_RGB32), picture.Shape};
}

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
