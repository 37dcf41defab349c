#pragma once

#include <QAbstractScrollArea>
#include <QImage>

#include "core/WorkingState.h"
#include "ui/MarkIndex.h"
#include "ui/PanoramaPainter.h"

class Magnifier;

// One scrollable panorama view: the scroll box with its paint surface, as large as the station's
// panorama (8160 x 3060 while it has none). The surface
// sits at a fixed offset in the scrolled area (8 for P0, 0 for P1, -24 for P2), so the scroll
// extent is the surface's right edge. Mouse events are reported in surface coordinates, that is
// panorama pixels, whatever the scroll position. Only the exposed part is painted.
class PanoramaView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  PanoramaView(int station, int surfaceOffsetX, const WorkingState& state, QWidget* parent);

  int Station() const { return station_; }
  void SetMagnifier(Magnifier* magnifier) { magnifier_ = magnifier; }

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

  // The surface point under a point of the visible area, and back.
  QPoint SurfaceFromViewport(QPoint p) const;

  // The current point's marker as the view shows it (or is about to, when a repaint is pending).
  // It follows the state only when the view is asked to repaint: a mouse move over a survey view
  // in point entry changes the angles there but not the guide line the view shows.
  const CurrentMarker& DisplayedMarker() const { return displayed_; }

 signals:
  void SurfaceMouseMove(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons, int x, int y);
  void SurfaceMouseDown(Qt::MouseButton button, int x, int y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void UpdateScrollRanges();

  // Everything but the marker that the picture depends on.
  struct Content {
    qint64 image = 0;
    std::uint64_t points = 0;
    QPoint scroll;
    int selected = 0;
    Mode mode = Mode::ModeIdle;
    bool operator==(const Content&) const = default;
  };
  Content CurrentContent() const;

  const int station_;
  const int surfaceOffsetX_;
  const WorkingState& state_;
  Magnifier* magnifier_ = nullptr;
  MarkIndex marks_;
  // What the screen shows: the content of the last whole paint (if nothing partial has painted
  // other content since), and where marker pixels may stand, in surface coordinates.
  Content shown_;
  bool shownValid_ = false;
  QRegion markerShown_;
  CurrentMarker displayed_;
};
