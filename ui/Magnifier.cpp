#include "ui/Magnifier.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <iterator>

Magnifier::Magnifier(int station, const WorkingState& state, QWidget* parent)
    : QWidget(parent),
      station_(station),
      state_(state),
      marks_(station),
      source_(kSource, kSource, QImage::Format_RGB32) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

namespace {

// Screen pixels a panorama pixel at each level beyond the first.
constexpr int kLevels[] = {3, 4, 6, 8, 12, 16};
const QColor kCrosshair(255, 255, 0);

}  // namespace

void Magnifier::PaintAround(QPoint pixel, QPointF sub) {
  centre_ = Centre{pixel, sub};
  update();
}

void Magnifier::ZoomBy(int steps) {
  level_ = std::clamp(level_ + steps, 0, static_cast<int>(std::size(kLevels)));
  update();
}

double Magnifier::Scale() const {
  return level_ == 0 ? double(width()) / kSource : kLevels[level_ - 1];
}

void Magnifier::MarkForRepaint() {
  centre_.reset();
  update();
}

void Magnifier::paintEvent(QPaintEvent*) {
  const Centre centre = centre_.value_or(Centre{
      QPoint(state_.CursorX, state_.CursorY),
      QPointF(static_cast<double>(state_.CursorSubX), static_cast<double>(state_.CursorSubY))});
  centre_.reset();
  const CurrentMarker marker =
      displayedMarker_ != nullptr ? *displayedMarker_ : MarkerOf(station_, state_);
  const QColor background = palette().color(QPalette::Window);
  const int w = width(), h = height();
  if (target_.size() != size()) {
    target_ = QImage(w, h, QImage::Format_RGB32);
    sourceColumn_.resize(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x) sourceColumn_[static_cast<std::size_t>(x)] = x * kSource / w;
  }
  if (level_ > 0) {
    // The aim's point in the middle pixel, the picture around it at the level's scale.
    const double scale = Scale();
    const QPointF at = QPointF(centre.pixel) + centre.sub;
    const SurfaceOnScreen on{scale, w / 2.0 - (at.x() + 0.5) * scale,
                             h / 2.0 - (at.y() + 0.5) * scale};
    QPainter p(&target_);
    PaintScaledPanorama(p, target_.rect(), on, station_, state_, marks_, background, marker);
    // A crosshair with a gap, so that the middle pixel itself stays in sight.
    constexpr int kGap = 4;
    const int cx = w / 2, cy = h / 2;
    p.fillRect(QRect(0, cy, cx - kGap, 1), kCrosshair);
    p.fillRect(QRect(cx + kGap + 1, cy, w - cx - kGap - 1, 1), kCrosshair);
    p.fillRect(QRect(cx, 0, 1, cy - kGap), kCrosshair);
    p.fillRect(QRect(cx, cy + kGap + 1, 1, h - cy - kGap - 1), kCrosshair);
    p.end();
    QPainter(this).drawImage(0, 0, target_);
    return;
  }

  const QRect square(centre.pixel.x() - kSource / 2, centre.pixel.y() - kSource / 2, kSource,
                     kSource);
  {
    QPainter p(&source_);
    p.translate(-square.topLeft());
    PaintPanorama(p, square, station_, state_, marks_, background, marker);
  }

  // Nearest source pixel for every target pixel: each source pixel becomes a block of one or two.
  for (int y = 0; y < h; ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(source_.constScanLine(y * kSource / h));
    auto* dst = reinterpret_cast<QRgb*>(target_.scanLine(y));
    for (int x = 0; x < w; ++x) dst[x] = src[sourceColumn_[static_cast<std::size_t>(x)]];
  }
  QPainter(this).drawImage(0, 0, target_);
}
