#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>
#include <QRegion>
#include <cstdint>

#include "core/WorkingState.h"
#include "paint/MarkIndex.h"

inline const QColor kRed(255, 0, 0);
inline const QColor kAqua(0, 255, 255);
inline const QColor kGrey(128, 128, 128);
// The spot marked by hand in a survey view: a colour no other mark has.
inline const QColor kMagenta(255, 0, 255);
// Tie points found in the pictures, while the adjustment's report is open: those it used, and
// those it left out.
inline const QColor kTieUsed(0, 200, 0);
inline const QColor kTieLeftOut(255, 140, 0);

// The current point's marker in one view: a cross, a guide line with its tick, or none, with the
// pixel it stands on and its colour; and in point entry, the point's mark by hand in this survey
// view, a diagonal cross open in the middle.
struct CurrentMarker {
  enum class Kind : std::uint8_t { None, Cross, Guide };
  Kind kind = Kind::None;
  QPoint pixel;
  QPointF at;  // the unrounded pixel, where a zoomed view draws it
  QColor colour;
  int top = 0, height = 0;  // the guide line's rows: the panorama's own
  bool marked = false;
  QPoint markPixel;
  QPointF markAt;
  bool operator==(const CurrentMarker&) const = default;
};

// How a view shows its surface on the screen: `scale` screen pixels a panorama pixel, and the
// surface's left and top edges at x0, y0 of the viewport. Panorama pixel (x, y) covers
// x0 + x * scale ... x0 + (x + 1) * scale; a surface point's whole numbers are pixel middles.
struct SurfaceOnScreen {
  double scale = 1;
  double x0 = 0, y0 = 0;
  // The screen pixel a surface point lies on.
  QPoint ScreenPixel(QPointF surface) const;
  // The surface point in the middle of a screen pixel.
  QPointF SurfacePoint(QPoint screen) const;
};

// A marker as drawn on the screen: at its screen pixel, with the guide line over the surface's
// height there. Marks and markers keep their size in screen pixels at every scale; magnified,
// they stand at their unrounded pixel.
CurrentMarker ScreenMarker(const CurrentMarker& marker, const SurfaceOnScreen& on,
                           int surfaceHeight);

// The marker the active mode draws in a station's view, at the angles the state holds.
CurrentMarker MarkerOf(int station, const WorkingState& s);

// The pixels a marker covers.
QRegion MarkerRegion(const CurrentMarker& marker);

// Draws what a panorama view shows inside `area` (surface coordinates, that is panorama pixels;
// the painter is set up for surface coordinates): the station's picture, the marks of the stored
// points, and the given marker, all cut at the edges of the surface, which is as large as the
// picture (8160 x 3060 without one). Everything else
// is filled with `background`: every pixel of `area` is painted. The magnifiers draw through the
// same function with their view's marker, so they show exactly what the view shows.
void PaintPanorama(QPainter& painter, const QRect& area, int station, const WorkingState& s,
                   MarkIndex& marks, const QColor& background, const CurrentMarker& marker);

// The same at any scale: `area` is in screen coordinates (the painter's), each panorama pixel a
// block without smoothing, the marks and the marker one screen pixel sharp over it.
void PaintScaledPanorama(QPainter& painter, const QRect& area, const SurfaceOnScreen& on,
                         int station, const WorkingState& s, MarkIndex& marks,
                         const QColor& background, const CurrentMarker& marker);
