#include "ui/PanoramaView.h"

#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOption>
#include <cmath>
#include <utility>

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
  // The bars stay, disabled where the whole picture is in view: zooming keeps the visible area's
  // size.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  horizontalScrollBar()->setSingleStep(16);
  verticalScrollBar()->setSingleStep(16);
  UpdateScrollRanges();
  client_ = viewport()->size();
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

void PanoramaView::SetMagnifier(Magnifier* magnifier) {
  magnifier_ = magnifier;
  magnifier_->SetDisplayedMarker(&displayed_);
}

void PanoramaView::RepaintViewAndMagnifier() {
  MarkChanges();
  if (magnifier_ != nullptr) {
    magnifier_->PaintAround(
        QPoint(state_.CursorX, state_.CursorY),
        QPointF(static_cast<double>(state_.CursorSubX), static_cast<double>(state_.CursorSubY)));
  }
}

PanoramaView::Content PanoramaView::CurrentContent() const {
  return {state_.Station(station_).Pano.Image.cacheKey(),
          state_.Points.Revision(),
          QPoint(HorizontalPosition(), VerticalPosition()),
          state_.SelIndex,
          state_.Mode,
          scale_};
}

namespace {

QRegion ScreenRegion(const CurrentMarker& marker, const SurfaceOnScreen& on, const Panorama& pano) {
  return MarkerRegion(ScreenMarker(marker, on, pano.Height()));
}

}  // namespace

void PanoramaView::MarkChanges() {
  if (!shownValid_ || shown_ != CurrentContent()) {
    MarkForRepaint();
    return;
  }
  displayed_ = MarkerOf(station_, state_);
  viewport()->update(markerShown_ +
                     ScreenRegion(displayed_, On(), state_.Station(station_).Pano.Shape));
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

SurfaceOnScreen PanoramaView::On() const {
  return {scale_, surfaceOffsetX_ * scale_ - HorizontalPosition(), -double(VerticalPosition())};
}

QPointF PanoramaView::AimAt(QPoint viewportPixel) const {
  if (scale_ == 1) return SurfaceFromViewport(viewportPixel);
  const QPointF at = On().SurfacePoint(viewportPixel);
  // Reduced, a screen pixel shows several panorama pixels: it aims at the nearest whole one.
  return scale_ > 1 ? at : QPointF(std::round(at.x()), std::round(at.y()));
}

QPoint PanoramaView::DragAt(QPoint viewportPixel) const {
  return {viewportPixel.x() + HorizontalPosition() - surfaceOffsetX_,
          viewportPixel.y() + VerticalPosition()};
}

void PanoramaView::CentreOn(QPointF surface) {
  const QSize client = client_ = viewport()->size();
  // The point's screen pixel becomes the middle one, (width / 2, height / 2).
  SetHorizontalPosition(static_cast<std::int32_t>(
      std::lround((surface.x() + 0.5 + surfaceOffsetX_) * scale_ - client.width() / 2 - 0.5)));
  SetVerticalPosition(static_cast<std::int32_t>(
      std::lround((surface.y() + 0.5) * scale_ - client.height() / 2 - 0.5)));
  viewport()->update();
}

double PanoramaView::FitScale() const {
  const Panorama& pano = state_.Station(station_).Pano.Shape;
  const QSize client = viewport()->size();
  return std::max(1e-3, std::min(double(client.width()) / (pano.Width() + surfaceOffsetX_),
                                 double(client.height()) / pano.Height()));
}

void PanoramaView::ZoomBy(int steps, QPoint anchor) {
  const double fit = FitScale();
  int step = zoomStep_;
  if (fit_) {
    // From the whole panorama, the first step in is the first power of two above it.
    step = static_cast<int>(std::floor(std::log2(fit)));
    if (steps > 0) --steps;
    ++step;
  }
  step = std::min(step + steps, kMaxZoomStep);
  const double scale = std::ldexp(1.0, step);
  if (scale <= fit) {
    SetScale(fit, true, anchor);
  } else {
    zoomStep_ = step;
    SetScale(scale, false, anchor);
  }
}

void PanoramaView::ZoomToOriginal(QPoint anchor) {
  zoomStep_ = 0;
  SetScale(1, false, anchor);
}

void PanoramaView::SetScale(double scale, bool fit, QPointF anchor) {
  // The surface point under the anchor stays under it. Where the range holds the positions back
  // (a reduced picture fits the view), the point is not the one under the anchor then: steps in
  // a row about one anchor go on from the point the first one was about, as long as nothing
  // else has moved the view.
  const QPoint now(HorizontalPosition(), VerticalPosition());
  if (!(anchor == zoomAnchor_ && now == zoomHeld_)) {
    zoomSpot_ = QPointF((anchor.x() + now.x()) / scale_, (anchor.y() + now.y()) / scale_);
    zoomAnchor_ = anchor;
  }
  scale_ = scale;
  fit_ = fit;
  UpdateScrollRanges();
  SetHorizontalPosition(static_cast<std::int32_t>(std::lround(zoomSpot_.x() * scale - anchor.x())));
  SetVerticalPosition(static_cast<std::int32_t>(std::lround(zoomSpot_.y() * scale - anchor.y())));
  zoomHeld_ = QPoint(HorizontalPosition(), VerticalPosition());
  // The marker stays what it was: the pointer over a survey view changes the angles there, not
  // the guide line that the distance put there.
  viewport()->update();
}

void PanoramaView::UpdateScrollRanges() {
  const QSize client = viewport()->size();
  const Panorama& pano = state_.Station(station_).Pano.Shape;
  if (fit_) scale_ = FitScale();
  const int extentX = static_cast<int>(std::lround((pano.Width() + surfaceOffsetX_) * scale_));
  const int extentY = static_cast<int>(std::lround(pano.Height() * scale_));
  horizontalScrollBar()->setRange(0, std::max(0, extentX - client.width()));
  horizontalScrollBar()->setPageStep(client.width());
  verticalScrollBar()->setRange(0, std::max(0, extentY - client.height()));
  verticalScrollBar()->setPageStep(client.height());
}

QString PanoramaView::Caption() const {
  const QString file = state_.Station(station_).PanoFile;
  const QString name = QStringLiteral("P%1").arg(station_);
  if (file.isEmpty()) return name;
  return name + QStringLiteral(" \u00B7 ") + QFileInfo(file).fileName();
}

QRect PanoramaView::CaptionRect() {
  // Measured once a file: the views paint on every mouse move.
  const QString& file = state_.Station(station_).PanoFile;
  if (!captionRect_.isValid() || file != captionFile_) {
    captionFile_ = file;
    caption_ = Caption();
    const QFontMetrics metrics = fontMetrics();
    captionRect_ = QRect(0, 0, metrics.horizontalAdvance(caption_) + 8, metrics.height() + 4);
  }
  return captionRect_;
}

void PanoramaView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  // Left of the surface (P0's 8-pixel strip) and beyond it is the box's own background.
  const QColor background = palette().color(QPalette::Window);
  const QRegion painted = event->region();
  if (scale_ == 1) {
    const QPoint origin = SurfaceFromViewport(QPoint(0, 0));
    painter.translate(-origin);
    for (const QRect& area : painted.translated(origin)) {
      PaintPanorama(painter, area, station_, state_, marks_, background, displayed_);
    }
    painter.resetTransform();
  } else {
    const SurfaceOnScreen on = On();
    for (const QRect& area : painted) {
      PaintScaledPanorama(painter, area, on, station_, state_, marks_, background, displayed_);
    }
  }
  // The caption over the picture's corner, where the picture under it was painted again.
  const QRect caption = CaptionRect();
  if (painted.intersects(caption)) {
    painter.fillRect(caption, QColor(0, 0, 0, 150));
    painter.setPen(Qt::white);
    painter.drawText(caption, Qt::AlignCenter, caption_);
  }

  const Content content = CurrentContent();
  const QRegion marker = ScreenRegion(displayed_, On(), state_.Station(station_).Pano.Shape);
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

bool PanoramaView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Resize && viewport()->size() != client_) {
    // What stood in the middle of the view stays there as the window grows or shrinks. The
    // size the positions were set for is the one kept: a hidden window's resizes arrive late.
    const QPointF centre = On().SurfacePoint(QPoint(client_.width() / 2, client_.height() / 2));
    UpdateScrollRanges();
    CentreOn(centre);
  }
  return QAbstractScrollArea::viewportEvent(event);
}

// Painting the newly visible picture from the image is cheaper than Qt's shifting of the old one.
void PanoramaView::scrollContentsBy(int, int) {
  viewport()->update();
}

void PanoramaView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (pressed_ && (p - pressAt_).manhattanLength() > QApplication::startDragDistance()) {
    dragged_ = true;
  }
  emit SurfaceMouseMove(event->modifiers(), event->buttons(), AimAt(p), DragAt(p));
}

void PanoramaView::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    dragged_ = false;
    pressAt_ = p;
  }
  emit SurfaceMouseDown(event->button(), AimAt(p), DragAt(p));
}

void PanoramaView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !std::exchange(pressed_, false) || dragged_) return;
  emit SurfaceClicked(event->modifiers(), AimAt(event->position().toPoint()));
}

// A double click brings the spot to the middle of the view.
void PanoramaView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  emit SurfaceMouseDown(event->button(), AimAt(p), DragAt(p));
  if (event->button() != Qt::LeftButton) return;
  CentreOn(AimAt(p));
  // The pointer goes with the spot, so that it stays on what it was on.
  QCursor::setPos(viewport()->mapToGlobal(QPoint(client_.width() / 2, client_.height() / 2)));
}

// The wheel turns the distance in point entry; it never scrolls a view.
void PanoramaView::wheelEvent(QWheelEvent* event) {
  event->ignore();
}

// Nor do keys: the arrow keys aim, pixel by pixel, and a view that scrolled by them would carry
// the aim off by a page step.
void PanoramaView::keyPressEvent(QKeyEvent* event) {
  event->ignore();
}
