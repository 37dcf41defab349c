#include "paint/PlanPainter.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPolygonF>
#include <QRawFont>
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

PlanPoints PlanPointsOf(const PointList& points, Real nodalHeight, const Tilt& tilt0) {
  PlanPoints plan;
  plan.at.reserve(points.size());
  plan.labels.reserve(points.size());
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const PointRec& p = points[i];
    const QPointF at = Plan(PositionOf(p.Hor0, p.Vert0, p.Dist0, nodalHeight, tilt0));
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
    current.at = Plan(PositionOf(s.CurHor, s.CurVert, s.CurDist, s.NodalHeight, s.PanoTilt[0]));
  } catch (const TorbelError&) {
    return std::nullopt;  // a distance beyond any number has no place to draw
  }
  current.azimuthDeg = static_cast<double>(s.CurHor);
  const Firmness firm = FirmnessOf(s, s.Shapes());
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

QString ScaleBarLabel(double metres) {
  if (metres >= 1) return QStringLiteral("%1 m").arg(std::lround(metres));
  if (metres >= 0.01) return QStringLiteral("%1 cm").arg(std::lround(metres * 100));
  return QStringLiteral("%1 mm").arg(std::lround(metres * 1000));
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
  // A picture in memory at one pixel a pixel takes the dots straight into its rows: a hundred
  // thousand fills through the painter cost some 50 ms, far too much for a drag.
  auto* image = dynamic_cast<QImage*>(painter_.device());
  const bool direct = image != nullptr && px == 1 && image->devicePixelRatio() == 1 &&
                      painter_.transform().isIdentity() && !painter_.hasClipping() &&
                      (image->format() == QImage::Format_RGB32 ||
                       image->format() == QImage::Format_ARGB32_Premultiplied);
  const QRect pixels = direct ? area.toAlignedRect() & image->rect() : QRect();
  const QRgb colour = style_.point.rgb();
  for (std::size_t i = 0; i < points.at.size(); ++i) {
    const QPointF d = t_.ToDevice(points.at[i]);
    if (!inside.contains(d)) continue;
    labelled.push_back(i);
    if (!direct) {
      painter_.fillRect(QRectF(d.x() - half, d.y() - half, 2 * half, 2 * half), style_.point);
      continue;
    }
    // The 3 x 3 pixels the fill would colour: those whose centres lie inside the square.
    const int x0 = std::max(pixels.left(), static_cast<int>(std::lround(d.x() - half)));
    const int x1 = std::min(pixels.right(), static_cast<int>(std::lround(d.x() + half)) - 1);
    const int y0 = std::max(pixels.top(), static_cast<int>(std::lround(d.y() - half)));
    const int y1 = std::min(pixels.bottom(), static_cast<int>(std::lround(d.y() + half)) - 1);
    for (int y = y0; y <= y1; ++y) {
      auto* row = reinterpret_cast<QRgb*>(image->scanLine(y));
      for (int x = x0; x <= x1; ++x) row[x] = colour;
    }
  }
  painter_.setFont(font);
  painter_.setPen(style_.label);
  // On screen the labels go out as glyphs laid by hand: shaping each label's text anew costs
  // some 50 microseconds, and a view full of labels then takes tens of milliseconds. Paper
  // keeps them as text, so that a PDF or SVG reader finds them.
  const QString glyphChars = QStringLiteral(".0123456789");
  QRawFont raw;
  QList<quint32> glyphs;
  QList<QPointF> advances;
  if (!style_.everyLabel) {
    raw = QRawFont::fromFont(font);
    glyphs = raw.glyphIndexesForString(glyphChars);
    advances = raw.advancesForGlyphIndexes(glyphs);
    if (glyphs.size() != glyphChars.size() || advances.size() != glyphs.size()) raw = QRawFont();
  }
  QGlyphRun run;
  if (raw.isValid()) run.setRawFont(raw);
  QList<quint32> labelGlyphs;
  QList<QPointF> labelPositions;
  for (const std::size_t i : labelled) {
    const QPointF d = t_.ToDevice(points.at[i]);
    const QString text = PlanLabel(points.labels[i]);
    const QPointF baseline = d + QPointF(3 * px, metrics.ascent() / 2 - px);
    if (style_.everyLabel) {
      painter_.drawText(baseline, text);
      continue;
    }
    // The first cell before measuring the text: most candidates fail there.
    const QPointF corner(baseline.x(), baseline.y() - metrics.ascent());
    if (!area.contains(corner)) continue;
    const int c = static_cast<int>((corner.x() - area.left()) / lineHeight);
    const int r = static_cast<int>((corner.y() - area.top()) / lineHeight);
    if (taken[std::size_t(r) * std::size_t(columns) + std::size_t(c)]) continue;
    if (!raw.isValid()) {
      if (claim(QRectF(corner, QSizeF(metrics.horizontalAdvance(text), lineHeight)))) {
        painter_.drawText(baseline, text);
      }
      continue;
    }
    labelGlyphs.clear();
    labelPositions.clear();
    double x = 0;
    for (const QChar ch : text) {
      const qsizetype k = glyphChars.indexOf(ch);
      labelGlyphs.push_back(glyphs[k]);
      labelPositions.push_back(QPointF(x, 0));
      x += advances[k].x();
    }
    if (!claim(QRectF(corner, QSizeF(x, lineHeight)))) continue;
    run.setGlyphIndexes(labelGlyphs);
    run.setPositions(labelPositions);
    painter_.drawGlyphRun(baseline, run);
  }
}

void PlanPainter::Selected(const PlanPoints& points, const std::vector<int>& indices,
                           QChar separator) {
  const double px = style_.pixel, half = 2.5 * px;
  const QFont font = Font(11);
  const QFontMetricsF metrics(font, painter_.device());
  painter_.setFont(font);
  painter_.setPen(style_.selected);
  const auto valid = [&](int index) { return index >= 0 && std::size_t(index) < points.at.size(); };
  if (indices.size() == 2 && valid(indices[0]) && valid(indices[1])) {
    const QPointF a = points.at[std::size_t(indices[0])], b = points.at[std::size_t(indices[1])];
    const QPointF da = t_.ToDevice(a), db = t_.ToDevice(b);
    painter_.setPen(QPen(style_.selected, px));
    painter_.drawLine(da, db);
    QString length = QString::number(std::hypot(b.x() - a.x(), b.y() - a.y()), 'f', 3);
    length.replace(QLatin1Char('.'), separator);
    painter_.drawText((da + db) / 2 + QPointF(3 * px, -3 * px), length + QStringLiteral(" m"));
  }
  for (const int index : indices) {
    if (!valid(index)) continue;
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
  const QString text = ScaleBarLabel(metres);
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
