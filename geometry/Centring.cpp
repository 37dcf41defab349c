#include "geometry/Centring.h"

#include "geometry/Mapping.h"

namespace {

// The scroll position that puts the surface coordinate `pixel` (unrounded) in the middle of a
// client extent; the left and top edges are the only limit applied here.
std::int32_t CentredPosition(Real pixel, int clientExtent) {
  Real position = pixel - clientExtent / 2.0L;
  if (position < 0) position = 0;
  return RoundToInt(position);
}

void CentreOne(CentredView& view, Real hor, Real vert, bool scroll, std::int32_t& cursorX,
               std::int32_t& cursorY) {
  const Real x = ShiftedHor(hor) * PixPerDeg;
  cursorX = RoundToInt(x);
  const std::int32_t sx = CentredPosition(x, view.ClientWidth());
  if (scroll) view.SetHorizontalPosition(sx);

  const Real y = (90 - vert) * PixPerDeg;
  cursorY = RoundToInt(y);
  const std::int32_t sy = CentredPosition(y, view.ClientHeight());
  if (scroll) view.SetVerticalPosition(sy);

  view.RepaintViewAndMagnifier();
}

}  // namespace

void CenterViews(bool ScrollP0, const SolverState& s, const std::array<CentredView*, 3>& views,
                 std::int32_t& CursorX, std::int32_t& CursorY) {
  CentreOne(*views[0], s.CurHor, s.CurVert, ScrollP0, CursorX, CursorY);
  CentreOne(*views[1], s.P1Hor, s.P1Vert, true, CursorX, CursorY);
  CentreOne(*views[2], s.P2Hor, s.P2Vert, true, CursorX, CursorY);
}
