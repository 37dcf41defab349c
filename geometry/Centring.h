#pragma once

#include <array>
#include <cstdint>

#include "geometry/Solver.h"

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
  // Repaints the view and then its magnifier. The magnifier must show the square around CursorX,
  // CursorY as they stand now: they hold this view's marker only until the next view's turn.
  virtual void RepaintViewAndMagnifier() = 0;
};

// Scrolls the views of P0 (only when ScrollP0), P1 and P2 so that the current point's direction
// in each lies in the middle, and repaints each view with its magnifier, in that order. CursorX,
// CursorY (the magnifiers' shared centre) hold each view's marker pixel while it repaints, and
// P2's afterwards.
void CenterViews(bool ScrollP0, const SolverState& s, const std::array<CentredView*, 3>& views,
                 std::int32_t& CursorX, std::int32_t& CursorY);
