#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "core/WorkingState.h"

// The project file: a positional text file. Lines 1-3 the panorama paths, line 4 a header, lines
// 5-15 the nodal height and the station geometry, line 16 a header, then one line of seven
// ";"-separated numbers per point and "EOF". Single-byte text with CR LF; paths are the file
// system's own bytes.

// The file's bytes for the present state. Numbers are written with the given decimal separator.
QByteArray ProjectFileBytes(const SolverState& s, const std::array<QString, 3>& panoFiles,
                            const PointList& points, char decimalSeparator);

// What a project file holds, applied to a copy of the state it is loaded into.
struct ProjectLoad {
  std::array<std::optional<QString>, 3> panoFiles;  // only the path lines the file has
  SolverState state;  // the station values read, over those there were before; the current
                      // point is the last one solved again
  std::vector<PointRec> points;
};

// The load's step for one line (without its line end), index counted from 0.
void ApplyProjectLine(const QByteArray& line, int index, ProjectLoad& load);

// Reads a whole file over a copy of `before`. Raises the error of the first line that fails
// (a number that is not one, a solver fault while a point is solved again); nothing is applied
// to the program's state by this.
ProjectLoad ReadProject(const QByteArray& bytes, const SolverState& before);
