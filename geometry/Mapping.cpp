#include "geometry/Mapping.h"

Panorama::Panorama(std::int32_t width, std::int32_t height, Real top)
    : width_(width), height_(height), top_(top) {
  if (width <= 0 || height <= 0) RaiseRangeCheck();
  // Each on its own from the exact quotient, so that 8160 gives the nearest values to 68/3 and
  // 3/68 themselves, not one derived from the other.
  pixPerDeg_ = static_cast<Real>(width) / 360;
  degPerPix_ = 360 / static_cast<Real>(width);
}

Real Panorama::PixelToHor(std::int32_t X) const {
  const Real a = X * degPerPix_;
  // The middle column reads 360, not 0; decided on the column itself, as its angle is exactly 180
  // only where the width's scale happens to round that way (as 8160's does).
  return 2 * static_cast<std::int64_t>(X) > width_ ? a - 180 : a + 180;
}

Real Panorama::HorAt(Real x) const {
  const Real a = x * degPerPix_;
  return 2 * x > width_ ? a - 180 : a + 180;
}

Real Panorama::PixelToVert(std::int32_t Y) const {
  return 90 - (Y + top_) * degPerPix_;
}
