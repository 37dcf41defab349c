#pragma once

#include <array>

class Magnifier;
class PanoramaView;
class QPoint;
class QWheelEvent;
class QWidget;

// Where the window's zoom goes. The wheel over a magnifier enlarges it, and with Ctrl over a
// panorama view zooms that view about the pointer, a notch a step; over the plan it is the plan's
// own. The zoom commands (menu and keys) act on the view the mouse was last over, about the
// pointer where it stands over that view, else about the view's middle.
class ZoomRouter {
 public:
  void Attach(const std::array<PanoramaView*, 3>& views,
              const std::array<Magnifier*, 3>& magnifiers, const QWidget* plan);

  // The mouse moved over a station's view: the zoom commands act on it from now on.
  void MouseOver(int station) { lastView_ = station; }

  // What a turn of the wheel is for: the plan's own zoom, a zoom done here, or neither.
  enum class Wheel { Plan, Zoomed, NoZoom };
  Wheel Route(const QWheelEvent& wheel);

  // "Vergrößern" (1) and "Verkleinern" (-1), and "Originalgröße".
  void ZoomBy(int steps);
  void ZoomToOriginal();

 private:
  // The view the zoom commands act on, and the point of its visible area they zoom about.
  PanoramaView* Zoomed(QPoint& anchor) const;

  std::array<PanoramaView*, 3> views_{};
  std::array<Magnifier*, 3> magnifiers_{};
  const QWidget* plan_ = nullptr;
  int lastView_ = 0;
  int wheelRest_ = 0;  // wheel turns short of a notch
};
