#pragma once

#include "commands/Context.h"

// The mouse over the panorama views, and centring them on the current point.

// Where the mouse stands over a view: the surface point it aims at (whole numbers are pixels; a
// magnified view aims between them), and its place in the units the view scrolls by, for the
// drag (at 1:1, the surface pixel).
struct MouseAt {
  Real x = 0, y = 0;
  std::int32_t dragX = 0, dragY = 0;
};

// The mouse moved over a station's view (or anywhere, while the left button pressed over it is
// held): aims there, shows the angles, gives the mode its live picture, drags the view along
// while the left button is held, and centres the magnifier. `shift`: the label keeps its text.
void PanoramaMouseMove(Context& c, int station, bool shift, bool leftButton, const MouseAt& at);
// The same over the surface pixel X, Y of a view at 1:1.
inline void PanoramaMouseMove(Context& c, int station, bool shift, bool leftButton, int X, int Y) {
  PanoramaMouseMove(c, station, shift, leftButton, MouseAt{Real{0} + X, Real{0} + Y, X, Y});
}

// A mouse button went down over a view; the left one starts a drag there.
void PanoramaMouseDown(Context& c, bool leftButton, int X, int Y);

// Marks every view and magnifier for repaint, and paints them.
void RepaintAll(Context& c);

// Scrolls the views of P0 (only when ScrollP0), P1 and P2 so that the current point's direction
// in each lies in the middle of its panorama's view, and repaints each view with its magnifier,
// in that order. CursorX, CursorY (the magnifiers' shared centre) hold each view's marker pixel
// while it repaints, and P2's afterwards.
// CursorSubX, CursorSubY, where given, take the marker's fraction of a pixel.
void CenterViews(bool ScrollP0, const WorkingState& s, const std::array<CentredView*, 3>& views,
                 std::int32_t& CursorX, std::int32_t& CursorY, Real* CursorSubX = nullptr,
                 Real* CursorSubY = nullptr);

// Scrolls the survey views (and the P0 view when ScrollP0) so that the current point lies in the
// middle of each, and repaints them with their magnifiers before returning.
void CenterViews(Context& c, bool ScrollP0);

// The same, with the repaints left for the command's one paint at its end.
void CentreViewsUnpainted(Context& c, bool ScrollP0);

// What LblCp shows of the current point after a command moved it: nothing new, its text with the
// unit (the keys, F3), or without it (the wheel and the mouse, as they always did).
enum class PointLabel { Keep, Metres, Bare };

// The current point moved: solves it, centres the views on it (P0's too when ScrollP0), shows it
// in LblCp and the position labels, and paints, unless `paint` is false and the command paints
// once at its end.
void ShowSolvedPoint(Context& c, bool ScrollP0, PointLabel label, bool paint = true);

// A left click (without dragging) in point entry at the horizontal angle `hor` of the survey view
// of `station` (1 or 2): the distance is set so that this view's guide line runs through the
// click, and the point is solved and shown; the other survey view centres on its guide line, the
// check, while the clicked view stays where it is, with the line now under the pointer. Where no
// distance on P0's sight ray reaches the click, a box says so and nothing changes. Other modes and
// stations do nothing.
void PlaceAtClick(Context& c, int station, Real hor);

// A left click without dragging over a view: in a survey view during point entry, the point
// goes where that view's guide line runs through the clicked spot; with Shift held, the spot is
// marked by hand as where that picture shows the point (CurMark1, CurMark2), and the distance
// stays. In P0 the click aims again, and the marks made for the old aim go.
void PanoramaClick(Context& c, int station, const MouseAt& at, bool shift = false);

// Scrolls each view to where the work is: the last stored point, or the horizon straight ahead
// (0 degrees) where there is none.
void CentreOnWork(Context& c);

// "Einstellungen...": asks for the pointing uncertainty the firmness figures are worked out
// from; a number outside 0.05 to 20 pixels is refused and changes nothing.
void EditSettings(Context& c);
