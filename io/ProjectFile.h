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
//
// Older readers skip both headers whatever they hold, so what they did not know goes there: after
// line 4's header, " Neigung " and the pitch and roll of P0, P1 and P2 (six numbers joined by ";"),
// only when a panorama is tilted; after line 16's header, each mark by hand as
// " index/station:hor;vert" (the point's index in the file from 0, the survey station 1 or 2).
// A project without either is written as before, byte for byte.

// The file's bytes for the present state. Numbers are written with the given decimal separator.
QByteArray ProjectFileBytes(const SolverState& s, const std::array<QString, 3>& panoFiles,
                            const PointList& points, char decimalSeparator);

// What a project file holds, applied to a copy of the state it is loaded into.
struct ProjectLoad {
  std::array<std::optional<QString>, 3> panoFiles;  // only the path lines the file has
  SolverState state;  // the station values read, over those there were before; the current
                      // point is the last one solved again
  std::vector<PointRec> points;
  // The marks by hand as line 16 lists them, in its order; ReadProject puts them on the points
  // once all are read, and drops those of points the file does not have.
  struct PointMark {
    std::size_t index;
    int station;
    Mark mark;
  };
  std::vector<PointMark> marks;
};

// The load's step for one line (without its line end), index counted from 0.
void ApplyProjectLine(const QByteArray& line, int index, ProjectLoad& load);

// Reads a whole file over a copy of `before`, the tilts as line 4 has them (level where it names
// none) and the marks on their points. Raises the error of the first line that fails
// (a number that is not one, a solver fault while a point is solved again); nothing is applied
// to the program's state by this.
ProjectLoad ReadProject(const QByteArray& bytes, const SolverState& before);
