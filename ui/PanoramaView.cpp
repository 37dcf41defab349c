#include "ui/PanoramaView.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOption>
#include <cmath>

#include "geometry/Mapping.h"
#include "ui/Magnifier.h"

namespace {

// The scroll bars repaint whenever a view follows the point, so they must be cheap: Fusion's
// gradients cost a third of a millisecond a bar, the Windows style's dithered track most of a
// tenth. This is the Windows style with a plain track.
class PlainScrollBarStyle : public QProxyStyle {
 public:
  PlainScrollBarStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))) {}

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    if (element == CE_ScrollBarAddPage || element == CE_ScrollBarSubPage) {
      painter->fillRect(option->rect, option->palette.color(QPalette::Midlight));
      return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
  }
};

}  // namespace

PanoramaView::PanoramaView(int station, int surfaceOffsetX, const WorkingState& state,
                           QWidget* parent)
    : QAbstractScrollArea(parent),
      station_(station),
      surfaceOffsetX_(surfaceOffsetX),
      state_(state),
      marks_(station) {
  // The surface covers the whole viewport, so nothing needs erasing before a paint.
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setMouseTracking(true);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  static QStyle* const plain = new PlainScrollBarStyle;
  horizontalScrollBar()->setStyle(plain);
  verticalScrollBar()->setStyle(plain);
  horizontalScrollBar()->setSingleStep(16);
  verticalScrollBar()->setSingleStep(16);
  UpdateScrollRanges();
}

std::int32_t PanoramaView::HorizontalPosition() const {
  return horizontalScrollBar()->value();
}
std::int32_t PanoramaView::VerticalPosition() const {
  return verticalScrollBar()->value();
}
int PanoramaView::ClientWidth() const {
  return viewport()->width();
}
int PanoramaView::ClientHeight() const {
  return viewport()->height();
}

void PanoramaView::SetHorizontalPosition(std::int32_t position) {
  horizontalScrollBar()->setValue(position);
}

void PanoramaView::SetVerticalPosition(std::int32_t position) {
  verticalScrollBar()->setValue(position);
}

void PanoramaView::RepaintViewAndMagnifier() {
  MarkChanges();
  if (magnifier_ != nullptr) magnifier_->PaintAround(state_.CursorX, state_.CursorY);
}

PanoramaView::Content PanoramaView::CurrentContent() const {
  return {state_.Station(station_).Pano.Image.cacheKey(), state_.Points.Revision(),
          QPoint(HorizontalPosition(), VerticalPosition()), state_.SelIndex, state_.Mode};
}

void PanoramaView::MarkChanges() {
  if (!shownValid_ || shown_ != CurrentContent()) {
    MarkForRepaint();
    return;
  }
  displayed_ = MarkerOf(station_, state_);
  const QRegion changed = markerShown_ + MarkerRegion(displayed_);
  viewport()->update(changed.translated(-SurfaceFromViewport(QPoint(0, 0))));
}
void PanoramaView::MarkForRepaint() {
  // A new picture may be of another size.
  UpdateScrollRanges();
  displayed_ = MarkerOf(station_, state_);
  viewport()->update();
}

QPoint PanoramaView::SurfaceFromViewport(QPoint p) const {
  return {p.x() + HorizontalPosition() - surfaceOffsetX_, p.y() + VerticalPosition()};
}

void PanoramaView::UpdateScrollRanges() {
  const QSize client = viewport()->size();
  const Panorama& pano = state_.Station(station_).Pano.Shape;
  const int extentX = pano.Width() + surfaceOffsetX_;
  horizontalScrollBar()->setRange(0, std::max(0, extentX - client.width()));
  horizontalScrollBar()->setPageStep(client.width());
  verticalScrollBar()->setRange(0, std::max(0, pano.Height() - client.height()));
  verticalScrollBar()->setPageStep(client.height());
}

void PanoramaView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QPoint origin = SurfaceFromViewport(QPoint(0, 0));
  painter.translate(-origin);
  // Left of the surface (P0's 8-pixel strip) and beyond it is the box's own background.
  const QColor background = palette().color(QPalette::Window);
  const QRegion painted = event->region().translated(origin);
  for (const QRect& area : painted) {
    PaintPanorama(painter, area, station_, state_, marks_, background, displayed_);
  }

  const Content content = CurrentContent();
  const QRegion marker = MarkerRegion(displayed_);
  if (event->region().contains(viewport()->rect())) {
    shown_ = content;
    shownValid_ = true;
    markerShown_ = marker;
  } else {
    shownValid_ = shownValid_ && shown_ == content;
    markerShown_ = markerShown_.subtracted(painted) + (marker & painted);
  }
}

void PanoramaView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRanges();
}

// Painting the newly visible picture from the image is cheaper than Qt's shifting of the old one.
void PanoramaView::scrollContentsBy(int, int) {
  viewport()->update();
}

void PanoramaView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = SurfaceFromViewport(event->position().toPoint());
  emit SurfaceMouseMove(event->modifiers(), event->buttons(), p.x(), p.y());
}

void PanoramaView::mousePressEvent(QMouseEvent* event) {
  const QPoint p = SurfaceFromViewport(event->position().toPoint());
  emit SurfaceMouseDown(event->button(), p.x(), p.y());
}

void PanoramaView::mouseReleaseEvent(QMouseEvent*) {}

// The wheel turns the distance in point entry; it never scrolls a view.
void PanoramaView::wheelEvent(QWheelEvent* event) {
  event->ignore();
}

// Nor do keys: the arrow keys aim, pixel by pixel, and a view that scrolled by them would carry
// the aim off by a page step.
void PanoramaView::keyPressEvent(QKeyEvent* event) {
  event->ignore();
}
