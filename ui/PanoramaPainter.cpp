#include "ui/PanoramaPainter.h"

#include <cmath>

#include "geometry/Mapping.h"

namespace {

// Lines colour the pixels from the start up to, but not including, the end. A pen wider than one
// pixel grows towards the top and the left.
QRect HorizontalLine(int x0, int x1, int y, int width) {
  return QRect(x0, y - width / 2, x1 - x0, width);
}
QRect VerticalLine(int x, int y0, int y1, int width) {
  return QRect(x - width / 2, y0, width, y1 - y0);
}

// The outline of the ellipse inscribed in the box (x - 3, y - 3) .. (x + 4, y + 4), right and
// bottom exclusive: a circle 7 pixels across, centred on (x, y).
// Fills only what lies in the painted area: Qt hands tall fills to its thread pool, which costs
// more than the fill itself for a one-pixel guide line.
struct Canvas {
  QPainter& painter;
  QRect area;
  void Fill(const QRect& r, const QColor& colour) const {
    const QRect visible = r & area;
    if (!visible.isEmpty()) painter.fillRect(visible, colour);
  }
};

void SmallCircle(const Canvas& p, QPoint c, const QColor& colour) {
  static constexpr QPoint kOutline[] = {{-1, -3}, {0, -3}, {1, -3}, {-2, -2}, {2, -2}, {-3, -1},
                                        {3, -1},  {-3, 0}, {3, 0},  {-3, 1},  {3, 1},  {-2, 2},
                                        {2, 2},   {-1, 3}, {0, 3},  {1, 3}};
  for (const QPoint& d : kOutline) p.Fill(QRect(c + d, QSize(1, 1)), colour);
}

void Cross(const Canvas& p, QPoint c, int halfWidth, int halfHeight, int width,
           const QColor& colour) {
  p.Fill(HorizontalLine(c.x() - halfWidth, c.x() + halfWidth, c.y(), width), colour);
  p.Fill(VerticalLine(c.x(), c.y() - halfHeight, c.y() + halfHeight, width), colour);
}

// The largest mark, the two-pixel cross, reaches 15 pixels from its point and one more sideways.
constexpr int kMarkReach = 16;

void PaintStoredPoints(const Canvas& p, int station, const WorkingState& s, MarkIndex& marks) {
  const int penWidth = station == 2 ? 2 : 1;
  for (const MarkIndex::Mark& m :
       marks.Near(s.Points, s.Station(station).Pano.Shape, p.area, kMarkReach)) {
    const QColor& colour = m.index == s.SelIndex ? kRed : kAqua;
    if (station == 0) {
      SmallCircle(p, m.pixel, colour);
    } else {
      Cross(p, m.pixel, 5, 15, penWidth, colour);
    }
  }
}

// The guide line is red where the point lies well away from the line P0 - station (10 to 170
// degrees seen from P0), and grey where the intersection is too flat to judge the distance.
const QColor& GuideColour(Real deltaHor) {
  const Real d = std::fabs(deltaHor);
  return d >= 10 && d <= 170 ? kRed : kGrey;
}

// The current point's pixel, placed as the stored marks are, without their test of the angle.
bool MarkerPixel(int station, const WorkingState& s, QPoint& pixel) {
  const auto fields = s.Station(station);
  return ViewPixel(fields.Pano.Shape, static_cast<double>(fields.Hor),
                   static_cast<double>(fields.Vert), pixel);
}

CurrentMarker::Kind MarkerKind(int station, const WorkingState& s) {
  using Kind = CurrentMarker::Kind;
  switch (station) {
    case 0:
      return s.Mode == Mode::ModePoint || s.Mode == Mode::ModeP0zu1 || s.Mode == Mode::ModeP0zu2
                 ? Kind::Cross
                 : Kind::None;
    case 1:
      return s.Mode == Mode::ModePoint   ? Kind::Guide
             : s.Mode == Mode::ModeP1zu0 ? Kind::Cross
                                         : Kind::None;
    default:
      return s.Mode == Mode::ModePoint   ? Kind::Guide
             : s.Mode == Mode::ModeP2zu0 ? Kind::Cross
                                         : Kind::None;
  }
}

void PaintMarker(const Canvas& p, const CurrentMarker& m) {
  const QPoint c = m.pixel;
  switch (m.kind) {
    case CurrentMarker::Kind::None:
      return;
    case CurrentMarker::Kind::Cross:
      Cross(p, c, 10, 10, 1, m.colour);
      return;
    case CurrentMarker::Kind::Guide:
      p.Fill(VerticalLine(c.x(), 0, m.height, 1), m.colour);
      p.Fill(HorizontalLine(c.x() - 5, c.x() + 5, c.y(), 1), m.colour);
      return;
  }
}

}  // namespace

CurrentMarker MarkerOf(int station, const WorkingState& s) {
  CurrentMarker m;
  m.kind = MarkerKind(station, s);
  if (m.kind == CurrentMarker::Kind::None || !MarkerPixel(station, s, m.pixel)) return {};
  m.height = s.Station(station).Pano.Shape.Height();
  m.colour = m.kind == CurrentMarker::Kind::Cross
                 ? kRed
                 : GuideColour(station == 1 ? s.DeltaHor1 : s.DeltaHor2);
  return m;
}

QRegion MarkerRegion(const CurrentMarker& m) {
  const QPoint c = m.pixel;
  switch (m.kind) {
    case CurrentMarker::Kind::None:
      break;
    case CurrentMarker::Kind::Cross:
      return QRegion(HorizontalLine(c.x() - 10, c.x() + 10, c.y(), 1)) +
             VerticalLine(c.x(), c.y() - 10, c.y() + 10, 1);
    case CurrentMarker::Kind::Guide:
      return QRegion(VerticalLine(c.x(), 0, m.height, 1)) +
             HorizontalLine(c.x() - 5, c.x() + 5, c.y(), 1);
  }
  return {};
}

void PaintPanorama(QPainter& painter, const QRect& area, int station, const WorkingState& s,
                   MarkIndex& marks, const QColor& background, const CurrentMarker& marker) {
  const PanoPicture& pano = s.Station(station).Pano;
  const QRect surface(0, 0, pano.Shape.Width(), pano.Shape.Height());
  const QRect inside = area & surface;
  const QRect picture = inside & pano.Image.rect();
  if (picture != area) {
    // Fill around the picture in a few strips, not under it.
    for (const QRect& r : QRegion(area).subtracted(picture)) painter.fillRect(r, background);
  }
  if (inside.isEmpty()) return;
  if (!picture.isEmpty()) painter.drawImage(picture.topLeft(), pano.Image, picture);
  const Canvas canvas{painter, inside};
  PaintStoredPoints(canvas, station, s, marks);
  PaintMarker(canvas, marker);
}
