#include "ui/ZoomRouter.h"

#include <QCursor>
#include <QWheelEvent>

#include "ui/Magnifier.h"
#include "ui/PanoramaView.h"

namespace {

bool Under(const QWidget* widget, QPointF global) {
  return widget->isVisible() && widget->rect().contains(widget->mapFromGlobal(global).toPoint());
}

}  // namespace

void ZoomRouter::Attach(const std::array<PanoramaView*, 3>& views,
                        const std::array<Magnifier*, 3>& magnifiers, const QWidget* plan) {
  views_ = views;
  magnifiers_ = magnifiers;
  plan_ = plan;
}

ZoomRouter::Wheel ZoomRouter::Route(const QWheelEvent& wheel) {
  const QPointF global = wheel.globalPosition();
  if (Under(plan_, global)) return Wheel::Plan;
  const auto notches = [this, &wheel] {
    wheelRest_ += wheel.angleDelta().y();
    const int steps = wheelRest_ / 120;
    wheelRest_ -= steps * 120;
    return steps;
  };
  for (std::size_t station = 0; station < views_.size(); ++station) {
    if (Under(magnifiers_[station], global)) {
      magnifiers_[station]->ZoomBy(notches());
      return Wheel::Zoomed;
    }
    QWidget* surface = views_[station]->viewport();
    if ((wheel.modifiers() & Qt::ControlModifier) && Under(surface, global)) {
      if (const int steps = notches()) {
        views_[station]->ZoomBy(steps, surface->mapFromGlobal(global).toPoint());
      }
      return Wheel::Zoomed;
    }
  }
  return Wheel::NoZoom;
}

PanoramaView* ZoomRouter::Zoomed(QPoint& anchor) const {
  PanoramaView* view = views_[static_cast<std::size_t>(lastView_)];
  const QWidget* surface = view->viewport();
  anchor = surface->mapFromGlobal(QCursor::pos());
  if (!surface->rect().contains(anchor)) anchor = surface->rect().center();
  return view;
}

void ZoomRouter::ZoomBy(int steps) {
  QPoint anchor;
  Zoomed(anchor)->ZoomBy(steps, anchor);
}

void ZoomRouter::ZoomToOriginal() {
  QPoint anchor;
  Zoomed(anchor)->ZoomToOriginal(anchor);
}
