#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <functional>
#include <utility>

#include "paint/PlanPainter.h"
#include "tests/Surveys.h"

namespace {

// A plan 400 x 400 pixels at 10 pixels a metre, the origin at pixel (100, 300).
const PlanTransform kTransform{10, QPointF(100, 300)};
const PlanStyle kStyle;

QImage Draw(const std::function<void(PlanPainter&)>& draw,
            QImage::Format format = QImage::Format_RGB32) {
  QImage image(400, 400, format);
  QPainter painter(&image);
  PlanPainter plan(painter, kTransform, kStyle);
  plan.Background(QRectF(image.rect()));
  draw(plan);
  return image;
}

PointRec Seen(double hor, double vert, double dist) {
  PointRec r;
  r.Hor0 = hor;
  r.Vert0 = vert;
  r.Dist0 = dist;
  return r;
}

TEST(PlanPaint, MetresMapToPixelsWithYUp) {
  const struct {
    QPointF metres, pixel;
  } cases[] = {
      {{0, 0}, {100, 300}}, {{5, 0}, {150, 300}}, {{0, 5}, {100, 250}}, {{-2.5, -1}, {75, 310}}};
  for (const auto& c : cases) {
    EXPECT_EQ(kTransform.ToDevice(c.metres), c.pixel) << c.metres.x() << "," << c.metres.y();
    EXPECT_EQ(kTransform.ToWorld(c.pixel), c.metres);
  }
  // Fitting shows the whole extent, centred, with the margin kept on the tighter side.
  const PlanTransform fit =
      PlanTransform::Fitting(QRectF(-10, 0, 20, 10), QRectF(0, 0, 240, 200), 20);
  EXPECT_DOUBLE_EQ(fit.scale, 10);
  EXPECT_EQ(fit.ToDevice(QPointF(-10, 0)), QPointF(20, 150));
  EXPECT_EQ(fit.ToDevice(QPointF(10, 10)), QPointF(220, 50));
}

TEST(PlanPaint, StationsAndPointsStandWhereTheirCoordinatesSay) {
  WorkingState s;
  static_cast<SolverState&>(s) = LevelSurvey();
  // Level sights: 5 m to the east, 8 m to the north, 3 m to the south-west-ish (225 degrees).
  s.Points.Assign({Seen(90, 0, 5), Seen(0, 0, 8), Seen(225, 0, 3 * std::sqrt(2.0))});
  const std::optional<PlanStations> stations = PlanStationsOf(s);
  ASSERT_TRUE(stations);
  EXPECT_NEAR(stations->p1.x(), 0, 1e-9);
  EXPECT_NEAR(stations->p1.y(), 10, 1e-9);
  EXPECT_NEAR(stations->p2.x(), 10, 1e-9);
  EXPECT_NEAR(stations->p2.y(), 0, 1e-9);
  const PlanPoints points = PlanPointsOf(s.Points, s.NodalHeight);
  const QImage image = Draw([&](PlanPainter& plan) {
    plan.Stations(*stations);
    plan.Points(points, QRectF(0, 0, 400, 400));
  });
  const struct {
    const char* what;
    QPoint pixel;
    QColor colour;
  } cases[] = {
      {"point .0, 5 m east", {150, 300}, kStyle.point},
      {"point .1, 8 m north", {100, 220}, kStyle.point},
      {"point .2, 3 m west, 3 m south", {70, 330}, kStyle.point},
      {"nothing beside .0", {150, 305}, kStyle.background},
      // A station's triangle has its base 4 pixels below the ground point.
      {"P0's triangle", {100, 304}, kStyle.ink},
      {"P1's triangle, 10 m north", {100, 204}, kStyle.ink},
      {"P2's triangle, 10 m east", {200, 304}, kStyle.ink},
      {"line P0-P2", {130, 300}, kStyle.line},
      {"line P0-P1 half-way", {100, 250}, kStyle.line},
  };
  for (const auto& c : cases) EXPECT_EQ(image.pixelColor(c.pixel), c.colour) << c.what;
}

// A picture in memory takes the dots straight into its rows, others through the painter's fill:
// both make the same 3 x 3 square wherever the point falls between pixels.
TEST(PlanPaint, DotsAreThreeByThreeSquaresInEveryPicture) {
  for (const QPointF at :
       {QPointF(5, 0), QPointF(5.04, -0.03), QPointF(5.05, 0.05), QPointF(5.06, 0.07)}) {
    const PlanPoints points{{at}, {0}, QRectF(at, at)};
    const auto draw = [&](PlanPainter& plan) { plan.Points(points, QRectF(0, 0, 400, 400)); };
    const QImage direct = Draw(draw);
    const QImage filled = Draw(draw, QImage::Format_ARGB32).convertToFormat(QImage::Format_RGB32);
    const QRect around(kTransform.ToDevice(at).toPoint() - QPoint(4, 4), QSize(9, 9));
    QRect dot;
    int count = 0;
    for (int y = around.top(); y <= around.bottom(); ++y) {
      for (int x = around.left(); x <= around.right(); ++x) {
        if (direct.pixelColor(x, y) != kStyle.point) continue;
        ++count;
        dot |= QRect(x, y, 1, 1);
      }
    }
    EXPECT_EQ(count, 9) << at.x() << "," << at.y();
    EXPECT_EQ(std::pair(dot.width(), dot.height()), std::pair(3, 3)) << at.x() << "," << at.y();
    EXPECT_TRUE(direct.copy(around) == filled.copy(around)) << at.x() << "," << at.y();
  }
}

TEST(PlanPaint, TheEllipseLiesAlongTheSightLine) {
  // Looking east (azimuth 90): the long axis, 4 m each way, runs along X; the short one, 1 m,
  // along Y.
  const PlanCurrent current{QPointF(10, 10), 90, 4.0, 1.0};
  const QImage image = Draw([&](PlanPainter& plan) { plan.Current(current, std::nullopt); });
  const QPoint centre = kTransform.ToDevice(current.at).toPoint();
  auto red = [&](int dx, int dy) {
    // The outline is drawn antialiased a pixel and a half wide: one of three pixels across it.
    for (const int d : {-1, 0, 1}) {
      const QPoint p = centre + QPoint(dx + (dy == 0 ? d : 0), dy + (dx == 0 ? d : 0));
      if (image.pixelColor(p) == kStyle.current) return true;
    }
    return false;
  };
  EXPECT_TRUE(red(40, 0));
  EXPECT_TRUE(red(-40, 0));
  EXPECT_TRUE(red(0, 10));
  EXPECT_TRUE(red(0, -10));
  EXPECT_FALSE(red(0, 40));
  EXPECT_FALSE(red(10, 0));
}

TEST(PlanPaint, ScaleBarsAreRoundLengths) {
  const struct {
    double max, bar;
  } cases[] = {{7.3, 5}, {10, 10}, {1.99, 1}, {0.3, 0.2}, {0.049, 0.02}, {0, 0}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(RoundBarLength(c.max), c.bar) << c.max;
}

TEST(PlanPaint, ScaleBarsAreLabelledInWholeMetresFromOneMetreAndCentimetresFromOne) {
  const struct {
    double max;
    const char* label;
  } cases[] = {{120, "100 m"},  {1.2, "1 m"},     {0.99, "50 cm"}, {0.1, "10 cm"},
               {0.015, "1 cm"}, {0.0099, "5 mm"}, {0.001, "1 mm"}};
  for (const auto& c : cases) {
    EXPECT_EQ(ScaleBarLabel(RoundBarLength(c.max)).toStdString(), c.label) << c.max;
  }
}

}  // namespace
