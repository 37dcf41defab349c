#pragma once

#include <cstdint>
#include <vector>

#include "tools/demo/Scene.h"

namespace demo {

// Renders the pixels [x0, x0 + width) x [y0, y0 + height) of a view's panorama into 8-bit RGB,
// top row first. A pixel whose centre and corners see the same surface part is their weighted mean;
// one with an edge through it is sampled 4 x 4 times. Columns outside the panorama wrap round.
std::vector<std::uint8_t> RenderWindow(const View& view, int x0, int y0, int width, int height);

// The station's whole panorama, rendered by `threads` threads.
std::vector<std::uint8_t> RenderPanorama(const Scene& scene, int station, const Panorama& panorama,
                                         int threads);

// A 24-bit Windows bitmap file of RGB pixels given top row first: a 54-byte header, rows stored
// bottom-up as BGR and padded to four bytes.
std::vector<std::uint8_t> BmpBytes(int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace demo
