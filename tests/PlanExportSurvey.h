#pragma once

#include <vector>

#include "core/WorkingState.h"
#include "tests/Surveys.h"

// The level survey with twelve points around P0, 3 to 9 m away: the plan the exports draw.
inline void SetPlanExportSurvey(WorkingState& s) {
  static_cast<SolverState&>(s) = LevelSurvey();
  std::vector<PointRec> points;
  for (int i = 0; i < 12; ++i) {
    PointRec p;
    p.Hor0 = 30.0 * i + 7;
    p.Vert0 = -5;
    p.Dist0 = 3 + (i % 7);
    points.push_back(p);
  }
  s.Points.Assign(points);
}
