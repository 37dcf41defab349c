#include <gtest/gtest.h>

#include <QApplication>
#include <QKeySequence>
#include <QMenuBar>
#include <QScrollBar>
#include <QWheelEvent>
#include <limits>

#include "commands/Panoramas.h"
#include "geometry/Mapping.h"
#include "paint/PanoramaPainter.h"
#include "tests/ClassicPanorama.h"
#include "tests/WindowFixture.h"
#include "ui/Magnifier.h"
#include "ui/PanoramaView.h"
#include "ui/PointTable.h"

namespace {

using Window = WindowFixture;

TEST_F(Window, StartsWithItsInitialCaptionsAndState) {
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Molvan Torbel* V1.07"));
  EXPECT_EQ(Widget<QLabel>("LblCpI")->text(), QStringLiteral("Cursorposition:"));
  EXPECT_EQ(Widget<QLabel>("LblCp")->text(), QStringLiteral("LblCp"));
  EXPECT_EQ(Widget<QLabel>("LblF9")->text(), QStringLiteral("P0 zu P1: (F9)"));
  EXPECT_EQ(Widget<QLabel>("LblP0zu1")->text(), QStringLiteral("LblP0zu1"));
  EXPECT_EQ(Widget<QLabel>("LblF12")->text(), QStringLiteral("P2 zu P0: (F12)"));
  EXPECT_EQ(Widget<QLabel>("LblP0NP")->text(), QStringLiteral("LblP0NP"));
  EXPECT_EQ(Grid()->Header(), QStringList({"Pkt.#", "Hor.(°)", "Vert.(°)", "Entf.(m)", "Marken"}));
  EXPECT_EQ(Grid()->rowCount(), 1);
  EXPECT_EQ(S().CurDist, 5);
  EXPECT_EQ(S().Mode, Mode::ModeIdle);
  EXPECT_EQ(Widget<QMenu>("Datei1")->title(), QStringLiteral("&Datei"));
  EXPECT_EQ(Widget<QAction>("Laden1")->text(), QStringLiteral("Projekt &laden..."));
  EXPECT_EQ(Widget<QMenu>("PopupMenu1")->actions().at(1)->text(), QStringLiteral("Punkt löschen"));
  EXPECT_EQ(Widget<QMenu>("Datei1")->actions().at(1)->objectName(), "ProjektinneuemFensterffnen1");
  EXPECT_TRUE(platform.errors.empty());
  // Beyond the original window: the edit menu, export, the key list, the position row.
  const QStringList menus = {QStringLiteral("&Datei"), QStringLiteral("&Bearbeiten"),
                             QStringLiteral("&Ansicht"), QStringLiteral("&Hilfe")};
  QStringList titles;
  for (QAction* a : form->menuBar()->actions()) titles << a->text();
  EXPECT_EQ(titles, menus);
  const struct {
    const char* name;
    const char* text;
    QKeySequence keys;
  } actions[] = {
      {"Punkteexportieren1", "Punkte &exportieren...", QKeySequence(Qt::CTRL | Qt::Key_E)},
      {"PunkteAlsDxf1", "Punkte als &DXF exportieren...", QKeySequence()},
      {"Rckgngig1", "&Rückgängig", QKeySequence(Qt::CTRL | Qt::Key_Z)},
      {"Wiederholen1", "&Wiederholen", QKeySequence(Qt::CTRL | Qt::Key_Y)},
      {"Stationenbestimmen1", "&Stationen aus den Bildern bestimmen...", QKeySequence()},
      {"Einstellungen1", "&Einstellungen...", QKeySequence()},
      {"Tastenkrzel1", "&Tastenkürzel", QKeySequence()},
      {"Grundriss1", "&Grundriss", QKeySequence()},
      {"GrundrissSpeichern1", "Grundriss als &PDF oder SVG speichern...", QKeySequence()}};
  for (const auto& a : actions) {
    EXPECT_EQ(Widget<QAction>(a.name)->text(), QString::fromUtf8(a.text));
    EXPECT_EQ(Widget<QAction>(a.name)->shortcut(), a.keys) << a.name;
  }
  EXPECT_FALSE(Widget<QAction>("Rckgngig1")->isEnabled());
  EXPECT_TRUE(Widget<QLabel>("LblPosition")->text().isEmpty());
}

TEST_F(Window, CtrlZTakesTheLastPointBackAndCtrlYPutsItAgain) {
  // Shortcuts reach the active window.
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  S().P0zu1Hor = 10;
  S().P0zu2Hor = 100;
  S().NodalHeight = 1.6L;
  S().DistP0P1 = S().DistP0P2 = 10;
  Key(Qt::Key_F2);
  form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, 5000, 2100);
  Key(Qt::Key_Return);
  ASSERT_EQ(S().Points.size(), 1u);
  EXPECT_TRUE(Widget<QAction>("Rckgngig1")->isEnabled());
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(S().Points.empty());
  EXPECT_EQ(Grid()->rowCount(), 1);
  Key(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(S().Points.size(), 1u);
  EXPECT_EQ(Grid()->Cell(0, 0), QStringLiteral(".0"));
}

TEST_F(Window, PunktEditierenTurnsARowsDistanceInPlace) {
  S().P0zu1Hor = S().P0zu2Hor = 10;
  Key(Qt::Key_F2);
  Key(Qt::Key_Return);
  auto* table = Widget<QTableView>("StringGrid1");
  // Through the window system, which opens the context menu as well.
  const QPoint cell = table->visualRect(Grid()->index(0, 1)).center();
  QTest::mousePress(form->windowHandle(), Qt::RightButton, {},
                    table->viewport()->mapTo(form.get(), cell));
  auto* menu = Widget<QMenu>("PopupMenu1");
  auto* edit = Widget<QAction>("Punkteditieren1");
  ASSERT_TRUE(menu->isVisible() && edit->isEnabled() && edit->text() == "Punkt editieren");
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(edit).center());
  Key(Qt::Key_Plus);
  Key(Qt::Key_Return);
  EXPECT_EQ(Grid()->rowCount(), 2);
  EXPECT_EQ(Grid()->Cell(0, 0), QStringLiteral(".0"));
  EXPECT_EQ(Grid()->Cell(0, 3), QStringLiteral("5,01"));
}

TEST_F(Window, LayoutFollowsTheClientSize) {
  ASSERT_EQ(form->centralWidget()->size(), QSize(1000, 700));
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox1")->geometry(), QRect(8, 144, 656, 547));
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox2")->geometry(), QRect(668, 143, 330, 269));
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox3")->geometry(), QRect(668, 418, 330, 273));
  form->resize(1300, 900 + Bars());
  QApplication::processEvents();
  ASSERT_EQ(form->centralWidget()->size(), QSize(1300, 900));
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox1")->geometry(), QRect(8, 144, 856, 747));
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox2")->geometry(), QRect(868, 143, 430, 369));
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox3")->geometry(), QRect(868, 518, 430, 373));
}

TEST_F(Window, APanoramaOfAnotherSizeScrollsAndAimsAtItsOwnScale) {
  // A small 2:1 camera picture: 0.225 degrees a pixel, from 90 degrees up to 90 down.
  QImage picture(1600, 800, QImage::Format_RGB32);
  picture.fill(QColor(90, 120, 60));
  const QString path = dir.filePath(QStringLiteral("S1.jpg"));
  ASSERT_TRUE(picture.save(path, "JPG"));
  platform.fileAnswers = {path};
  LoadPanorama(form->Commands(), 1);
  auto* view = Widget<PanoramaView>("ScrollBox2");
  EXPECT_EQ(view->Caption(), QStringLiteral("P1 · S1.jpg"));
  EXPECT_EQ(view->horizontalScrollBar()->maximum(), 1600 - view->ClientWidth());
  EXPECT_EQ(view->verticalScrollBar()->maximum(), 800 - view->ClientHeight());
  view->SetHorizontalPosition(390);
  view->SetVerticalPosition(180);
  MoveOver(view->viewport(), QPoint(10, 20));
  EXPECT_EQ(Widget<QLabel>("LblCp")->text(), QStringLiteral("270,00° 45,00°"));
}

TEST_F(Window, MouseCoordinatesAreSurfacePixelsInEveryView) {
  // At scroll position 0 the P0 view shows 8 pixels of background before column 0, the P2 view
  // starts at column 24. (The views open at the horizon.)
  for (const char* name : {"ScrollBox1", "ScrollBox3"}) {
    Widget<PanoramaView>(name)->SetHorizontalPosition(0);
    Widget<PanoramaView>(name)->SetVerticalPosition(0);
  }
  MoveOver(Widget<PanoramaView>("ScrollBox1")->viewport(), QPoint(50, 60));
  EXPECT_EQ(S().CurHor, PixelToHor(42));
  EXPECT_EQ(S().CurVert, PixelToVert(60));
  EXPECT_EQ(S().CursorX, 42);
  MoveOver(Widget<PanoramaView>("ScrollBox3")->viewport(), QPoint(50, 60));
  EXPECT_EQ(S().P2Hor, PixelToHor(74));
  Widget<PanoramaView>("ScrollBox2")->SetHorizontalPosition(1000);
  Widget<PanoramaView>("ScrollBox2")->SetVerticalPosition(500);
  MoveOver(Widget<PanoramaView>("ScrollBox2")->viewport(), QPoint(10, 20));
  EXPECT_EQ(S().P1Hor, PixelToHor(1010));
  EXPECT_EQ(S().P1Vert, PixelToVert(520));
  EXPECT_EQ(Widget<QLabel>("LblCp")->text(), QStringLiteral("224,56° 67,06°"));
}

TEST_F(Window, P0ScrollsFarEnoughToShowItsLastColumn) {
  // The 8 pixels before column 0 lengthen the scroll range by as much.
  PanoramaView* p0 = Widget<PanoramaView>("ScrollBox1");
  p0->SetHorizontalPosition(std::numeric_limits<std::int32_t>::max());
  MoveOver(p0->viewport(), QPoint(p0->ClientWidth() - 1, 60));
  EXPECT_EQ(S().CursorX, Panorama::kClassicWidth - 1);
}

TEST_F(Window, TheWheelScrollsNoView) {
  PanoramaView* view = Widget<PanoramaView>("ScrollBox1");
  view->SetVerticalPosition(500);
  QWheelEvent down(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, -120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(form->windowHandle(), &down);
  EXPECT_EQ(view->VerticalPosition(), 500);
  EXPECT_EQ(S().CurDist, 5);
}

TEST_F(Window, MagnifierEnlargesTheSquareAroundTheSharedCentre) {
  // Every pixel of the P1 picture has its own colour.
  QImage pano(256, 256, QImage::Format_RGB32);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) pano.setPixel(x, y, qRgb(x, y, 77));
  }
  S().Pano1 = pano;
  S().CursorX = 100;
  S().CursorY = 120;
  const QImage shown = Widget<Magnifier>("PaintBox5")->grab().toImage();
  ASSERT_EQ(shown.size(), QSize(127, 127));
  for (int ty = 0; ty < 127; ++ty) {
    for (int tx = 0; tx < 127; ++tx) {
      const QRgb expected = pano.pixel(100 - 32 + tx * 64 / 127, 120 - 32 + ty * 64 / 127);
      ASSERT_EQ(shown.pixel(tx, ty), expected) << tx << "," << ty;
    }
  }
  // The centre pixel lies just right of and below the middle.
  EXPECT_EQ(shown.pixel(64, 64), pano.pixel(100, 120));
  EXPECT_EQ(shown.pixel(63, 63), pano.pixel(99, 119));
}

TEST_F(Window, CenterViewsLeavesTheCentreOnP2sMarker) {
  QImage pano(8160, 3060, QImage::Format_RGB32);
  pano.fill(QColor(0, 0, 200));
  pano.setPixelColor(HorToPixel(100), VertToPixel(20), QColor(255, 255, 0));
  S().Pano0 = pano;
  S().CurHor = 30;
  S().P1Hor = 50;
  S().P2Hor = 100;
  S().P2Vert = 20;
  CenterViews(form->Commands(), true);
  EXPECT_EQ(S().CursorX, HorToPixel(100));
  EXPECT_EQ(S().CursorY, VertToPixel(20));
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox3")->HorizontalPosition(),
            RoundToInt(HorToPixel(100) - Widget<PanoramaView>("ScrollBox3")->ClientWidth() / 2.0L));
  // A later repaint of P0's magnifier centres on that pixel of the P0 picture.
  const QImage shown = Widget<Magnifier>("PaintBox4")->grab().toImage();
  EXPECT_EQ(shown.pixelColor(64, 64), QColor(255, 255, 0));
  EXPECT_EQ(shown.pixelColor(10, 10), QColor(0, 0, 200));
}

TEST_F(Window, InPointEntryTheMarkersFollowTheMouseWithoutTrails) {
  WorkingState& s = S();
  s.NodalHeight = 1.6L;
  s.P0zu2Hor = 90;
  s.P1zu0Hor = 180;
  s.P2zu0Hor = 270;
  s.DistP0P1 = s.DistP0P2 = 10;
  s.P0zu1Vert = s.P0zu2Vert = s.P1zu0Vert = s.P2zu0Vert = -9.0902769208208L;
  s.Mode = Mode::ModePoint;
  QImage grey(8160, 3060, QImage::Format_RGB32);
  grey.fill(QColor(50, 50, 50));
  s.Pano0 = s.Pano1 = s.Pano2 = grey;
  Widget<PanoramaView>("ScrollBox1")->SetHorizontalPosition(4000);
  Widget<PanoramaView>("ScrollBox1")->SetVerticalPosition(1900);
  form->Commands().window.PaintNow();

  QWidget* p0 = Widget<PanoramaView>("ScrollBox1")->viewport();
  // The surface pixel (x, y) of P0 stands at viewport (x + 8 - 4000, y - 1900).
  form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, 4100, 2000);
  form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, 4150, 2050);
  const QImage shown = OnScreen(p0);
  EXPECT_EQ(shown.pixelColor(4150 + 8 - 4000 + 5, 2050 - 1900), kRed);
  EXPECT_EQ(shown.pixelColor(4100 + 8 - 4000 + 5, 2000 - 1900), QColor(50, 50, 50));
  EXPECT_EQ(shown.pixelColor(4100 + 8 - 4000, 2000 - 1900 + 5), QColor(50, 50, 50));

  // The survey views follow: their guide lines are drawn where the scroll put them, nowhere else.
  for (PanoramaView* view :
       {Widget<PanoramaView>("ScrollBox2"), Widget<PanoramaView>("ScrollBox3")}) {
    const Real hor = view == Widget<PanoramaView>("ScrollBox2") ? s.P1Hor : s.P2Hor;
    const int x = HorToPixel(hor) - view->HorizontalPosition() +
                  (view == Widget<PanoramaView>("ScrollBox3") ? -24 : 0);
    const QImage survey = OnScreen(view->viewport());
    ASSERT_GT(x, 0);
    ASSERT_LT(x, survey.width());
    const QColor line = survey.pixelColor(x, 3);
    EXPECT_TRUE(line == kRed || line == kGrey);
    EXPECT_EQ(survey.pixelColor(x + 7, 3), QColor(50, 50, 50));
  }
  // Each magnifier shows its own view around its own marker: the guide line runs through the
  // middle of P1's and P2's.
  EXPECT_NE(OnScreen(Widget<Magnifier>("PaintBox5")).pixelColor(64, 2), QColor(50, 50, 50));
  EXPECT_NE(OnScreen(Widget<Magnifier>("PaintBox6")).pixelColor(64, 2), QColor(50, 50, 50));
  // P0's follows the mouse.
  EXPECT_EQ(s.CursorX, 4150);
  EXPECT_EQ(OnScreen(Widget<Magnifier>("PaintBox4")).pixelColor(64 + 2 * 5, 64), kRed);
}

}  // namespace
