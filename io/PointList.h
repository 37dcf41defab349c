#pragma once

#include <QString>

#include "core/WorkingState.h"

// The point list for the companion program: one line per point from `start` to the end, each
// "index:hor vert dist" with the display texts of the P0 angles and distance, always with a
// decimal point, and CR LF after every line.
QString PointListText(const PointList& points, std::size_t start, char decimalSeparator);
