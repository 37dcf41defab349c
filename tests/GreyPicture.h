#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "geometry/search/PanoPixels.h"

// Grey pixels of a 720 x 360 panorama for the search's pieces: `width` x `height` of them from
// (originX, originY), each the grey value `grey` gives for its panorama column and row (0 to 255
// at most).
struct GreyPicture {
  std::vector<std::uint32_t> bits;
  PanoPixels pixels;
  GreyPicture(int width, int height, int originX, int originY,
              const std::function<int(int x, int y)>& grey)
      : bits(std::size_t(width) * std::size_t(height)) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const auto g =
            static_cast<std::uint32_t>(std::clamp(grey(originX + x, originY + y), 0, 255));
        bits[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
            0xff000000u | g << 16 | g << 8 | g;
      }
    pixels = {bits.data(), width, height, width, originX, originY, Panorama(720, 360)};
  }
  GreyPicture(const GreyPicture&) = delete;  // the pixels point into the bits
};
