#include "geometry/Centring.h"

namespace {

// The scroll position that puts the surface coordinate `pixel` (unrounded) in the middle of a
// client extent.
std::int32_t CentredPosition(Real pixel, int clientExtent) {
  Real position = pixel - clientExtent / 2.0L;
  if (position < 0) position = 0;
  return RoundToInt(position);
}

}  // namespace

Centred CentreOf(const Panorama& pano, Real hor, Real vert, int clientWidth, int clientHeight) {
  const Real x = pano.Column(hor), y = pano.Row(vert);
  return {RoundToInt(x), RoundToInt(y), CentredPosition(x, clientWidth),
          CentredPosition(y, clientHeight)};
}

Centred CentreOf(const Panorama& pano, Real hor, Real vert, int clientWidth, int clientHeight,
                 Real scale, int offsetX) {
  if (scale == 1) return CentreOf(pano, hor, vert, clientWidth, clientHeight);
  const Real x = pano.Column(hor), y = pano.Row(vert);
  // Pixel x covers x .. x + 1 of the surface times the scale; its middle is to be centred.
  return {RoundToInt(x), RoundToInt(y), CentredPosition((x + 0.5L + offsetX) * scale, clientWidth),
          CentredPosition((y + 0.5L) * scale, clientHeight)};
}
