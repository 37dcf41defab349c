#include "commands/Points.h"

#include "commands/Views.h"

void AddPoint(Context& c) {
  const WorkingState& s = c.s;
  // Angles solved from station values far out of range can be beyond a double: refused here
  // rather than stored as infinity.
  c.s.Points.Append({ToDouble(s.CurHor), ToDouble(s.CurVert), ToDouble(s.CurDist),
                     ToDouble(s.P1Hor), ToDouble(s.P1Vert), ToDouble(s.P2Hor), ToDouble(s.P2Vert)});
  AppendPointRows(c, 1);
}

void AppendPointRows(Context& c, std::size_t count) {
  const PointList& points = c.s.Points;
  std::vector<TableRow> rows;
  rows.reserve(count);
  for (std::size_t i = points.size() - count; i < points.size(); ++i) {
    // The label is the count of rows before it and is never renumbered.
    rows.push_back({QStringLiteral(".") + QString::number(c.window.PointRows() + rows.size()),
                    c.Fix(points[i].Hor0), c.Fix(points[i].Vert0), c.Fix(points[i].Dist0)});
  }
  c.window.AppendRows(std::move(rows));
  // Selecting the new empty row: no point is shown as selected.
  SelectRow(c, c.window.PointRows() + 1);
}

void SelectRow(Context& c, int ARow) {
  c.window.SelectRow(ARow);
  SelectCell(c, ARow);
}

void SelectCell(Context& c, int ARow) {
  WorkingState& s = c.s;
  if (ARow - 1 == s.SelIndex) return;
  s.SelIndex = ARow - 1;
  if (ARow - 1 >= c.window.PointRows()) return;  // the empty last row holds no point
  const PointRec& r = s.Points[static_cast<std::size_t>(ARow - 1)];
  s.CurHor = r.Hor0;
  s.CurVert = r.Vert0;
  s.CurDist = r.Dist0;
  // Solved afresh from the present station data, not taken from the stored angles.
  SolvePoint(s);
  CenterViews(c, true);
}

void DeletePoint(Context& c) {
  const int row = c.window.SelectedRow();
  if (row - 1 >= c.window.PointRows()) return;
  c.s.Points.Erase(static_cast<std::size_t>(row - 1));
  // The rows below move up; the selection stays on the same row number, and SelIndex with it,
  // so the point that moves up is now the selected one.
  c.window.RemoveRow(row);
  c.window.SelectRow(row);
  for (int station = 0; station < 3; ++station) {
    c.window.MarkViewForRepaint(station);
    c.window.MarkMagnifierForRepaint(station);
  }
  c.window.PaintNow();
}
