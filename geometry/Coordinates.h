#pragma once

#include <array>
#include <optional>

#include "geometry/Mapping.h"
#include "geometry/Solver.h"

// Where a point lies in the survey's local frame, in metres: origin at P0's ground point, Z up, Y
// towards the P0 panorama's zero direction (horizontal angle 0), X a quarter turn clockwise from
// Y seen from above (so X, Y, Z is right-handed).
struct LocalPosition {
  Real X = 0, Y = 0, Z = 0;
};

// The point seen from P0's lens centre, NodalHeight above the ground point, in the direction hor,
// vert of P0's picture at the distance dist; the picture's tilt turns that direction into the
// level frame.
LocalPosition PositionOf(Real hor, Real vert, Real dist, Real nodalHeight, const Tilt& tilt = {});

// How firmly the stations fix the current point's distance: how many centimetres of distance one
// pixel of guide-line shift in the P1 and in the P2 panorama means there. Nothing for a station
// whose guide line does not move with the distance (the point in line with it) or where the
// solver cannot place the neighbouring distances.
struct GuideStrength {
  std::optional<Real> P1, P2;
  // The better of the two; nothing when neither station fixes the distance.
  std::optional<Real> Best() const;
  // One pixel means more than 1 % of the distance even in the better view: a point almost in
  // line with both stations, or too far for the baseline.
  bool Weak(Real dist) const;
};

// At the current point (CurHor, CurVert, CurDist) of the state, with its station geometry, in
// the pixels of each station's own panorama.
GuideStrength StrengthOf(const SolverState& s, const PanoShapes& shapes);

// Where the three stations' ground points lie in the local frame (P0's at the origin), each
// camera NodalHeight above its own, as the solver places them: P1 and P2 the horizontal part of
// the measured distance away in P0's sight direction to their marks, at their solved heights.
// Raises TorbelError where the station geometry cannot be solved (nothing measured yet).
struct StationGrounds {
  LocalPosition P0, P1, P2;
  // The lens centres of P0, P1 and P2: NodalHeight above each ground point while the panoramas
  // are level, where the frame puts them where one is tilted.
  std::array<LocalPosition, 3> Lenses;
};
StationGrounds StationsOf(SolverState s);
