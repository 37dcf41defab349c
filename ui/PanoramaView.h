#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <optional>

#include "core/WorkingState.h"
#include "paint/MarkIndex.h"
#include "paint/PanoramaPainter.h"

class Magnifier;

// One scrollable panorama view: the scroll box with its paint surface, as large as the station's
// panorama (8160 x 3060 while it has none). The surface
// sits at a fixed offset in the scrolled area (8 for P0, 0 for P1, -24 for P2), so the scroll
// extent is the surface's right edge. Mouse events are reported in surface coordinates, that is
// panorama pixels, whatever the scroll position. Only the exposed part is painted.
//
// The view zooms from the whole panorama in view to 8 screen pixels a panorama pixel, in steps of
// two; magnified, the mouse aims between pixels. At 1:1 it is the plain scroll box above. A
// caption in its corner names the station and its picture's file.
class PanoramaView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  PanoramaView(int station, int surfaceOffsetX, const WorkingState& state, QWidget* parent);

  int Station() const { return station_; }
  int SurfaceOffsetX() const { return surfaceOffsetX_; }
  // The magnifier that shows this view's picture: it repaints with the view, and shows the marker
  // as the view displays it.
  void SetMagnifier(Magnifier* magnifier);

  // The visible area's size and scroll positions; a position is clamped to the scroll range.
  std::int32_t HorizontalPosition() const;
  std::int32_t VerticalPosition() const;
  int ClientWidth() const;
  int ClientHeight() const;
  void SetHorizontalPosition(std::int32_t position);
  void SetVerticalPosition(std::int32_t position);
  // Marks what changed for repaint, and repaints the magnifier around CursorX, CursorY now.
  void RepaintViewAndMagnifier();

  // Marks the whole paint surface for repaint.
  void MarkForRepaint();
  // Marks for repaint what has changed since the last paint: when only the current point's
  // marker has moved (a mouse move or a distance step in point entry), just its old and new
  // pixels; otherwise everything.
  void MarkChanges();

  // The surface point under a point of the visible area, at 1:1.
  QPoint SurfaceFromViewport(QPoint p) const;

  // Zoom: screen pixels a panorama pixel, and how the surface lies on the screen.
  double Scale() const { return scale_; }
  // The scale at which the whole panorama is in view.
  double FitScale() const;
  static constexpr int kMaxZoomStep = 3;  // 8x
  SurfaceOnScreen On() const;
  // Zooms in (steps > 0) or out by factors of two, down to the whole panorama in view, keeping
  // the surface point under `anchor` (a point of the visible area) where it is.
  void ZoomBy(int steps, QPoint anchor);
  // Back to 1:1 about `anchor`.
  void ZoomToOriginal(QPoint anchor);
  // The surface point the mouse aims at over a pixel of the visible area: the pixel itself at 1:1
  // or smaller, the point between pixels that the screen pixel's middle shows when magnified.
  QPointF AimAt(QPoint viewportPixel) const;
  // Where a pixel of the visible area stands in the units the view scrolls by: at 1:1 the
  // surface pixel itself, so that dragging is what it always was.
  QPoint DragAt(QPoint viewportPixel) const;
  // Scrolls so that a surface point lies in the middle of the visible area.
  void CentreOn(QPointF surface);
  // The caption in the corner: station and file.
  QString Caption() const;

  // The current point's marker as the view shows it (or is about to, when a repaint is pending).
  // It follows the state only when the view is asked to repaint: a mouse move over a survey view
  // in point entry changes the angles there but not the guide line the view shows.
  const CurrentMarker& DisplayedMarker() const { return displayed_; }

 signals:
  void SurfaceMouseMove(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons, QPointF aim,
                        QPoint drag);
  void SurfaceMouseDown(Qt::MouseButton button, QPointF aim, QPoint drag);
  // A left click that did not drag, with the keys held at its release.
  void SurfaceClicked(Qt::KeyboardModifiers modifiers, QPointF aim);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void UpdateScrollRanges();
  void SetScale(double scale, bool fit, QPointF anchor);
  QRect CaptionRect();

  // Everything but the marker that the picture depends on.
  struct Content {
    qint64 image = 0;
    std::uint64_t points = 0;
    QPoint scroll;
    int selected = 0;
    Mode mode = Mode::ModeIdle;
    double scale = 1;
    bool operator==(const Content&) const = default;
  };
  Content CurrentContent() const;

  const int station_;
  const int surfaceOffsetX_;
  const WorkingState& state_;
  Magnifier* magnifier_ = nullptr;
  MarkIndex marks_;
  double scale_ = 1;
  int zoomStep_ = 0;  // scale 2^step, unless the whole panorama is in view
  bool fit_ = false;
  // The last zoom step: its anchor, the spot it kept there (in scrolled-area units at scale 1),
  // and the positions it left.
  QPointF zoomAnchor_{-1e9, -1e9}, zoomSpot_;
  QPoint zoomHeld_;
  QString captionFile_, caption_;
  QRect captionRect_;
  QSize client_;  // the visible area's size the scroll positions were last set for
  // A left press that may become a click, and where.
  bool pressed_ = false, dragged_ = false;
  QPoint pressAt_;
  // What the screen shows: the content of the last whole paint (if nothing partial has painted
  // other content since), and where marker pixels may stand, in viewport coordinates.
  Content shown_;
  bool shownValid_ = false;
  QRegion markerShown_;
  CurrentMarker displayed_;
};
