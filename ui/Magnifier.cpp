#include "ui/Magnifier.h"

#include <QPainter>

#include "ui/PanoramaPainter.h"
#include "ui/PanoramaView.h"

Magnifier::Magnifier(int station, const WorkingState& state, QWidget* parent)
    : QWidget(parent),
      station_(station),
      state_(state),
      marks_(station),
      source_(kSource, kSource, QImage::Format_RGB32) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void Magnifier::PaintAround(std::int32_t x, std::int32_t y) {
  centre_ = QPoint(x, y);
  update();
}

void Magnifier::MarkForRepaint() {
  centre_.reset();
  update();
}

void Magnifier::paintEvent(QPaintEvent*) {
  const QPoint centre = centre_.value_or(QPoint(state_.CursorX, state_.CursorY));
  centre_.reset();
  const QRect square(centre.x() - kSource / 2, centre.y() - kSource / 2, kSource, kSource);
  {
    QPainter p(&source_);
    p.translate(-square.topLeft());
    PaintPanorama(
        p, square, station_, state_, marks_, palette().color(QPalette::Window),
        sourceView_ != nullptr ? sourceView_->DisplayedMarker() : MarkerOf(station_, state_));
  }

  // Nearest source pixel for every target pixel: each source pixel becomes a block of one or two.
  const int w = width(), h = height();
  if (target_.size() != size()) {
    target_ = QImage(w, h, QImage::Format_RGB32);
    sourceColumn_.resize(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x) sourceColumn_[static_cast<std::size_t>(x)] = x * kSource / w;
  }
  for (int y = 0; y < h; ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(source_.constScanLine(y * kSource / h));
    auto* dst = reinterpret_cast<QRgb*>(target_.scanLine(y));
    for (int x = 0; x < w; ++x) dst[x] = src[sourceColumn_[static_cast<std::size_t>(x)]];
  }
  QPainter(this).drawImage(0, 0, target_);
}
