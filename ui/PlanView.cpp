#include "ui/PlanView.h"

#include <QAction>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QWheelEvent>
#include <cmath>

namespace {

// A press that moves less than this is a click, not a drag.
constexpr double kClickSlop = 4;
// How near a click must come to a point to take it, in pixels.
constexpr double kPickRadius = 6;
// The space kept free around everything when it is fitted into the view.
constexpr double kFitMargin = 30;

}  // namespace

PlanView::PlanView(const WorkingState& state, QWidget* parent) : QWidget(parent), state_(state) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::ClickFocus);
  setMinimumSize(160, 120);
  setContextMenuPolicy(Qt::ActionsContextMenu);
  fitAll_ = new QAction(QStringLiteral("&Alles zeigen"), this);
  fitAll_->setObjectName(QStringLiteral("AllesZeigen1"));
  fitAll_->setShortcut(QKeySequence(Qt::Key_Home));
  fitAll_->setShortcutContext(Qt::WidgetShortcut);
  connect(fitAll_, &QAction::triggered, this, &PlanView::FitAll);
  addAction(fitAll_);
}

PlanView::StaticKey PlanView::StaticKeyOf() const {
  const WorkingState& s = state_;
  return {s.Points.Revision(),
          s.NodalHeight,
          {s.NodalHeight, s.P0zu1Hor, s.P0zu1Vert, s.DistP0P1, s.P0zu2Hor, s.P0zu2Vert, s.DistP0P2,
           s.P1zu0Hor, s.P1zu0Vert, s.P2zu0Hor, s.P2zu0Vert}};
}

PlanView::LiveKey PlanView::LiveKeyOf() const {
  return {state_.Mode, state_.CurHor, state_.CurVert, state_.CurDist};
}

void PlanView::Refresh() {
  const StaticKey staticKey = StaticKeyOf();
  const LiveKey liveKey = LiveKeyOf();
  const bool staticChanged = staticKey_ != staticKey;
  if (!staticChanged && liveKey == liveKey_) return;
  if (staticChanged) {
    const bool stationsChanged =
        !staticKey_ || !std::equal(std::begin(staticKey.stations), std::end(staticKey.stations),
                                   std::begin(staticKey_->stations));
    if (stationsChanged) stations_ = PlanStationsOf(state_);
    if (!staticKey_ || staticKey_->points != staticKey.points || stationsChanged) {
      points_ = PlanPointsOf(state_.Points, state_.NodalHeight, state_.PanoTilt[0]);
    }
    staticKey_ = staticKey;
    staticValid_ = false;
    // A new survey is shown whole, and so is a changed one until the user zooms or pans.
    if (stationsChanged) followsFit_ = true;
  }
  liveKey_ = liveKey;
  current_ = PlanCurrentOf(state_);
  if (staticChanged && followsFit_) FitAll();
  update();
}

void PlanView::FitAll() {
  const std::optional<QRectF> extent =
      PlanExtent(stations_, points_, current_ ? std::optional(current_->at) : std::nullopt);
  followsFit_ = true;
  transform_ =
      PlanTransform::Fitting(extent.value_or(QRectF(-5, -5, 10, 10)), QRectF(rect()), kFitMargin);
  staticValid_ = false;
  update();
}

void PlanView::SetSelectedPoints(const std::vector<int>& indices) {
  if (indices == selected_) return;
  selected_ = indices;
  update();
}

std::optional<int> PlanView::PointAt(QPointF position) const {
  std::optional<int> nearest;
  double best = kPickRadius * kPickRadius;
  for (std::size_t i = 0; i < points_.at.size(); ++i) {
    const QPointF d = transform_.ToDevice(points_.at[i]) - position;
    const double squared = d.x() * d.x() + d.y() * d.y();
    if (squared <= best) {
      best = squared;
      nearest = static_cast<int>(i);
    }
  }
  return nearest;
}

PlanStyle PlanView::Style() const {
  PlanStyle style;
  style.background = palette().color(QPalette::Base);
  style.ink = palette().color(QPalette::Text);
  style.selected = palette().color(QPalette::Highlight);
  return style;
}

void PlanView::DrawStatic() {
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (QSizeF(size()) * ratio).toSize();
  if (static_.size() != pixels) static_ = QImage(pixels, QImage::Format_RGB32);
  static_.setDevicePixelRatio(ratio);
  QPainter painter(&static_);
  PlanPainter plan(painter, transform_, Style());
  const QRectF area(rect());
  plan.Background(area);
  if (stations_) plan.Stations(*stations_);
  plan.Points(points_, area);
  staticValid_ = true;
}

void PlanView::paintEvent(QPaintEvent* event) {
  if (!staticValid_) DrawStatic();
  QPainter painter(this);
  painter.setClipRegion(event->region());
  painter.drawImage(0, 0, static_);
  PlanPainter plan(painter, transform_, Style());
  plan.Selected(points_, selected_, separator_);
  if (current_) {
    painter.setRenderHint(QPainter::Antialiasing);
    plan.Current(*current_, stations_);
    painter.setRenderHint(QPainter::Antialiasing, false);
  }
  plan.ScaleBar(QPointF(12, height() - 12), std::min(150.0, width() / 3.0));
  plan.NorthArrow(QPointF(width() - 24, 10));
}

void PlanView::resizeEvent(QResizeEvent*) {
  if (followsFit_) {
    FitAll();
  } else {
    staticValid_ = false;
  }
}

void PlanView::showEvent(QShowEvent*) {
  Refresh();
}

void PlanView::wheelEvent(QWheelEvent* event) {
  const double factor = std::pow(1.25, event->angleDelta().y() / 120.0);
  const QPointF at = event->position();
  const QPointF world = transform_.ToWorld(at);
  transform_.scale = std::clamp(transform_.scale * factor, 1e-6, 1e7);
  // The point under the pointer stays under it.
  transform_.origin += at - transform_.ToDevice(world);
  followsFit_ = false;
  staticValid_ = false;
  update();
  event->accept();
}

void PlanView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressedAt_ = event->position();
  lastDrag_ = event->position();
  dragging_ = false;
}

void PlanView::mouseMoveEvent(QMouseEvent* event) {
  if (!pressedAt_ || !(event->buttons() & Qt::LeftButton)) return;
  const QPointF moved = event->position() - *pressedAt_;
  if (!dragging_ && std::hypot(moved.x(), moved.y()) < kClickSlop) return;
  dragging_ = true;
  PanBy(event->position() - lastDrag_);
  lastDrag_ = event->position();
}

void PlanView::PanBy(QPointF pixels) {
  followsFit_ = false;
  transform_.origin += pixels;
  staticValid_ = false;
  update();
}

void PlanView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressedAt_) return;
  const bool click = !dragging_;
  pressedAt_.reset();
  dragging_ = false;
  if (!click) return;
  if (const std::optional<int> index = PointAt(event->position())) {
    emit PointClicked(*index, event->modifiers() & Qt::ControlModifier);
  }
}
