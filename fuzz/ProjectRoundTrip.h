#pragma once

// What the project fuzzer and its regression test share: the stations a file is loaded into,
// and saving what was loaded.

#include <QString>
#include <array>

#include "io/ProjectFile.h"

// A plausible station geometry, so that files whose station lines are cut short still reach the
// solver with their points.
inline SolverState FuzzStations() {
  SolverState s;
  s.NodalHeight = 1.6L;
  s.P0zu1Hor = 12.5L;
  s.P0zu1Vert = -9.09L;
  s.DistP0P1 = 10;
  s.P0zu2Hor = 102.5L;
  s.P0zu2Vert = -9.09L;
  s.DistP0P2 = 10;
  s.P1zu0Hor = 180;
  s.P1zu0Vert = -9.09L;
  s.P2zu0Hor = 270;
  s.P2zu0Vert = -9.09L;
  return s;
}

inline QByteArray SaveLoaded(const ProjectLoad& load) {
  std::array<QString, 3> paths;
  for (std::size_t i = 0; i < paths.size(); ++i) paths[i] = load.panoFiles[i].value_or(QString());
  return ProjectFileBytes(load.state, paths, load.points, ',');
}
