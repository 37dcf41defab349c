#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

// What centring (and dragging) needs of one panorama view: the size of its visible area, its
// scroll positions, and a repaint of the view and its magnifier.
class CentredView {
 public:
  virtual ~CentredView() = default;
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  virtual std::int32_t HorizontalPosition() const = 0;
  virtual std::int32_t VerticalPosition() const = 0;
  // The panel clamps the position to its own range.
  virtual void SetHorizontalPosition(std::int32_t position) = 0;
  virtual void SetVerticalPosition(std::int32_t position) = 0;
  // Screen pixels a panorama pixel, and how far right of the scrolled area's left edge the
  // surface stands, in panorama pixels.
  virtual double Scale() const { return 1; }
  virtual int SurfaceOffsetX() const { return 0; }
  // Repaints the view and then its magnifier. The magnifier must show the square around CursorX,
  // CursorY as they stand now: they hold this view's marker only until the next view's turn.
  virtual void RepaintViewAndMagnifier() = 0;
};

// The texts of one row of the point table: label, horizontal angle, vertical angle, distance,
// and the survey views it is marked in by hand ("P1 P2" for a tie point).
using TableRow = std::array<QString, 5>;

// What the commands need of the main window, and nothing more: its labels and caption, the load
// command's availability, the panorama views with their magnifiers, the point table, and the
// window's own state. The main window implements it with its widgets; tests with a recording
// fake.
class Window {
 public:
  // Position: the current point's local coordinates; Strength: how firmly the stations fix its
  // distance and place; Pair: how far apart the two selected points lie.
  enum class Label { Cp, P0zu1, P0zu2, P1zu0, P2zu0, P0NP, Position, Strength, Pair };

  virtual ~Window() = default;

  virtual void SetLabel(Label label, const QString& text) = 0;
  virtual QString Caption() const = 0;
  virtual void SetCaption(const QString& caption) = 0;
  // The menu command "Projekt laden...".
  virtual void EnableLoad(bool enabled) = 0;
  // The menu commands "Rückgängig" and "Wiederholen".
  virtual void EnableUndo(bool undo, bool redo) = 0;

  // A station's panorama view: its size, scroll positions, and the repaint of view and
  // magnifier that centring asks for.
  virtual CentredView& View(int station) = 0;
  // Mark for repaint: painted with the next paint, together with everything else marked.
  virtual void MarkViewForRepaint(int station) = 0;
  virtual void MarkMagnifierForRepaint(int station) = 0;
  // Paints everything marked so far, before returning.
  virtual void PaintNow() = 0;

  // The point table: a row for each point, at the point's index in the list, and one empty row
  // after them, at the index the next point will take (PointRows()). Rows here are these indices.
  virtual void EnableTable(bool enabled) = 0;
  virtual int PointRows() const = 0;
  // Writes the rows into the empty last row and on, each followed by a new empty row.
  virtual void AppendRows(std::vector<TableRow> rows) = 0;
  // Removes a row with a point; the rows below move up, labels and all.
  virtual void RemoveRow(int row) = 0;
  // Puts a row back at its place; the rows from there on move down.
  virtual void InsertRow(int row, TableRow texts) = 0;
  // New texts for a row with a point.
  virtual void ReplaceRow(int row, TableRow texts) = 0;
  // The row the selection stands on; the first where it stands on none.
  virtual int SelectedRow() const = 0;
  // Every selected row (Ctrl+click adds one), in ascending order.
  virtual std::vector<int> SelectedRows() const = 0;
  // Moves the selection; the selection command is the caller's to run.
  virtual void SelectRow(int row) = 0;

  virtual void Minimise() = 0;
  virtual void Maximise() = 0;
};
