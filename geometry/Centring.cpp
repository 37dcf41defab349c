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
