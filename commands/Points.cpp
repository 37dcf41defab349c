#include "commands/Points.h"

#include "commands/StationFrame.h"
#include "commands/Views.h"

// The selection's step for a row, whether or not it was selected before.
void ShowRowPoint(Context& c, int row);

namespace {

TableRow RowOf(const Context& c, std::size_t i) {
  return PointRow(c, c.s.Points[i], c.s.Points.Label(i));
}

void ShowEdits(Context& c) {
  c.window.EnableUndo(!c.undoEdits.empty(), !c.redoEdits.empty());
}

// Takes the point at `index` out of the list and the table; the selection stays on its row, as
// after "Punkt löschen".
void Remove(Context& c, std::size_t index) {
  c.s.Points.Erase(index);
  const int row = static_cast<int>(index);
  c.window.RemoveRow(row);
  c.window.SelectRow(row);
  RepaintAll(c);
}

// Puts a point back into the list and the table at its place.
void PutBack(Context& c, const PointEdit& edit) {
  c.s.Points.Insert(edit.index, edit.point, edit.label);
  c.window.InsertRow(static_cast<int>(edit.index), RowOf(c, edit.index));
}

// Selects a point's row and shows the point, whichever row was selected before.
void SelectAndShow(Context& c, std::size_t index) {
  const int row = static_cast<int>(index);
  c.window.SelectRow(row);
  ShowRowPoint(c, row);
  RepaintAll(c);
}

// Gives the point at `index` new values where it stands, in the list and in its row.
void Put(Context& c, std::size_t index, const PointRec& p) {
  c.s.Points.Replace(index, p);
  c.window.ReplaceRow(static_cast<int>(index), RowOf(c, index));
}

// An edit done (again): the opposite of taking it back.
void Apply(Context& c, const Edit& any) {
  if (const auto* frame = std::get_if<FrameEdit>(&any)) {
    PutFrame(c, frame->after, frame->pointsAfter, frame->covarianceAfter);
    return;
  }
  const PointEdit& edit = std::get<PointEdit>(any);
  switch (edit.kind) {
    case PointEdit::Kind::Added:
      PutBack(c, edit);
      // As after adding: the empty row is selected, and no point is.
      SelectRow(c, c.window.PointRows());
      RepaintAll(c);
      break;
    case PointEdit::Kind::Deleted:
      Remove(c, edit.index);
      break;
    case PointEdit::Kind::Replaced:
      Put(c, edit.index, edit.point);
      SelectAndShow(c, edit.index);
      break;
  }
}

void TakeBack(Context& c, const Edit& any) {
  if (const auto* frame = std::get_if<FrameEdit>(&any)) {
    PutFrame(c, frame->before, frame->pointsBefore, frame->covarianceBefore);
    return;
  }
  const PointEdit& edit = std::get<PointEdit>(any);
  switch (edit.kind) {
    case PointEdit::Kind::Added:
      Remove(c, edit.index);
      SelectRow(c, c.window.PointRows());
      break;
    case PointEdit::Kind::Deleted:
      PutBack(c, edit);
      SelectAndShow(c, edit.index);
      break;
    case PointEdit::Kind::Replaced:
      Put(c, edit.index, edit.before);
      SelectAndShow(c, edit.index);
      break;
  }
}

// The current point as it is stored. Angles solved from station values far out of range can be
// beyond a double: refused here rather than stored as infinity.
PointRec CurrentRecord(const WorkingState& s) {
  return {ToDouble(s.CurHor), ToDouble(s.CurVert), ToDouble(s.CurDist),
          ToDouble(s.P1Hor),  ToDouble(s.P1Vert),  ToDouble(s.P2Hor),
          ToDouble(s.P2Vert), s.CurMark1,          s.CurMark2};
}

// Which survey views a point is marked in by hand.
QString MarksText(const PointRec& p) {
  if (p.Tie()) return QStringLiteral("P1 P2");
  if (p.Mark1) return QStringLiteral("P1");
  if (p.Mark2) return QStringLiteral("P2");
  return {};
}

}  // namespace

TableRow PointRow(const Context& c, const PointRec& p, int label) {
  return {QStringLiteral(".") + QString::number(label), c.Fix(p.Hor0), c.Fix(p.Vert0),
          c.Fix(p.Dist0), MarksText(p)};
}

void AddPoint(Context& c) {
  const PointRec p = CurrentRecord(c.s);
  c.s.Points.Append(p);
  const std::size_t index = c.s.Points.size() - 1;
  c.undoEdits.push_back(PointEdit{PointEdit::Kind::Added, index, p, c.s.Points.Label(index)});
  c.redoEdits.clear();
  AppendPointRows(c, 1);
  ShowEdits(c);
}

void ReplacePoint(Context& c, std::size_t index) {
  const PointRec p = CurrentRecord(c.s);
  c.undoEdits.push_back(
      PointEdit{PointEdit::Kind::Replaced, index, p, c.s.Points.Label(index), c.s.Points[index]});
  c.redoEdits.clear();
  Put(c, index, p);
  // The edited row stays selected; the views stay where the edit left them.
  const int row = static_cast<int>(index);
  c.window.SelectRow(row);
  c.s.SelIndex = row;
  ShowEdits(c);
}

bool PointEditable(const Context& c) {
  const int row = c.window.SelectedRow();
  return c.s.Mode == Mode::ModeIdle && row >= 0 && row < c.window.PointRows();
}

void EditPoint(Context& c) {
  if (!PointEditable(c)) return;
  WorkingState& s = c.s;
  const auto index = static_cast<std::size_t>(c.window.SelectedRow());
  s.Mode = Mode::ModePoint;
  c.editing = index;
  c.aimHeld = false;
  c.window.EnableTable(false);
  s.CurHor = s.Points[index].Hor0;
  s.CurVert = s.Points[index].Vert0;
  s.CurDist = s.Points[index].Dist0;
  // Its marks come along, to be kept, set anew or completed into a tie point.
  s.CurMark1 = s.Points[index].Mark1;
  s.CurMark2 = s.Points[index].Mark2;
  ShowSolvedPoint(c, true, PointLabel::Metres);
}

void AppendPointRows(Context& c, std::size_t count) {
  const PointList& points = c.s.Points;
  std::vector<TableRow> rows;
  rows.reserve(count);
  for (std::size_t i = points.size() - count; i < points.size(); ++i) rows.push_back(RowOf(c, i));
  c.window.AppendRows(std::move(rows));
  // Selecting the new empty row: no point is shown as selected.
  SelectRow(c, c.window.PointRows());
}

void SelectRow(Context& c, int row) {
  c.window.SelectRow(row);
  SelectCell(c, row);
}

void SelectCell(Context& c, int row) {
  if (row == c.s.SelIndex) return;
  ShowRowPoint(c, row);
}

void ShowRowPoint(Context& c, int row) {
  WorkingState& s = c.s;
  s.SelIndex = row;
  if (row >= c.window.PointRows()) return;  // the empty last row holds no point
  const PointRec& r = s.Points[static_cast<std::size_t>(row)];
  s.CurHor = r.Hor0;
  s.CurVert = r.Vert0;
  s.CurDist = r.Dist0;
  // Solved afresh from the present station data, not taken from the stored angles.
  ShowSolvedPoint(c, true, PointLabel::Keep);
}

void DeletePoint(Context& c) {
  const int row = c.window.SelectedRow();
  if (row >= c.window.PointRows()) return;
  const auto index = static_cast<std::size_t>(row);
  c.undoEdits.push_back(
      PointEdit{PointEdit::Kind::Deleted, index, c.s.Points[index], c.s.Points.Label(index)});
  c.redoEdits.clear();
  // The rows below move up; the selection stays on the same row number, and SelIndex with it,
  // so the point that moves up is now the selected one.
  Remove(c, index);
  ShowEdits(c);
}

namespace {

// Moves the last edit from one list to the other, taking it back or doing it again on the way.
void Move(Context& c, std::vector<Edit>& from, std::vector<Edit>& to,
          void (*step)(Context&, const Edit&)) {
  if (c.s.Mode != Mode::ModeIdle || from.empty()) return;
  const Edit edit = from.back();
  from.pop_back();
  to.push_back(edit);
  step(c, edit);
  ShowEdits(c);
}

}  // namespace

void Undo(Context& c) {
  Move(c, c.undoEdits, c.redoEdits, TakeBack);
}

void Redo(Context& c) {
  Move(c, c.redoEdits, c.undoEdits, Apply);
}

void Remember(Context& c, Edit edit) {
  c.undoEdits.push_back(std::move(edit));
  c.redoEdits.clear();
  ShowEdits(c);
}

void ForgetEdits(Context& c) {
  c.undoEdits.clear();
  c.redoEdits.clear();
  ShowEdits(c);
}
