#include "geometry/Mapping.h"

Real PixelToHor(std::int32_t X) {
  const Real a = X * DegPerPix;
  // Strictly greater: 4080 * DegPerPix is exactly 180, so the middle column reads 360, not 0.
  return a > 180 ? a - 180 : a + 180;
}

Real PixelToVert(std::int32_t Y) {
  return 90 - Y * DegPerPix;
}

Real ShiftedHor(Real hor) {
  return hor >= 180 ? hor - 180 : hor + 180;
}

std::int32_t HorToPixel(Real hor) {
  return RoundToInt(ShiftedHor(hor) * PixPerDeg);
}

std::int32_t VertToPixel(Real vert) {
  return RoundToInt((90 - vert) * PixPerDeg);
}
