#pragma once

#include <array>
#include <memory>
#include <optional>

#include "geometry/Frame.h"
#include "geometry/Real.h"

// An adjusted frame's covariance: shared, as the states copied for each solve and the undo steps
// hold it, and never changed once made.
using FrameCovarianceRef =
    std::shared_ptr<const std::array<double, frame::kFrameValues * frame::kFrameValues>>;

// The station geometry and the current point: the fields the solver reads and writes. The
// window's working state extends this struct, so the names are those of the window's fields.
struct SolverState {
  // Measured station geometry.
  Real NodalHeight = 0;  // P0's lens centre above its ground point
  Real P0zu1Hor = 0, P0zu1Vert = 0, DistP0P1 = 0;
  Real P0zu2Hor = 0, P0zu2Vert = 0, DistP0P2 = 0;
  Real P1zu0Hor = 0, P1zu0Vert = 0;
  Real P2zu0Hor = 0, P2zu0Vert = 0;
  // How far each panorama's camera stood off level. While all three are level, the solver runs
  // the sums it always has; a tilt puts every station into the frame of Frame.h.
  Tilts PanoTilt{};
  // Where the frame was adjusted: the covariance of its sixteen values (frame::ValueAt's order,
  // row-major), which firmness carries into every point; nothing while the frame is as recorded.
  FrameCovarianceRef FrameCovariance = nullptr;
  bool Tilted() const {
    return !PanoTilt[0].Level() || !PanoTilt[1].Level() || !PanoTilt[2].Level();
  }

  // The current point as seen from P0.
  Real CurHor = 0, CurVert = 0, CurDist = 5;

  // Results, in the order SolvePoint writes them.
  Real HeightP1 = 0, HeightP2 = 0;
  Real DeltaHor1 = 0, P1Hor = 0, P1Vert = 0;
  Real DeltaHor2 = 0, P2Hor = 0, P2Vert = 0;
};

// The recorded geometry of a state, and its frame in extended reals. Raises "Ungültige
// Gleitkommaoperation" where the geometry has no frame.
frame::Measured<Real> MeasuredOf(const SolverState& s);
std::array<frame::Station<Real>, 3> FrameOf(const SolverState& s);
// The way back: a state's station values and tilts set to a recorded frame's; the nodal height
// stays.
void SetStationValues(SolverState& s, const frame::Measured<Real>& m);

// Heights of the survey stations' nodal points above P0's, from the sight lines between the
// stations, the measured distances and P0's nodal height. Writes HeightP1, then HeightP2.
void SolveHeights(SolverState& s);

// The part of SolvePoint after SolveHeights: with the heights as they stand. For a caller that
// solves many distances of one direction with unchanged stations.
void SolveStations(SolverState& s);

// Where the current point (CurHor, CurVert, CurDist seen from P0) appears in the P1 and P2
// panoramas. A floating-point fault raises TorbelError; the fields written before the failing
// step keep their new values and nothing after it is written.
void SolvePoint(SolverState& s);

// The distance along P0's sight ray (CurHor, CurVert) at which the point appears in the panorama of
// `station` (1 or 2) at the horizontal angle `hor` (any real; compared modulo 360): the distance
// that puts that station's guide line through a spot clicked in its view. With CurDist set to the
// result, SolvePoint's P1Hor (P2Hor) equals `hor` modulo 360 to within 1e-9 degrees. Nothing where
// no single distance from 1 to 55000 m reaches `hor`: the ray at the station or straight away from
// it (the guide line stands still there), an angle that no point in front of both stations shows,
// or one reached only nearer than 1 m or beyond 55000 m. Raises TorbelError where the station
// geometry cannot be solved, as SolvePoint would.
std::optional<Real> DistanceForGuideLine(const SolverState& s, int station, Real hor);
