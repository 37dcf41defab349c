// A magnified view, aimed and clicked as the hand does it, read back from what the window shows.

#include <gtest/gtest.h>

#include <QScrollBar>
#include <algorithm>
#include <vector>

#include "geometry/Solver.h"
#include "paint/PanoramaPainter.h"
#include "tests/ModesFixture.h"
#include "ui/Magnifier.h"
#include "ui/PanoramaView.h"

namespace {

struct Zoom : Modes {
  PanoramaView* View(int station) {
    return Widget<PanoramaView>(station == 0   ? "ScrollBox1"
                                : station == 1 ? "ScrollBox2"
                                               : "ScrollBox3");
  }
  QPoint Middle(int station) { return View(station)->viewport()->rect().center(); }
};

TEST_F(Zoom, MagnifiedTheAimMovesByAQuarterPixelAndTheSpotUnderThePointerStays) {
  PanoramaView* p0 = View(0);
  const QPoint anchor = Middle(0);
  const QPointF before = p0->AimAt(anchor);
  p0->ZoomBy(2, anchor);
  ASSERT_EQ(p0->Scale(), 4);
  const QPointF after = p0->AimAt(anchor);
  EXPECT_LE(std::abs(after.x() - before.x()), 0.5) << "the pixel under the pointer stays";
  EXPECT_LE(std::abs(after.y() - before.y()), 0.5);
  MoveOver(p0->viewport(), anchor);
  const Real hor = S().CurHor, vert = S().CurVert;
  MoveOver(p0->viewport(), anchor + QPoint(1, 1));
  EXPECT_NEAR(static_cast<double>(S().CurHor - hor), 0.25 * 3 / 68, 1e-12);
  EXPECT_NEAR(static_cast<double>(S().CurVert - vert), -0.25 * 3 / 68, 1e-12);
  // Out to the whole panorama and back to 1:1, where the view is the plain one again.
  p0->ZoomBy(-20, anchor);
  EXPECT_EQ(p0->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(p0->verticalScrollBar()->maximum(), 0);
  // In again notch by notch from the whole panorama, where the range holds the positions back:
  // the spot under the pointer stays.
  const QPoint onPicture(anchor.x(), 100);
  const QPointF whole = p0->AimAt(onPicture);
  while (p0->Scale() < 4) p0->ZoomBy(1, onPicture);
  EXPECT_LE(std::abs(p0->AimAt(onPicture).y() - whole.y()), 1 / p0->FitScale());
  p0->ZoomToOriginal(anchor);
  EXPECT_EQ(p0->Scale(), 1);
  EXPECT_EQ(p0->AimAt(QPoint(3, 4)), QPointF(p0->SurfaceFromViewport(QPoint(3, 4))));
}

TEST_F(Zoom, StepsInFromTheWholePanoramaGoThroughEveryPowerOfTwoUpTo8x) {
  for (const int station : {0, 1}) {  // views of different sizes: different fits
    PanoramaView* view = View(station);
    const QPoint anchor = Middle(station);
    view->ZoomBy(-20, anchor);
    const double fit = view->Scale();
    ASSERT_EQ(fit, view->FitScale()) << station;
    double next = 8;  // the smallest power of two above the fit
    while (next / 2 > fit) next /= 2;
    std::vector<double> want, got;
    for (double scale = next; scale <= 16; scale *= 2) {
      want.push_back(std::min(scale, 8.0));
      view->ZoomBy(1, anchor);
      got.push_back(view->Scale());
    }
    EXPECT_EQ(got, want) << station << " fit " << fit;
    // Two notches at once from the whole panorama land where two single ones do.
    view->ZoomBy(-20, anchor);
    view->ZoomBy(2, anchor);
    EXPECT_EQ(view->Scale(), 2 * next) << station;
  }
}

TEST_F(Zoom, AClickInAMagnifiedSurveyViewPlacesThePointAndTheOtherViewChecksIt) {
  MeasureStations();
  Key(Qt::Key_F2);
  form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, 4500, 2000);
  EXPECT_EQ(Widget<QLabel>("LblStep")->text(),
            QStringLiteral("+ / − oder Mausrad: Entfernung; Klick in P1/P2: dort setzen; "
                           "Umschalt+Klick: markieren; F3: suchen; Enter: übernehmen"));
  // Where the point stands at 12.4 m (half a pixel from a whole one in P1): the truth the click
  // is to find.
  WorkingState truth = S();
  truth.CurDist = 12.4L;
  SolvePoint(truth);
  PanoramaView* p1 = View(1);
  p1->ZoomBy(2, Middle(1));
  p1->CentreOn(QPointF(truth.Pano1.Shape.Column(truth.P1Hor), truth.Pano1.Shape.Row(truth.P1Vert)));
  const QPoint scroll(p1->HorizontalPosition(), p1->VerticalPosition());
  const QPoint spot = p1->On().ScreenPixel(
      QPointF(truth.Pano1.Shape.Column(truth.P1Hor), truth.Pano1.Shape.Row(truth.P1Vert)));
  QTest::mouseClick(p1->viewport(), Qt::LeftButton, Qt::NoModifier, spot);
  // A quarter pixel of P1 at most, and P2 where the truth is to within half a pixel.
  EXPECT_NEAR(static_cast<double>(S().P1Hor - truth.P1Hor), 0, 0.125 * 3 / 68);
  EXPECT_NEAR(static_cast<double>(S().Pano2.Shape.Column(S().P2Hor) -
                                  truth.Pano2.Shape.Column(truth.P2Hor)),
              0, 0.5);
  EXPECT_EQ(QPoint(p1->HorizontalPosition(), p1->VerticalPosition()), scroll);
  // The pointer moved on over P1 does not carry the guide line along when the view zooms.
  const CurrentMarker placed = p1->DisplayedMarker();
  MoveOver(p1->viewport(), spot + QPoint(40, 0));
  p1->ZoomBy(-1, spot);
  p1->ZoomBy(1, spot);
  EXPECT_EQ(p1->DisplayedMarker(), placed);
  // The guide line is one screen pixel wide where the click put it.
  const QImage shown = OnScreen(p1->viewport());
  EXPECT_EQ(shown.pixelColor(spot.x(), 10), kRed);
  EXPECT_NE(shown.pixelColor(spot.x() - 1, 10), kRed);
  EXPECT_NE(shown.pixelColor(spot.x() + 1, 10), kRed);
  // With Shift the click marks the spot and leaves the line; the mark shows in its own colour.
  QTest::mouseClick(p1->viewport(), Qt::LeftButton, Qt::ShiftModifier, spot + QPoint(30, 0));
  EXPECT_TRUE(S().CurMark1);
  EXPECT_EQ(p1->DisplayedMarker().pixel, placed.pixel);
  EXPECT_EQ(OnScreen(p1->viewport()).pixelColor(spot + QPoint(33, 3)), kMagenta);
}

// The zoom keys act on the view the mouse was last over, whichever it is.
TEST_F(Zoom, TheZoomKeysZoomTheViewTheMouseWasLastOver) {
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  MoveOver(View(1)->viewport(), Middle(1));
  MoveOver(View(2)->viewport(), Middle(2));
  const struct {
    Qt::Key key;
    double scale;
  } steps[] = {{Qt::Key_Plus, 2}, {Qt::Key_Plus, 4}, {Qt::Key_Minus, 2}, {Qt::Key_0, 1}};
  for (const auto& step : steps) {
    Key(step.key, Qt::ControlModifier);
    EXPECT_EQ(View(2)->Scale(), step.scale) << step.key;
  }
  EXPECT_EQ(View(1)->Scale(), 1);
  EXPECT_EQ(View(0)->Scale(), 1);
}

TEST_F(Zoom, CtrlAndTheWheelZoomTheViewUnderThePointerAndTheWheelAMagnifier) {
  const auto wheel = [this](QWidget* over, Qt::KeyboardModifiers modifiers) {
    const QPoint p = over->rect().center();
    QWheelEvent event(p, over->mapToGlobal(p), QPoint(), QPoint(0, 120), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(form->windowHandle(), &event);
  };
  wheel(View(2)->viewport(), Qt::ControlModifier);
  EXPECT_EQ(View(2)->Scale(), 2);
  EXPECT_EQ(View(1)->Scale(), 1);
  auto* magnifier = Widget<Magnifier>("PaintBox4");
  wheel(magnifier, Qt::NoModifier);
  EXPECT_EQ(magnifier->Scale(), 3);
  // Enlarged, a crosshair marks the middle, with a gap around the middle pixel itself.
  const QImage shown = OnScreen(magnifier);
  EXPECT_EQ(shown.pixelColor(magnifier->width() / 2, 5), QColor(255, 255, 0));
  EXPECT_NE(shown.pixelColor(magnifier->width() / 2, magnifier->height() / 2), QColor(255, 255, 0));
}

}  // namespace
