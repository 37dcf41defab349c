#pragma once

#include <QByteArray>

#include "core/WorkingState.h"
#include "geometry/Firmness.h"

// The points as a table for a GIS or a point-cloud program: UTF-8, one header line, ";" between
// the fields, the given decimal separator, CR LF. Each point gives its table label, the seven
// stored values, its local X, Y, Z in metres and how many centimetres of distance one pixel of
// guide-line shift means in the better survey view (empty where no view fixes it), then how firm
// the point is at the given pointing uncertainty: its standard deviations across and along P0's
// sight line in centimetres and the angles its sight lines from P1 and P2 meet P0's at (each empty
// where there is none). The station geometry places the points; pixels are those of each
// station's panorama.
QByteArray PointCsvBytes(const PointList& points, const SolverState& stations,
                         const PanoShapes& shapes, char decimalSeparator,
                         Real pointingPx = DefaultPointingPx);
