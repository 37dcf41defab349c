#pragma once

#include <QImage>
#include <QWidget>
#include <optional>

#include "core/WorkingState.h"
#include "paint/MarkIndex.h"
#include "paint/PanoramaPainter.h"

// Shows the 64 x 64 square of a panorama view around CursorX, CursorY enlarged to the whole
// widget (127 x 127), pixel blocks without smoothing. It draws the view's content (bitmap and
// marks) itself rather than copying the screen, so parts scrolled out of sight show too.
// The wheel over it enlarges further, up to 16 screen pixels a panorama pixel; there it centres
// the aim to a fraction of a pixel, marks and markers stay one pixel sharp, and a crosshair
// shows the middle.
class Magnifier : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kSource = 64;

  Magnifier(int station, const WorkingState& state, QWidget* parent);

  // The current point's marker as the view whose picture it shows displays it (see
  // PanoramaView::SetMagnifier); without one, the marker the state gives.
  void SetDisplayedMarker(const CurrentMarker* marker) { displayedMarker_ = marker; }

  // Repaints around the given centre. The paint itself comes with the window's next paint, so
  // that all views and magnifiers of one command reach the screen together; the centre is kept
  // for it, as CursorX, CursorY may move on to another view meanwhile.
  // `sub`: the centre's fraction of a pixel, for the levels that show it.
  void PaintAround(QPoint pixel, QPointF sub);
  // Repaints at the next paint cycle around CursorX, CursorY as they stand then.
  void MarkForRepaint();

  // Enlarges (steps > 0) or reduces by steps of the levels; the first level is the 64 x 64 square.
  void ZoomBy(int steps);
  // Screen pixels a panorama pixel: 127 / 64 at the first level.
  double Scale() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const int station_;
  const WorkingState& state_;
  const CurrentMarker* displayedMarker_ = nullptr;
  MarkIndex marks_;
  struct Centre {
    QPoint pixel;
    QPointF sub;
  };
  std::optional<Centre> centre_;  // kept by PaintAround until painted
  int level_ = 0;
  // Reused: the magnifiers repaint on every mouse move.
  QImage source_;
  QImage target_;
  std::vector<int> sourceColumn_;  // the source column of each target column
};
