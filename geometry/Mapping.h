#pragma once

#include <cstdint>

#include "geometry/Real.h"

// The equirectangular panoramas are 8160 x 3060 pixels over 360 x 135 degrees. Column 0 is 180
// degrees, the angle grows to the right, column 4080 is 360 (= 0); row 0 is +90 degrees, row 2040
// the horizon and row 3060 -45 degrees.
inline constexpr int PanoWidth = 8160;
inline constexpr int PanoHeight = 3060;

// Both constants are stored as the extended values nearest to 68/3 and 3/68; their product is not
// exactly 1, and the pixel round trip is built on these two values, not on one derived from the
// other.
inline constexpr Real PixPerDeg = 68.0L / 3.0L;
inline constexpr Real DegPerPix = 3.0L / 68.0L;

Real PixelToHor(std::int32_t X);
Real PixelToVert(std::int32_t Y);

// The horizontal angle moved so that column 0 is t = 0: hor - 180 from 180 on, hor + 180 below.
// Angles from -180 to just below 540 all land in 0...360 without being normalised.
Real ShiftedHor(Real hor);

// Nothing is wrapped or clamped: angles outside the panorama give pixels outside it.
std::int32_t HorToPixel(Real hor);
std::int32_t VertToPixel(Real vert);
