#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>
#include <QRegion>

#include "app/WorkingState.h"
#include "ui/MarkIndex.h"

inline const QColor kRed(255, 0, 0);
inline const QColor kAqua(0, 255, 255);
inline const QColor kGrey(128, 128, 128);

// Draws what a panorama view shows inside `area` (surface coordinates, that is panorama pixels;
// the painter is set up for surface coordinates): the station's bitmap, the marks of the stored
// points, and the current point's marker of the active mode, all cut at the edges of the
// 8160 x 3060 surface. Everything else is filled with `background`: every pixel of `area` is
// painted. The magnifiers draw through the same function, so they show exactly what the view
// shows.
void PaintPanorama(QPainter& painter, const QRect& area, int station, const WorkingState& s,
                   MarkIndex& marks, const QColor& background);

// The pixels the current point's marker covers in a station's view (empty when the mode draws
// none there).
QRegion MarkerRegion(int station, const WorkingState& s);
