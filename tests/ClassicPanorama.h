#pragma once

#include <cstdint>

#include "geometry/Mapping.h"

// The classic 8160 x 3060 panorama's mapping as free names, for tests written on that size.
inline constexpr int PanoWidth = Panorama::kClassicWidth;
inline constexpr int PanoHeight = Panorama::kClassicHeight;
inline const Real PixPerDeg = Panorama().PixPerDeg();
inline const Real DegPerPix = Panorama().DegPerPix();

inline Real PixelToHor(std::int32_t X) {
  return Panorama().PixelToHor(X);
}
inline Real PixelToVert(std::int32_t Y) {
  return Panorama().PixelToVert(Y);
}
inline Real ShiftedHor(Real hor) {
  return Panorama::ShiftedHor(hor);
}
inline std::int32_t HorToPixel(Real hor) {
  return Panorama().HorToPixel(hor);
}
inline std::int32_t VertToPixel(Real vert) {
  return Panorama().VertToPixel(vert);
}
