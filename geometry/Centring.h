#pragma once

#include <array>
#include <cstdint>

#include "geometry/Solver.h"

// What centring needs of one panorama view: the size of its visible area, its scroll positions,
// and a repaint that has finished when the call returns.
class CentredView {
 public:
  virtual ~CentredView() = default;
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  // The panel clamps the position to its own range.
  virtual void SetHorizontalPosition(std::int32_t position) = 0;
  virtual void SetVerticalPosition(std::int32_t position) = 0;
  // Repaints the view and then its magnifier, both before returning: the magnifier copies the
  // square around CursorX, CursorY, which only hold this view's marker until the next view.
  virtual void RepaintViewAndMagnifier() = 0;
};

// The magnifiers' shared centre pixel.
struct CursorPixel {
  std::int32_t X = 0;
  std::int32_t Y = 0;
};

// Scrolls the views of P0 (only when ScrollP0), P1 and P2 so that the current point's direction
// in each lies in the middle, and repaints each view with its magnifier, in that order. Afterwards
// the cursor holds P2's marker pixel.
void CenterViews(bool ScrollP0, const SolverState& s, const std::array<CentredView*, 3>& views,
                 CursorPixel& cursor);
