#include "paint/PanoramaPainter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

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

void PaintMark(const Canvas& p, int station, const WorkingState& s, int index, QPoint at) {
  const QColor& colour = index == s.SelIndex ? kRed : kAqua;
  if (station == 0) {
    SmallCircle(p, at, colour);
  } else {
    Cross(p, at, 5, 15, station == 2 ? 2 : 1, colour);
  }
}

void PaintStoredPoints(const Canvas& p, int station, const WorkingState& s, MarkIndex& marks) {
  for (const MarkIndex::Mark& m :
       marks.Near(s.Points, s.Station(station).Pano.Shape, p.area, kMarkReach)) {
    PaintMark(p, station, s, m.index, m.pixel);
  }
}

// The same on a screen at another scale: `surface` is the part of the surface the canvas shows.
void PaintStoredPoints(const Canvas& p, const SurfaceOnScreen& on, const QRect& surface,
                       int station, const WorkingState& s, MarkIndex& marks) {
  const int reach = static_cast<int>(std::ceil(kMarkReach / on.scale)) + 1;
  for (const MarkIndex::Mark& m :
       marks.Near(s.Points, s.Station(station).Pano.Shape, surface, reach)) {
    PaintMark(p, station, s, m.index, on.ScreenPixel(on.scale > 1 ? m.at : QPointF(m.pixel)));
  }
}

// The found tie points within `surface` (a square ring each), placed on the canvas by `place`.
template <typename Place>
void PaintShownTies(const Canvas& p, int station, const WorkingState& s, const QRect& surface,
                    const Place& place) {
  const Panorama& shape = s.Station(station).Pano.Shape;
  for (const WorkingState::ShownTie& t : s.ShownTies) {
    const Mark& m = t.at[static_cast<std::size_t>(station)];
    QPoint pixel;
    QPointF at;
    if (!ViewPixel(shape, m.Hor, m.Vert, pixel, &at) ||
        !surface.adjusted(-kMarkReach, -kMarkReach, kMarkReach, kMarkReach).contains(pixel))
      continue;
    const QPoint c = place(pixel, at);
    const QColor& colour = t.used ? kTieUsed : kTieLeftOut;
    for (const QRect& side : {QRect(c.x() - 3, c.y() - 3, 7, 1), QRect(c.x() - 3, c.y() + 3, 7, 1),
                              QRect(c.x() - 3, c.y() - 2, 1, 5), QRect(c.x() + 3, c.y() - 2, 1, 5)})
      p.Fill(side, colour);
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

// The mark by hand: arms from 2 to 5 pixels out along the diagonals, so that the spot itself
// stays in sight.
constexpr int kHandGap = 2, kHandReach = 5;

void HandMark(const Canvas& p, QPoint c) {
  for (int d = kHandGap; d <= kHandReach; ++d) {
    for (const QPoint arm : {QPoint(d, d), QPoint(-d, d), QPoint(d, -d), QPoint(-d, -d)}) {
      p.Fill(QRect(c + arm, QSize(1, 1)), kMagenta);
    }
  }
}

void PaintMarker(const Canvas& p, const CurrentMarker& m) {
  if (m.marked) HandMark(p, m.markPixel);
  const QPoint c = m.pixel;
  switch (m.kind) {
    case CurrentMarker::Kind::None:
      return;
    case CurrentMarker::Kind::Cross:
      Cross(p, c, 10, 10, 1, m.colour);
      return;
    case CurrentMarker::Kind::Guide:
      p.Fill(VerticalLine(c.x(), m.top, m.top + m.height, 1), m.colour);
      p.Fill(HorizontalLine(c.x() - 5, c.x() + 5, c.y(), 1), m.colour);
      return;
  }
}

}  // namespace

CurrentMarker MarkerOf(int station, const WorkingState& s) {
  CurrentMarker m;
  const std::optional<Mark>& hand = station == 1 ? s.CurMark1 : s.CurMark2;
  if (station > 0 && s.Mode == Mode::ModePoint && hand) {
    m.marked =
        ViewPixel(s.Station(station).Pano.Shape, hand->Hor, hand->Vert, m.markPixel, &m.markAt);
  }
  m.kind = MarkerKind(station, s);
  if (m.kind == CurrentMarker::Kind::None || !MarkerPixel(station, s, m.pixel)) {
    m.kind = CurrentMarker::Kind::None;
    m.pixel = {};
    return m;
  }
  const auto fields = s.Station(station);
  m.at = QPointF(static_cast<double>(fields.Pano.Shape.Column(fields.Hor)),
                 static_cast<double>(fields.Pano.Shape.Row(fields.Vert)));
  m.height = fields.Pano.Shape.Height();
  m.colour = m.kind == CurrentMarker::Kind::Cross
                 ? kRed
                 : GuideColour(station == 1 ? s.DeltaHor1 : s.DeltaHor2);
  return m;
}

QRegion MarkerRegion(const CurrentMarker& m) {
  QRegion region;
  if (m.marked) {
    region = QRect(m.markPixel - QPoint(kHandReach, kHandReach),
                   QSize(2 * kHandReach + 1, 2 * kHandReach + 1));
  }
  const QPoint c = m.pixel;
  switch (m.kind) {
    case CurrentMarker::Kind::None:
      break;
    case CurrentMarker::Kind::Cross:
      return region + HorizontalLine(c.x() - 10, c.x() + 10, c.y(), 1) +
             VerticalLine(c.x(), c.y() - 10, c.y() + 10, 1);
    case CurrentMarker::Kind::Guide:
      return region + VerticalLine(c.x(), m.top, m.top + m.height, 1) +
             HorizontalLine(c.x() - 5, c.x() + 5, c.y(), 1);
  }
  return region;
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
  PaintShownTies(canvas, station, s, inside, [](QPoint pixel, QPointF) { return pixel; });
  PaintMarker(canvas, marker);
}

QPoint SurfaceOnScreen::ScreenPixel(QPointF surface) const {
  return {static_cast<int>(std::floor(x0 + (surface.x() + 0.5) * scale)),
          static_cast<int>(std::floor(y0 + (surface.y() + 0.5) * scale))};
}

QPointF SurfaceOnScreen::SurfacePoint(QPoint screen) const {
  return {(screen.x() + 0.5 - x0) / scale - 0.5, (screen.y() + 0.5 - y0) / scale - 0.5};
}

CurrentMarker ScreenMarker(const CurrentMarker& marker, const SurfaceOnScreen& on,
                           int surfaceHeight) {
  CurrentMarker m = marker;
  if (m.marked) m.markPixel = on.ScreenPixel(on.scale > 1 ? m.markAt : QPointF(m.markPixel));
  if (m.kind == CurrentMarker::Kind::None) return m;
  m.pixel = on.ScreenPixel(on.scale > 1 ? m.at : QPointF(m.pixel));
  m.top = static_cast<int>(std::lround(on.y0));
  m.height = static_cast<int>(std::lround(on.y0 + surfaceHeight * on.scale)) - m.top;
  return m;
}

namespace {

// The first screen position (of `count` from `first`) whose middle shows a panorama pixel of
// 0 ... pixels - 1, and the source pixel of each: -1 where none.
void SourceIndices(int first, int count, double origin, double scale, int pixels,
                   std::vector<int>& source) {
  source.resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const double at = std::floor((first + i + 0.5 - origin) / scale);
    source[static_cast<std::size_t>(i)] = at >= 0 && at < pixels ? static_cast<int>(at) : -1;
  }
}

}  // namespace

void PaintScaledPanorama(QPainter& painter, const QRect& area, const SurfaceOnScreen& on,
                         int station, const WorkingState& s, MarkIndex& marks,
                         const QColor& background, const CurrentMarker& marker) {
  if (area.isEmpty()) return;
  const PanoPicture& pano = s.Station(station).Pano;
  const QImage& image = pano.Image;
  // Nearest pixel for every screen pixel: a block for each panorama pixel, enlarged; a sample,
  // reduced. Each row is worked out once and copied down while the source row repeats.
  thread_local std::vector<int> columns, rows;
  thread_local QImage buffer;
  SourceIndices(area.left(), area.width(), on.x0, on.scale, image.width(), columns);
  SourceIndices(area.top(), area.height(), on.y0, on.scale, image.height(), rows);
  if (buffer.width() < area.width() || buffer.height() < area.height()) {
    buffer = QImage(std::max(buffer.width(), area.width()),
                    std::max(buffer.height(), area.height()), QImage::Format_RGB32);
  }
  const QImage source =
      image.depth() == 32 || image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
  const QRgb fill = background.rgb();
  const auto width = static_cast<std::size_t>(area.width());
  int previous = -2;
  for (int y = 0; y < area.height(); ++y) {
    auto* dst = reinterpret_cast<QRgb*>(buffer.scanLine(y));
    const int sy = rows[static_cast<std::size_t>(y)];
    if (y > 0 && sy == previous) {
      std::memcpy(dst, buffer.constScanLine(y - 1), width * sizeof(QRgb));
      continue;
    }
    previous = sy;
    if (sy < 0) {
      std::fill(dst, dst + width, fill);
      continue;
    }
    const auto* src = reinterpret_cast<const QRgb*>(source.constScanLine(sy));
    for (std::size_t x = 0; x < width; ++x) {
      const int sx = columns[x];
      dst[x] = sx >= 0 ? src[sx] : fill;
    }
  }
  painter.drawImage(area.topLeft(), buffer, QRect(QPoint(0, 0), area.size()));

  // The part of the surface behind the area, for the marks near it.
  const QPointF a = on.SurfacePoint(area.topLeft()), b = on.SurfacePoint(area.bottomRight());
  const QRect surface(
      QPoint(static_cast<int>(std::floor(a.x())), static_cast<int>(std::floor(a.y()))),
      QPoint(static_cast<int>(std::ceil(b.x())), static_cast<int>(std::ceil(b.y()))));
  const QRect inside =
      area &
      QRect(QPoint(static_cast<int>(std::lround(on.x0)), static_cast<int>(std::lround(on.y0))),
            QPoint(static_cast<int>(std::lround(on.x0 + pano.Shape.Width() * on.scale)) - 1,
                   static_cast<int>(std::lround(on.y0 + pano.Shape.Height() * on.scale)) - 1));
  if (inside.isEmpty()) return;
  const Canvas canvas{painter, inside};
  PaintStoredPoints(canvas, on, surface, station, s, marks);
  PaintShownTies(canvas, station, s, surface, [&on](QPoint pixel, QPointF at) {
    return on.ScreenPixel(on.scale > 1 ? at : QPointF(pixel));
  });
  PaintMarker(canvas, ScreenMarker(marker, on, pano.Shape.Height()));
}
