#pragma once

#include <QString>
#include <array>
#include <vector>

#include "commands/Context.h"

// The station frame as one piece: the recorded station values with the panoramas' tilts, which a
// frame taken over from the pictures replaces and "Rückgängig" puts back.

// The texts of the four direction labels (P0 zu P1 and P0 zu P2 with their distances, P1 zu P0,
// P2 zu P0) for a state's station values.
std::array<QString, 4> StationLabels(const Context& c, const SolverState& s);

// Puts a frame in place: its station values and tilts, the stored points (the same points in the
// same order, with their survey angles solved in it) and its covariance. The current point is
// solved again, the labels and the views show the frame.
void PutFrame(Context& c, const frame::Measured<Real>& m, const std::vector<PointRec>& points,
              const FrameCovarianceRef& covariance);
