#include "ui/PlanPainter.h"

#include <QFontMetricsF>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "geometry/Coordinates.h"
#include "geometry/Firmness.h"
#include "geometry/TorbelError.h"

namespace {

QPointF Plan(const LocalPosition& p) {
  return {static_cast<double>(p.X), static_cast<double>(p.Y)};
}

}  // namespace

std::optional<PlanStations> PlanStationsOf(const WorkingState& s) {
  try {
    const StationGrounds g = StationsOf(s);
    return PlanStations{Plan(g.P0), Plan(g.P1), Plan(g.P2)};
  } catch (const TorbelError&) {
    return std::nullopt;  // nothing measured yet: there are no stations to draw
  }
}

PlanPoints PlanPointsOf(const PointList& points, Real nodalHeight) {
  PlanPoints plan;
  plan.at.reserve(points.size());
  plan.labels.reserve(points.size());
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const PointRec& p = points[i];
    const QPointF at = Plan(PositionOf(p.Hor0, p.Vert0, p.Dist0, nodalHeight));
    if (i == 0) {
      minX = maxX = at.x();
      minY = maxY = at.y();
    }
    minX = std::min(minX, at.x());
    maxX = std::max(maxX, at.x());
    minY = std::min(minY, at.y());
    maxY = std::max(maxY, at.y());
    plan.at.push_back(at);
    plan.labels.push_back(points.Label(i));
  }
  if (!points.empty()) plan.bounds = QRectF(QPointF(minX, minY), QPointF(maxX, maxY));
  return plan;
}

std::optional<PlanCurrent> PlanCurrentOf(const WorkingState& s) {
  if (s.Mode != Mode::ModePoint) return std::nullopt;
  PlanCurrent current;
  try {
    current.at = Plan(PositionOf(s.CurHor, s.CurVert, s.CurDist, s.NodalHeight));
  } catch (const TorbelError&) {
    return std::nullopt;  // a distance beyond any number has no place to draw
  }
  current.azimuthDeg = static_cast<double>(s.CurHor);
  const Firmness firm = FirmnessOf(s);
  // Along the sight line, the plan shows the level part of the deviation.
  if (firm.AlongCm) {
    current.alongM = kPlanEllipseSigmas * static_cast<double>(*firm.AlongCm) / 100 *
                     std::fabs(std::cos(static_cast<double>(s.CurVert * DegToRad)));
  }
  if (firm.AcrossCm) {
    current.acrossM = kPlanEllipseSigmas * static_cast<double>(*firm.AcrossCm) / 100;
  }
  return current;
}

std::optional<QRectF> PlanExtent(const std::optional<PlanStations>& stations,
                                 const PlanPoints& points, const std::optional<QPointF>& more) {
  // QRectF::united() passes over rectangles without area, such as a single point.
  std::optional<QPointF> low, high;
  const auto take = [&](QPointF p) {
    low = low ? QPointF(std::min(low->x(), p.x()), std::min(low->y(), p.y())) : p;
    high = high ? QPointF(std::max(high->x(), p.x()), std::max(high->y(), p.y())) : p;
  };
  if (!points.at.empty()) {
    take(points.bounds.topLeft());
    take(points.bounds.bottomRight());
  }
  if (stations) {
    take(stations->p0);
    take(stations->p1);
    take(stations->p2);
  }
  if (more) take(*more);
  if (!low) return std::nullopt;
  return QRectF(*low, *high);
}

PlanTransform PlanTransform::Fitting(const QRectF& world, const QRectF& device, double margin) {
  const QRectF room = device.adjusted(margin, margin, -margin, -margin);
  // A single point, or none, is shown at 10 device units a metre.
  double scale = 10;
  if (world.width() > 0 || world.height() > 0) {
    const double sx = world.width() > 0 ? room.width() / world.width() : 1e300;
    const double sy = world.height() > 0 ? room.height() / world.height() : 1e300;
    scale = std::max(std::min(sx, sy), 1e-9);
  }
  return Centred(world, device, scale);
}

PlanTransform PlanTransform::Centred(const QRectF& world, const QRectF& device, double scale) {
  const QPointF middle = world.center();
  PlanTransform t;
  t.scale = scale;
  t.origin =
      QPointF(device.center().x() - scale * middle.x(), device.center().y() + scale * middle.y());
  return t;
}

double RoundBarLength(double maxMetres) {
  if (!(maxMetres > 0) || !std::isfinite(maxMetres)) return 0;
  const double decade = std::pow(10.0, std::floor(std::log10(maxMetres)));
  for (const double step : {5.0, 2.0, 1.0}) {
    if (step * decade <= maxMetres * (1 + 1e-12)) return step * decade;
  }
  return decade;
}

PlanPainter::PlanPainter(QPainter& painter, const PlanTransform& transform, const PlanStyle& style)
    : painter_(painter), t_(transform), style_(style) {}

QFont PlanPainter::Font(double pixels) const {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels * style_.pixel))));
  return font;
}

void PlanPainter::Background(const QRectF& area) {
  painter_.fillRect(area, style_.background);
}

void PlanPainter::Stations(const PlanStations& stations) {
  const double px = style_.pixel;
  painter_.setPen(QPen(style_.line, px));
  const QPointF p0 = t_.ToDevice(stations.p0);
  painter_.drawLine(p0, t_.ToDevice(stations.p1));
  painter_.drawLine(p0, t_.ToDevice(stations.p2));
  painter_.setFont(Font(12));
  const QPointF names[] = {stations.p0, stations.p1, stations.p2};
  for (int i = 0; i < 3; ++i) {
    const QPointF at = t_.ToDevice(names[i]);
    const QPolygonF triangle({at + QPointF(0, -6 * px), at + QPointF(5.5 * px, 4 * px),
                              at + QPointF(-5.5 * px, 4 * px)});
    painter_.setPen(QPen(style_.ink, 1.5 * px));
    painter_.setBrush(style_.background);
    painter_.drawPolygon(triangle);
    painter_.setBrush(Qt::NoBrush);
    painter_.drawText(at + QPointF(7 * px, 14 * px), QStringLiteral("P%1").arg(i));
  }
}

void PlanPainter::Points(const PlanPoints& points, const QRectF& area) {
  const double px = style_.pixel, half = 1.5 * px;
  const QRectF inside = area.adjusted(-half, -half, half, half);
  // On screen, a label goes only where no other lies: the area is cut into cells a line high,
  // and a label takes the cells it covers.
  const QFont font = Font(11);
  const QFontMetricsF metrics(font, painter_.device());
  const double lineHeight = metrics.height();
  const int columns = static_cast<int>(area.width() / lineHeight) + 1;
  const int rows = static_cast<int>(area.height() / lineHeight) + 1;
  std::vector<bool> taken(style_.everyLabel ? 0 : std::size_t(columns) * std::size_t(rows));
  const auto claim = [&](const QRectF& box) {
    if (style_.everyLabel) return true;
    const int c0 = std::max(0, static_cast<int>((box.left() - area.left()) / lineHeight));
    const int c1 =
        std::min(columns - 1, static_cast<int>((box.right() - area.left()) / lineHeight));
    const int r0 = std::max(0, static_cast<int>((box.top() - area.top()) / lineHeight));
    const int r1 = std::min(rows - 1, static_cast<int>((box.bottom() - area.top()) / lineHeight));
    for (int r = r0; r <= r1; ++r) {
      for (int c = c0; c <= c1; ++c) {
        if (taken[std::size_t(r) * std::size_t(columns) + std::size_t(c)]) return false;
      }
    }
    for (int r = r0; r <= r1; ++r) {
      for (int c = c0; c <= c1; ++c)
        taken[std::size_t(r) * std::size_t(columns) + std::size_t(c)] = true;
    }
    return true;
  };

  std::vector<std::size_t> labelled;
  for (std::size_t i = 0; i < points.at.size(); ++i) {
    const QPointF d = t_.ToDevice(points.at[i]);
    if (!inside.contains(d)) continue;
    painter_.fillRect(QRectF(d.x() - half, d.y() - half, 2 * half, 2 * half), style_.point);
    labelled.push_back(i);
  }
  painter_.setFont(font);
  painter_.setPen(style_.label);
  for (const std::size_t i : labelled) {
    const QPointF d = t_.ToDevice(points.at[i]);
    const QString text = PlanLabel(points.labels[i]);
    const QPointF baseline = d + QPointF(3 * px, metrics.ascent() / 2 - px);
    if (!style_.everyLabel) {
      // The first cell before measuring the text: most candidates fail there.
      const QRectF first(baseline.x(), baseline.y() - metrics.ascent(), 1, lineHeight);
      if (!area.contains(first.topLeft())) continue;
      const int c = static_cast<int>((first.left() - area.left()) / lineHeight);
      const int r = static_cast<int>((first.top() - area.top()) / lineHeight);
      if (taken[std::size_t(r) * std::size_t(columns) + std::size_t(c)]) continue;
    }
    const QRectF box(baseline.x(), baseline.y() - metrics.ascent(), metrics.horizontalAdvance(text),
                     lineHeight);
    if (claim(box)) painter_.drawText(baseline, text);
  }
}

void PlanPainter::Selected(const PlanPoints& points, const std::vector<int>& indices) {
  const double px = style_.pixel, half = 2.5 * px;
  const QFont font = Font(11);
  const QFontMetricsF metrics(font, painter_.device());
  painter_.setFont(font);
  painter_.setPen(style_.selected);
  for (const int index : indices) {
    if (index < 0 || std::size_t(index) >= points.at.size()) continue;
    const QPointF d = t_.ToDevice(points.at[std::size_t(index)]);
    painter_.fillRect(QRectF(d.x() - half, d.y() - half, 2 * half, 2 * half), style_.selected);
    painter_.drawText(d + QPointF(3 * px, metrics.ascent() / 2 - px),
                      PlanLabel(points.labels[std::size_t(index)]));
  }
}

void PlanPainter::Current(const PlanCurrent& current, const std::optional<PlanStations>& stations) {
  const double px = style_.pixel;
  const QPointF at = t_.ToDevice(current.at);
  painter_.setPen(QPen(style_.current, px, Qt::DashLine));
  if (stations) {
    for (const QPointF& s : {stations->p0, stations->p1, stations->p2}) {
      painter_.drawLine(t_.ToDevice(s), at);
    }
  }
  painter_.setPen(QPen(style_.current, px));
  painter_.drawLine(at - QPointF(6 * px, 0), at + QPointF(6 * px, 0));
  painter_.drawLine(at - QPointF(0, 6 * px), at + QPointF(0, 6 * px));
  if (current.alongM && current.acrossM) {
    painter_.save();
    painter_.setPen(QPen(style_.current, 1.5 * px));
    painter_.setBrush(Qt::NoBrush);
    painter_.translate(at);
    // The device's x axis turned onto the sight line's azimuth (clockwise from +Y).
    painter_.rotate(current.azimuthDeg - 90);
    painter_.drawEllipse(QPointF(0, 0), *current.alongM * t_.scale, *current.acrossM * t_.scale);
    painter_.restore();
  }
}

double PlanPainter::ScaleBar(QPointF at, double maxLength) {
  const double px = style_.pixel;
  const double metres = RoundBarLength(maxLength / t_.scale);
  if (metres <= 0) return 0;
  const double length = metres * t_.scale;
  painter_.fillRect(QRectF(at.x(), at.y() - 4 * px, length, 4 * px), style_.ink);
  QString text;
  if (metres >= 1) {
    text = QStringLiteral("%1 m").arg(std::lround(metres));
  } else if (metres >= 0.01) {
    text = QStringLiteral("%1 cm").arg(std::lround(metres * 100));
  } else {
    text = QStringLiteral("%1 mm").arg(std::lround(metres * 1000));
  }
  painter_.setFont(Font(11));
  painter_.setPen(style_.ink);
  const QFontMetricsF metrics(painter_.font(), painter_.device());
  painter_.drawText(QPointF(at.x() + length - metrics.horizontalAdvance(text), at.y() - 7 * px),
                    text);
  return metres;
}

void PlanPainter::NorthArrow(QPointF tip) {
  const double px = style_.pixel;
  painter_.setPen(QPen(style_.ink, 1.5 * px));
  painter_.drawLine(tip + QPointF(0, 6 * px), tip + QPointF(0, 30 * px));
  painter_.setBrush(style_.ink);
  painter_.drawPolygon(
      QPolygonF({tip, tip + QPointF(5 * px, 12 * px), tip + QPointF(-5 * px, 12 * px)}));
  painter_.setBrush(Qt::NoBrush);
  painter_.setFont(Font(11));
  painter_.drawText(tip + QPointF(8 * px, 22 * px), QStringLiteral("+Y"));
}

void PlanPainter::Legend(QPointF at, const QStringList& lines) {
  painter_.setFont(Font(11));
  painter_.setPen(style_.ink);
  const QFontMetricsF metrics(painter_.font(), painter_.device());
  for (int i = 0; i < lines.size(); ++i) {
    painter_.drawText(at + QPointF(0, metrics.ascent() + i * metrics.lineSpacing()), lines[i]);
  }
}
