#include "app/TForm1.h"
#include "ui/Magnifier.h"
#include "ui/PanoramaView.h"
#include "ui/PointTable.h"

void TForm1::AddPoint() {
  // Angles solved from station values far out of range can be beyond a double: refused here
  // rather than stored as infinity.
  const PointRec r{ToDouble(s_.CurHor), ToDouble(s_.CurVert), ToDouble(s_.CurDist),
                   ToDouble(s_.P1Hor),  ToDouble(s_.P1Vert),  ToDouble(s_.P2Hor),
                   ToDouble(s_.P2Vert)};
  s_.Points.Append(r);
  // The label is the count of rows before it and is never renumbered.
  GridModel->AppendRow({QStringLiteral(".") + QString::number(GridModel->PointRows()),
                        Fix(s_.CurHor), Fix(s_.CurVert), Fix(s_.CurDist)});
  // Selecting the new empty row: no point is shown as selected.
  SelectGridRow(GridModel->PointRows() + 1);
}

int TForm1::SelectedGridRow() const {
  const QModelIndex current = StringGrid1->currentIndex();
  return current.isValid() ? current.row() + 1 : 1;
}

void TForm1::SelectGridRow(int ARow) {
  StringGrid1->setCurrentIndex(GridModel->index(ARow - 1, 0));
}

void TForm1::StringGrid1SelectCell(int, int ARow) {
  if (ARow - 1 == s_.SelIndex) return;
  s_.SelIndex = ARow - 1;
  if (ARow - 1 >= GridModel->PointRows()) return;  // the empty last row holds no point
  const PointRec& r = s_.Points[static_cast<std::size_t>(ARow - 1)];
  s_.CurHor = r.Hor0;
  s_.CurVert = r.Vert0;
  s_.CurDist = r.Dist0;
  // Solved afresh from the present station data, not taken from the stored angles.
  SolvePoint(s_);
  CenterViews(true);
}

void TForm1::StringGrid1MouseDown(Qt::MouseButton Button, QPoint position) {
  if (Button != Qt::RightButton) return;
  const QModelIndex cell = StringGrid1->indexAt(position);
  if (cell.isValid()) SelectGridRow(cell.row() + 1);
}

void TForm1::Punktlschen1Click() {
  const int row = SelectedGridRow();
  if (row - 1 >= GridModel->PointRows()) return;
  s_.Points.Erase(static_cast<std::size_t>(row - 1));
  // The rows below move up; the selection stays on the same row number, and SelIndex with it,
  // so the point that moves up is now the selected one.
  const bool wasSuppressed = std::exchange(ignoreSelection_, true);
  GridModel->RemoveRow(row - 1);
  SelectGridRow(row);
  ignoreSelection_ = wasSuppressed;
  for (int station = 0; station < 3; ++station) {
    View(station)->MarkForRepaint();
    MagnifierOf(station)->MarkForRepaint();
  }
  PaintNow();
}
