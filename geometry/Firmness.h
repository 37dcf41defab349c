#pragma once

#include <optional>

#include "geometry/Mapping.h"
#include "geometry/Solver.h"

// How firmly the three views fix a point, in the terms a user defends it with: standard
// deviations in centimetres and the angles at which the sight lines meet.
struct Firmness {
  // Level and at right angles to P0's sight line (sideways in a plan), and along that sight line.
  // Nothing where the views that show the point leave it loose in some direction (all their
  // sight lines in one line) or where the stations are not measured.
  std::optional<Real> AcrossCm, AlongCm;
  // The acute angle in degrees between P0's sight line and the station's where they meet at the
  // point: a point between two stations is as loosely fixed as one beyond them, so both read as
  // near 0. Nothing where the station's panorama does not show the point.
  std::optional<Real> AngleP1, AngleP2;
};

// How far off a careful aim at a sharp mark lands in a panorama, in pixels.
inline constexpr Real DefaultPointingPx = 0.5L;
// Sight lines meeting at less than this many degrees fix a point poorly along them; surveyors
// treat such a point as suspect.
inline constexpr Real kMinMeetingAngle = 15;

// For the current point (CurHor, CurVert, CurDist seen from P0) with the state's station
// geometry. The column and the row of the point in each panorama that shows it count as six
// independent observations of its place, each off by pointingPx pixels (one standard deviation);
// their least-squares estimate of the place, linearised there, gives the deviations.
// A panorama shows the point where it lies above the picture's bottom edge and neither at the
// station's lens centre nor straight above it (the column means nothing there). Nothing at all
// where P0's panorama does not show it.
// Pixels are those of each station's own panorama.
Firmness FirmnessOf(const SolverState& s, const PanoShapes& shapes,
                    Real pointingPx = DefaultPointingPx);
