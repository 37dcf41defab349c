#pragma once

#include <cstddef>
#include <cstdint>

#include "geometry/Mapping.h"

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

// The grey value of a 0xAARRGGBB pixel, weighted as the eye weighs the channels.
inline int GreyOf(std::uint32_t p) {
  return static_cast<int>(((p >> 16 & 255) * 77 + (p >> 8 & 255) * 150 + (p & 255) * 29) >> 8);
}
