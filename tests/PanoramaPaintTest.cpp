#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <limits>

#include "geometry/Mapping.h"
#include "paint/PanoramaPainter.h"
#include "tests/ClassicPanorama.h"

namespace {

const QColor kBackground(0, 0, 0);

// Paints `area` of a station's view into an image of its size; pixel(x, y) reads surface
// coordinates.
struct Painted {
  QImage image;
  QRect area;
  QColor pixel(int x, int y) const { return image.pixelColor(x - area.x(), y - area.y()); }
};

Painted Paint(const WorkingState& s, int station, QRect area) {
  Painted p{QImage(area.size(), QImage::Format_RGB32), area};
  QPainter painter(&p.image);
  painter.translate(-area.topLeft());
  MarkIndex marks(station);
  PaintPanorama(painter, area, station, s, marks, kBackground, MarkerOf(station, s));
  return p;
}

PointRec PointAt(double hor, double vert) {
  PointRec r;
  r.Hor0 = r.Hor1 = r.Hor2 = hor;
  r.Vert0 = r.Vert1 = r.Vert2 = vert;
  return r;
}

// Column 4080 and row 2040 are 0 degrees.
constexpr int X = 4080, Y = 2040;
const QRect kAround(X - 40, Y - 40, 80, 80);

TEST(PanoramaPaint, StoredPointsInP0AreSevenPixelCircles) {
  WorkingState s;
  s.Points.Assign({PointAt(0, 0)});
  s.SelIndex = 0;
  const Painted p = Paint(s, 0, kAround);
  for (const QPoint d : {QPoint(-3, 0), QPoint(3, 0), QPoint(0, -3), QPoint(0, 3), QPoint(-2, -2),
                         QPoint(2, 2), QPoint(-1, 3), QPoint(1, -3)}) {
    EXPECT_EQ(p.pixel(X + d.x(), Y + d.y()), kRed) << d.x() << "," << d.y();
  }
  for (const QPoint d : {QPoint(0, 0), QPoint(4, 0), QPoint(0, 4), QPoint(-4, 0), QPoint(-3, -3),
                         QPoint(3, 3), QPoint(1, 1)}) {
    EXPECT_EQ(p.pixel(X + d.x(), Y + d.y()), kBackground) << d.x() << "," << d.y();
  }
}

TEST(PanoramaPaint, CrossArmsStopOneShortOfTheirEnd) {
  WorkingState s;
  s.Points.Assign({PointAt(0, 0)});
  s.SelIndex = 7;  // no point selected: aqua
  const Painted p1 = Paint(s, 1, kAround);
  EXPECT_EQ(p1.pixel(X - 5, Y), kAqua);
  EXPECT_EQ(p1.pixel(X + 4, Y), kAqua);
  EXPECT_EQ(p1.pixel(X + 5, Y), kBackground);
  EXPECT_EQ(p1.pixel(X - 6, Y), kBackground);
  EXPECT_EQ(p1.pixel(X, Y - 15), kAqua);
  EXPECT_EQ(p1.pixel(X, Y + 14), kAqua);
  EXPECT_EQ(p1.pixel(X, Y + 15), kBackground);
  EXPECT_EQ(p1.pixel(X + 1, Y + 5), kBackground);  // one pixel thin in P1

  // P2 draws the same cross two pixels thick.
  const Painted p2 = Paint(s, 2, kAround);
  EXPECT_EQ(p2.pixel(X + 2, Y), kAqua);
  EXPECT_EQ(p2.pixel(X + 2, Y - 1), kAqua);
  EXPECT_EQ(p2.pixel(X + 2, Y + 1), kBackground);
  EXPECT_EQ(p2.pixel(X, Y + 10), kAqua);
  EXPECT_EQ(p2.pixel(X - 1, Y + 10), kAqua);
  EXPECT_EQ(p2.pixel(X + 1, Y + 10), kBackground);

  // The current point's cross in P0 reaches ten pixels.
  s.Points.Clear();
  s.Mode = Mode::ModeP0zu1;
  const Painted p0 = Paint(s, 0, kAround);
  EXPECT_EQ(p0.pixel(X - 10, Y), kRed);
  EXPECT_EQ(p0.pixel(X + 9, Y), kRed);
  EXPECT_EQ(p0.pixel(X + 10, Y), kBackground);
  EXPECT_EQ(p0.pixel(X, Y - 10), kRed);
  EXPECT_EQ(p0.pixel(X, Y + 9), kRed);
  EXPECT_EQ(p0.pixel(X, Y + 10), kBackground);
}

TEST(PanoramaPaint, GuideLineIsRedOnlyWhereTheIntersectionIsSteep) {
  WorkingState s;
  s.Mode = Mode::ModePoint;
  s.P1Hor = 0;
  s.P1Vert = 0;
  const struct {
    Real delta;
    QColor colour;
  } cases[] = {{10, kRed},
               {170, kRed},
               {-10, kRed},
               {-170, kRed},
               {90, kRed},
               {9.99L, kGrey},
               {170.01L, kGrey},
               {-9.99L, kGrey},
               {0, kGrey},
               {180, kGrey},
               {std::numeric_limits<Real>::quiet_NaN(), kGrey}};
  for (const auto& c : cases) {
    s.DeltaHor1 = c.delta;
    // The line runs the whole height of the panorama; the tick is ten pixels wide.
    const Painted top = Paint(s, 1, QRect(X - 10, 0, 20, 2));
    EXPECT_EQ(top.pixel(X, 0), c.colour) << static_cast<double>(c.delta);
    const Painted bottom = Paint(s, 1, QRect(X - 10, PanoHeight - 2, 20, 2));
    EXPECT_EQ(bottom.pixel(X, PanoHeight - 1), c.colour);
    const Painted tick = Paint(s, 1, kAround);
    EXPECT_EQ(tick.pixel(X - 5, Y), c.colour);
    EXPECT_EQ(tick.pixel(X + 4, Y), c.colour);
    EXPECT_EQ(tick.pixel(X + 5, Y), kBackground);
  }
}

TEST(PanoramaPaint, MarkersFollowTheMode) {
  WorkingState s;
  s.CurHor = s.P1Hor = s.P2Hor = 0;
  for (const Mode mode : {Mode::ModeIdle, Mode::ModePoint, Mode::ModeP0zu1, Mode::ModeP0zu2,
                          Mode::ModeP1zu0, Mode::ModeP2zu0}) {
    s.Mode = mode;
    const bool p0Cross =
        mode == Mode::ModePoint || mode == Mode::ModeP0zu1 || mode == Mode::ModeP0zu2;
    EXPECT_EQ(Paint(s, 0, kAround).pixel(X + 9, Y), p0Cross ? kRed : kBackground);
    // The cross of modes 5 and 6 reaches 10 pixels; the guide tick of mode 2 only 5.
    EXPECT_EQ(Paint(s, 1, kAround).pixel(X + 9, Y), mode == Mode::ModeP1zu0 ? kRed : kBackground);
    EXPECT_EQ(Paint(s, 2, kAround).pixel(X + 9, Y), mode == Mode::ModeP2zu0 ? kRed : kBackground);
    EXPECT_EQ(Paint(s, 1, kAround).pixel(X, Y - 30), mode == Mode::ModePoint ? kGrey : kBackground);
  }
}

TEST(PanoramaPaint, AMarkByHandShowsInItsSurveyViewDuringPointEntry) {
  WorkingState s;
  s.P1Hor = s.P2Hor = 90;  // the guide lines far off
  s.CurMark1 = Mark{0, 0};
  for (const Mode mode : {Mode::ModeIdle, Mode::ModePoint, Mode::ModeP1zu0}) {
    s.Mode = mode;
    const QColor arm = mode == Mode::ModePoint ? kMagenta : kBackground;
    const Painted p1 = Paint(s, 1, kAround);
    for (const QPoint d : {QPoint(2, 2), QPoint(-5, 5), QPoint(5, -5), QPoint(-3, -3)}) {
      EXPECT_EQ(p1.pixel(X + d.x(), Y + d.y()), arm) << d.x() << "," << d.y();
    }
    // Open in the middle and beyond its reach.
    for (const QPoint d : {QPoint(0, 0), QPoint(1, 1), QPoint(6, 6)}) {
      EXPECT_NE(p1.pixel(X + d.x(), Y + d.y()), kMagenta) << d.x() << "," << d.y();
    }
    EXPECT_EQ(Paint(s, 2, kAround).pixel(X + 3, Y + 3), kBackground);
    if (mode == Mode::ModePoint) {
      EXPECT_TRUE(MarkerRegion(MarkerOf(1, s)).contains(QPoint(X - 5, Y + 5)));
    }
  }
  // Magnified, it keeps its size in screen pixels.
  s.Mode = Mode::ModePoint;
  QImage image(80, 80, QImage::Format_RGB32);
  QPainter painter(&image);
  const SurfaceOnScreen on{4, 40 - (X + 0.5) * 4, 40 - (Y + 0.5) * 4};
  MarkIndex marks(1);
  PaintScaledPanorama(painter, image.rect(), on, 1, s, marks, kBackground, MarkerOf(1, s));
  EXPECT_EQ(image.pixelColor(40 + 5, 40 + 5), kMagenta);
  EXPECT_NE(image.pixelColor(40 + 6, 40 + 6), kMagenta);
}

// Found tie points show, while the report is open, as square rings where each picture shows
// them: green where used, orange where left out; magnified, each keeps its size on the screen.
TEST(PanoramaPaint, FoundTiePointsShowInEveryViewUsedOrLeftOut) {
  WorkingState s;
  s.P1Hor = s.P2Hor = 90;  // the guide lines far off
  s.ShownTies = {{{Mark{0, 0}, Mark{0, 0}, Mark{0, 0}}, true},
                 {{Mark{0.5, 0}, Mark{0.5, 0}, Mark{0.5, 0}}, false}};
  const int apart = static_cast<int>(std::lround(0.5 * 8160 / 360.0));
  for (int station = 0; station < 3; ++station) {
    const Painted p = Paint(s, station, kAround);
    EXPECT_EQ(p.pixel(X + 3, Y), kTieUsed) << station;
    EXPECT_EQ(p.pixel(X - 3, Y - 3), kTieUsed) << station;
    EXPECT_NE(p.pixel(X, Y), kTieUsed) << station;  // open in the middle
    EXPECT_EQ(p.pixel(X + apart, Y + 3), kTieLeftOut) << station;
  }
  QImage image(80, 80, QImage::Format_RGB32);
  QPainter painter(&image);
  const SurfaceOnScreen on{4, 40 - (X + 0.5) * 4, 40 - (Y + 0.5) * 4};
  MarkIndex marks(1);
  PaintScaledPanorama(painter, image.rect(), on, 1, s, marks, kBackground, MarkerOf(1, s));
  EXPECT_EQ(image.pixelColor(40 + 3, 40 - 3), kTieUsed);
  EXPECT_NE(image.pixelColor(40 + 4, 40), kTieUsed);
  s.ShownTies.clear();
  EXPECT_NE(Paint(s, 0, kAround).pixel(X + 3, Y), kTieUsed);
}

TEST(PanoramaPaint, StoredAnglesBeyondMinus180AreNotDrawn) {
  WorkingState s;
  s.SelIndex = -1;
  PointRec r = PointAt(-180.5, 0);
  r.Hor0 = 0;  // P0 still draws the point from its own angle
  s.Points.Assign({r});
  const QRect left(-40, Y - 40, 80, 80);
  const Painted p1 = Paint(s, 1, left);
  for (int x = -40; x < 40; ++x) ASSERT_EQ(p1.pixel(x, Y), kBackground) << x;
  EXPECT_EQ(Paint(s, 0, kAround).pixel(X + 3, Y), kAqua);

  s.Points.Assign({PointAt(-179, 0), PointAt(-180, 0)});
  const Painted edge = Paint(s, 1, left);
  EXPECT_EQ(edge.pixel(23, Y - 15), kAqua);  // -179 degrees: column 23
  EXPECT_EQ(edge.pixel(0, Y - 15), kAqua);   // -180 degrees: column 0
}

TEST(PanoramaPaint, TheBitmapIsDrawnUnscaledWithBackgroundBeyondIt) {
  WorkingState s;
  s.Pano1 = QImage(100, 50, QImage::Format_RGB32);
  s.Pano1.Image.fill(QColor(10, 20, 30));
  s.Pano1.Image.setPixelColor(99, 49, QColor(1, 2, 3));
  const Painted p = Paint(s, 1, QRect(90, 40, 20, 20));
  EXPECT_EQ(p.pixel(90, 40), QColor(10, 20, 30));
  EXPECT_EQ(p.pixel(99, 49), QColor(1, 2, 3));
  EXPECT_EQ(p.pixel(100, 49), kBackground);
  EXPECT_EQ(p.pixel(99, 50), kBackground);
}

TEST(PanoramaPaint, MarksAndGuideLinesFollowThePicturesOwnShape) {
  // A crop of a 4000-pixel sphere whose first row lies 250 rows below the zenith: 90 degrees is
  // column 3000, the horizon row 750.
  WorkingState s;
  s.Pano1 = PanoPicture(QImage(4000, 1500, QImage::Format_RGB32), Panorama(4000, 1500, 250));
  s.Pano1.Image.fill(QColor(10, 20, 30));
  s.Points.Assign({PointAt(90, 0)});
  s.SelIndex = -1;
  const Painted mark = Paint(s, 1, QRect(2980, 730, 40, 40));
  EXPECT_EQ(mark.pixel(3000, 740), kAqua);
  // The guide line runs down a taller panorama's whole height (its pixels left out here).
  s.Pano1 = PanoPicture(QImage(), Panorama(8000, 3200));
  s.Mode = Mode::ModePoint;
  s.P1Hor = 90;
  s.DeltaHor1 = 90;
  const Painted bottom = Paint(s, 1, QRect(5990, 3190, 20, 20));
  EXPECT_EQ(bottom.pixel(6000, 3199), kRed);
  EXPECT_EQ(bottom.pixel(6000, 3200), kBackground);
}

}  // namespace
