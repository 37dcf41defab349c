#pragma once

#include <QByteArray>

#include "core/WorkingState.h"

// The points for a CAD program: a DXF drawing (AutoCAD 2000, units metres) with each point as a
// 3-D POINT on the layer "Punkte" and its table label as TEXT beside it on "Punktnummern", the
// three stations' ground points with their names on "Standpunkte" (where the station geometry
// can be solved), and, when asked, the sight lines from each station's lens to each point on
// "Sichtlinien". Local X, Y, Z as the CSV export gives them.
QByteArray PointDxfBytes(const PointList& points, const SolverState& stations, bool sightLines);
