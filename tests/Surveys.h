#pragma once

#include <cmath>

#include "geometry/Solver.h"

// Two stations on level ground 10 m from P0 at a right angle to each other, P0's lens 1.6 m up;
// all three panoramas share their zero direction.
inline SolverState LevelSurvey() {
  SolverState s;
  s.NodalHeight = 1.6L;
  s.P0zu1Hor = 0;
  s.P0zu2Hor = 90;
  s.P1zu0Hor = 180;
  s.P2zu0Hor = 270;
  s.DistP0P1 = s.DistP0P2 = 10;
  s.P0zu1Vert = s.P0zu2Vert = s.P1zu0Vert = s.P2zu0Vert = -std::atan(1.6L / 10) * RadToDeg;
  return s;
}
