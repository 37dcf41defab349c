#pragma once

#include <array>
#include <cstdint>

#include "geometry/Real.h"

// A panorama's size, and the direction each of its pixels looks in. The pixels are square and the
// width spans the full turn: column 0 is 180 degrees, the angle grows to the right, the middle
// column is 360 (= 0). Row r lies at 90 - (r + top) degrees-per-pixel, where `top` counts the rows
// of the full sphere cut off above the picture (0 unless the file says it is a crop).
// The classic panorama, 8160 x 3060 over 360 x 135 degrees from +90, is the default; its numbers
// are those of the fixed mapping the program began with, bit for bit.
class Panorama {
 public:
  static constexpr std::int32_t kClassicWidth = 8160, kClassicHeight = 3060;
  // Beyond this, a picture is refused before any memory is taken.
  static constexpr std::int32_t kMaxWidth = 16384, kMaxHeight = 8192;

  Panorama() = default;
  // Raises TorbelError ("Fehler bei Bereichsprüfung") for sizes that are not positive.
  Panorama(std::int32_t width, std::int32_t height, Real top = 0);

  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  Real Top() const { return top_; }
  // Pixels per degree and degrees per pixel: the extended values nearest to width/360 and
  // 360/width, each worked out on its own (for the classic size, 68/3 and 3/68).
  Real PixPerDeg() const { return pixPerDeg_; }
  Real DegPerPix() const { return degPerPix_; }

  Real PixelToHor(std::int32_t X) const;
  Real PixelToVert(std::int32_t Y) const;
  // The same between pixels, where a zoomed view aims: whole numbers are the pixels themselves,
  // with exactly their angles.
  Real HorAt(Real x) const;
  Real VertAt(Real y) const { return 90 - (y + top_) * degPerPix_; }
  // The column and row of a direction, unrounded. Nothing is wrapped or clamped: angles outside
  // the panorama give pixels outside it.
  Real Column(Real hor) const { return ShiftedHor(hor) * pixPerDeg_; }
  Real Row(Real vert) const { return (90 - vert) * pixPerDeg_ - top_; }
  // The same, rounded ties to even (raises "Fehler bei Bereichsprüfung" beyond 32 bits).
  std::int32_t HorToPixel(Real hor) const { return RoundToInt(Column(hor)); }
  std::int32_t VertToPixel(Real vert) const { return RoundToInt(Row(vert)); }
  // A column brought into 0 ... width - 1 by whole turns.
  std::int32_t Wrapped(std::int32_t column) const { return ((column % width_) + width_) % width_; }

  // The horizontal angle moved so that column 0 is t = 0: hor - 180 from 180 on, hor + 180 below.
  // Angles from -180 to just below 540 all land in 0...360 without being normalised.
  static Real ShiftedHor(Real hor) { return hor >= 180 ? hor - 180 : hor + 180; }

  bool operator==(const Panorama&) const = default;

 private:
  std::int32_t width_ = kClassicWidth, height_ = kClassicHeight;
  Real top_ = 0;
  Real pixPerDeg_ = 68.0L / 3.0L, degPerPix_ = 3.0L / 68.0L;
};

// The panoramas of P0, P1 and P2, in that order.
using PanoShapes = std::array<Panorama, 3>;
