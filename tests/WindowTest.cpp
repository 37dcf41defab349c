#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>

#include "geometry/Mapping.h"
#include "tests/WindowFixture.h"
#include "ui/Magnifier.h"
#include "ui/PanoramaPainter.h"
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
  EXPECT_EQ(Grid()->Header(), QStringList({"Pkt.#", "Hor.(°)", "Vert.(°)", "Entf.(m)"}));
  EXPECT_EQ(Grid()->rowCount(), 1);
  EXPECT_EQ(S().CurDist, 5);
  EXPECT_EQ(S().Mode, Mode::ModeIdle);
  EXPECT_EQ(Widget<QMenu>("Datei1")->title(), QStringLiteral("&Datei"));
  EXPECT_EQ(Widget<QAction>("Laden1")->text(), QStringLiteral("Projekt &laden..."));
  EXPECT_EQ(Widget<QMenu>("PopupMenu1")->actions().at(1)->text(), QStringLiteral("Punkt löschen"));
  EXPECT_TRUE(platform.errors.empty());
}

TEST_F(Window, LayoutFollowsTheClientSize) {
  ASSERT_EQ(form->centralWidget()->size(), QSize(1000, 700));
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox1")->geometry(), QRect(8, 144, 656, 547));
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox2")->geometry(), QRect(668, 143, 330, 269));
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox3")->geometry(), QRect(668, 418, 330, 273));
  form->resize(1300, 900 + form->menuBar()->sizeHint().height());
  QApplication::processEvents();
  ASSERT_EQ(form->centralWidget()->size(), QSize(1300, 900));
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox1")->geometry(), QRect(8, 144, 856, 747));
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox2")->geometry(), QRect(868, 143, 430, 369));
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox3")->geometry(), QRect(868, 518, 430, 373));
}

TEST_F(Window, MouseCoordinatesAreSurfacePixelsInEveryView) {
  // At scroll position 0 the P0 view shows 8 pixels of background before column 0, the P2 view
  // starts at column 24.
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

TEST_F(Window, ShiftKeepsTheLabelButEverythingElseMoves) {
  form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, 4080, 2040);
  EXPECT_EQ(Widget<QLabel>("LblCp")->text(), QStringLiteral("360,00° 0,00° Entf.:5,00"));
  form->PaintBox1MouseMove(Qt::ShiftModifier, Qt::NoButton, 4081, 100);
  EXPECT_EQ(Widget<QLabel>("LblCp")->text(), QStringLiteral("360,00° 0,00° Entf.:5,00"));
  EXPECT_EQ(S().CurHor, PixelToHor(4081));
  EXPECT_EQ(S().CursorX, 4081);
  EXPECT_EQ(S().CursorY, 100);
}

TEST_F(Window, DraggingScrollsByTheMouseStepOverTheDivisor) {
  Widget<PanoramaView>("ScrollBox1")->SetHorizontalPosition(1000);
  Widget<PanoramaView>("ScrollBox1")->SetVerticalPosition(1000);
  form->PaintBoxMouseDown(Qt::LeftButton, 500, 500);
  form->PaintBox1MouseMove(Qt::NoModifier, Qt::LeftButton, 513, 502);
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox1")->HorizontalPosition(), 1010);  // 13 / 1.3
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox1")->VerticalPosition(), 1002);    // 2 / 1.3 = 1.54
  EXPECT_EQ(S().DragX, 513);

  Widget<PanoramaView>("ScrollBox2")->SetHorizontalPosition(1000);
  Widget<PanoramaView>("ScrollBox2")->SetVerticalPosition(1000);
  form->PaintBoxMouseDown(Qt::LeftButton, 500, 500);
  form->PaintBox2MouseMove(Qt::NoModifier, Qt::LeftButton, 516, 502);
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox2")->HorizontalPosition(), 1010);  // 16 / 1.6
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox2")->VerticalPosition(), 1001);    // 2 / 1.6 = 1.25

  // The sum is clamped by the scroll box, never negative.
  form->PaintBoxMouseDown(Qt::LeftButton, 500, 500);
  form->PaintBox2MouseMove(Qt::NoModifier, Qt::LeftButton, -5000, 500);
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox2")->HorizontalPosition(), 0);

  // Only the left button starts a drag.
  form->PaintBoxMouseDown(Qt::RightButton, 7, 7);
  EXPECT_EQ(S().DragX, -5000);
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

TEST_F(Window, CancellingThePanoramaDialogChangesNothing) {
  platform.fileAnswers = {std::nullopt};
  form->Standortpanoladen1Click();
  EXPECT_TRUE(S().PanoFile0.isEmpty());
  EXPECT_TRUE(platform.inputs.empty());
  EXPECT_EQ(Widget<QLabel>("LblP0NP")->text(), QStringLiteral("LblP0NP"));
  ASSERT_EQ(platform.fileDialogs.size(), 1u);
  EXPECT_EQ(platform.fileDialogs[0].Title, QStringLiteral("Standortpano laden"));
  EXPECT_EQ(platform.fileDialogs[0].Filter, QStringLiteral("Windows Bitmap [*.bmp]|*.bmp"));
}

TEST_F(Window, LoadingP0AsksTheNodalHeight) {
  const QString path = WriteFile("s0.bmp", Bitmap24(5, 3, qRgb(200, 100, 50)));
  platform.fileAnswers = {path};
  form->Standortpanoladen1Click();
  EXPECT_EQ(S().PanoFile0, path);
  EXPECT_EQ(S().Pano0.size(), QSize(5, 3));
  EXPECT_EQ(S().Pano0.pixel(4, 2), qRgb(200, 100, 50));
  ASSERT_EQ(platform.inputs.size(), 1u);
  EXPECT_EQ(platform.inputs[0].caption, QStringLiteral("Nodalpunkthöhe Standortpano eingeben"));
  EXPECT_EQ(platform.inputs[0].prompt, QStringLiteral("Nodalhöhe (m):"));
  EXPECT_EQ(platform.inputs[0].defaultText, QStringLiteral("1,6"));
  EXPECT_EQ(S().NodalHeight, 1.6L);
  EXPECT_EQ(Widget<QLabel>("LblP0NP")->text(), QStringLiteral("1,60"));

  // The shared dialog proposes the file chosen last, for any station.
  platform.fileAnswers = {std::nullopt};
  form->Vermessungspano1laden1Click();
  EXPECT_EQ(platform.fileDialogs.back().FileName, path);
  EXPECT_EQ(platform.fileDialogs.back().Title, QStringLiteral("Vermessungspano 1 laden"));
}

TEST_F(Window, UnderADecimalPointTheDefaultHeightReadsToo) {
  Open('.');
  platform.fileAnswers = {dir.filePath("nowhere.bmp")};
  form->Standortpanoladen1Click();
  EXPECT_EQ(platform.inputs.at(0).defaultText, QStringLiteral("1.6"));
  EXPECT_EQ(S().NodalHeight, 1.6L);
  EXPECT_EQ(Widget<QLabel>("LblP0NP")->text(), QStringLiteral("1.60"));
}

TEST_F(Window, AMissingFileKeepsTheImageButStoresThePath) {
  S().Pano2 = QImage(3, 3, QImage::Format_RGB32);
  const QString missing = dir.filePath("typed.bmp");
  platform.fileAnswers = {missing};
  form->Vermessungspano2laden1Click();
  EXPECT_EQ(S().PanoFile2, missing);
  EXPECT_EQ(S().Pano2.size(), QSize(3, 3));
  EXPECT_TRUE(platform.errors.empty());
  EXPECT_TRUE(platform.inputs.empty());  // only P0 asks for a height

  platform.fileAnswers = {missing};
  platform.inputAnswers = {QStringLiteral("1,45")};
  form->Standortpanoladen1Click();
  EXPECT_EQ(S().NodalHeight, 1.45L);
}

TEST_F(Window, ABadBitmapKeepsTheOldPathAndImage) {
  const QString good = WriteFile("good.bmp", Bitmap24(2, 2, qRgb(1, 2, 3)));
  platform.fileAnswers = {good};
  form->Vermessungspano1laden1Click();
  ASSERT_EQ(S().PanoFile1, good);

  const QString bad = WriteFile("bad.bmp", QByteArray("XX not a bitmap"));
  platform.fileAnswers = {bad};
  EXPECT_FALSE(form->Guarded([&] { form->Vermessungspano1laden1Click(); }));
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], QStringLiteral("Bitmap ist ungültig."));
  EXPECT_EQ(S().PanoFile1, good);
  EXPECT_EQ(S().Pano1.pixel(0, 0), qRgb(1, 2, 3));

  // For P0 the height question does not come either.
  platform.fileAnswers = {bad};
  form->Guarded([&] { form->Standortpanoladen1Click(); });
  EXPECT_TRUE(platform.inputs.empty());
  EXPECT_TRUE(S().PanoFile0.isEmpty());
}

TEST_F(Window, ANonNumericHeightRaisesAfterTheImageIsLoaded) {
  S().NodalHeight = 1.5L;
  const QString path = WriteFile("p0.bmp", Bitmap24(2, 2, qRgb(9, 9, 9)));
  platform.fileAnswers = {path};
  platform.inputAnswers = {QStringLiteral("hoch")};
  form->Guarded([&] { form->Standortpanoladen1Click(); });
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], QStringLiteral("'hoch' ist kein gültiger Gleitkommawert."));
  EXPECT_EQ(S().Pano0.size(), QSize(2, 2));
  EXPECT_EQ(S().NodalHeight, 1.5L);
  EXPECT_EQ(Widget<QLabel>("LblP0NP")->text(), QStringLiteral("LblP0NP"));
}

}  // namespace
