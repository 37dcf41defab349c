// The mouse over the views and the loading of panoramas, without a window.

#include <gtest/gtest.h>

#include "commands/Panoramas.h"
#include "commands/Project.h"
#include "fuzz/ImageFiles.h"
#include "io/ProjectFile.h"
#include "tests/ClassicPanorama.h"
#include "tests/CommandsFixture.h"

namespace {

TEST_F(Commands, ShiftKeepsTheLabelButEverythingElseMoves) {
  MoveOver(0, 4080, 2040);
  EXPECT_EQ(Label(Window::Label::Cp), QStringLiteral("360,00° 0,00° Entf.:5,00"));
  MoveOver(0, 4081, 100, true);
  EXPECT_EQ(Label(Window::Label::Cp), QStringLiteral("360,00° 0,00° Entf.:5,00"));
  EXPECT_EQ(s.CurHor, PixelToHor(4081));
  EXPECT_EQ(s.CursorX, 4081);
  EXPECT_EQ(s.CursorY, 100);
}

TEST_F(Commands, DraggingScrollsByTheMouseStepOverTheDivisor) {
  window.views[0].SetHorizontalPosition(1000);
  window.views[0].SetVerticalPosition(1000);
  PanoramaMouseDown(c, true, 500, 500);
  MoveOver(0, 513, 502, false, true);
  EXPECT_EQ(window.views[0].HorizontalPosition(), 1010);  // 13 / 1.3
  EXPECT_EQ(window.views[0].VerticalPosition(), 1002);    // 2 / 1.3 = 1.54
  EXPECT_EQ(s.DragX, 513);

  window.views[1].SetHorizontalPosition(1000);
  window.views[1].SetVerticalPosition(1000);
  PanoramaMouseDown(c, true, 500, 500);
  MoveOver(1, 516, 502, false, true);
  EXPECT_EQ(window.views[1].HorizontalPosition(), 1010);  // 16 / 1.6
  EXPECT_EQ(window.views[1].VerticalPosition(), 1001);    // 2 / 1.6 = 1.25

  // The sum is clamped by the scroll box, never negative.
  PanoramaMouseDown(c, true, 500, 500);
  MoveOver(1, -5000, 500, false, true);
  EXPECT_EQ(window.views[1].HorizontalPosition(), 0);

  // Only the left button starts a drag.
  PanoramaMouseDown(c, false, 7, 7);
  EXPECT_EQ(s.DragX, -5000);
}

TEST_F(Commands, APanoramaOfAnotherSizeIsAimedAtItsOwnScale) {
  // 400 x 200 spans the turn at 0.9 degrees a pixel, from +90 down to -90.
  platform.fileAnswers = {WriteFile("s1.bmp", Bitmap24(400, 200, qRgb(1, 2, 3)))};
  LoadPanorama(c, 1);
  EXPECT_EQ(s.Pano1.Shape, Panorama(400, 200));
  MoveOver(1, 100, 150);
  EXPECT_NEAR(s.P1Hor, 270, 1e-15L);
  EXPECT_NEAR(s.P1Vert, -45, 1e-15L);
  // Beyond its picture there is nothing to aim at.
  MoveOver(1, 400, 10);
  EXPECT_NEAR(s.P1Hor, 270, 1e-15L);
}

TEST_F(Commands, CancellingThePanoramaDialogChangesNothing) {
  platform.fileAnswers = {std::nullopt};
  LoadPanorama(c, 0);
  EXPECT_TRUE(s.PanoFile0.isEmpty());
  EXPECT_TRUE(platform.inputs.empty());
  EXPECT_EQ(Label(Window::Label::P0NP), QStringLiteral("LblP0NP"));
  ASSERT_EQ(platform.fileDialogs.size(), 1u);
  EXPECT_EQ(platform.fileDialogs[0].Title, QStringLiteral("Standortpano laden"));
  EXPECT_EQ(platform.fileDialogs[0].Filter, QString::fromUtf8(kPanoramaFilter));
}

TEST_F(Commands, LoadingP0AsksTheNodalHeight) {
  const QString path = WriteFile("s0.bmp", Bitmap24(5, 3, qRgb(200, 100, 50)));
  platform.fileAnswers = {path};
  platform.inputAnswers = {QStringLiteral("1,6")};  // as offered
  LoadPanorama(c, 0);
  EXPECT_EQ(s.PanoFile0, path);
  EXPECT_EQ(s.Pano0.Image.size(), QSize(5, 3));
  EXPECT_EQ(s.Pano0.Image.pixel(4, 2), qRgb(200, 100, 50));
  ASSERT_EQ(platform.inputs.size(), 1u);
  EXPECT_EQ(platform.inputs[0].caption, QStringLiteral("Nodalpunkthöhe Standortpano eingeben"));
  EXPECT_EQ(platform.inputs[0].prompt, QStringLiteral("Nodalhöhe (m):"));
  EXPECT_EQ(platform.inputs[0].defaultText, QStringLiteral("1,6"));
  EXPECT_EQ(s.NodalHeight, 1.6L);
  EXPECT_EQ(Label(Window::Label::P0NP), QStringLiteral("1,60"));

  // The shared dialog proposes the file chosen last, for any station.
  platform.fileAnswers = {std::nullopt};
  LoadPanorama(c, 1);
  EXPECT_EQ(platform.fileDialogs.back().FileName, path);
  EXPECT_EQ(platform.fileDialogs.back().Title, QStringLiteral("Vermessungspano 1 laden"));
}

TEST_F(Commands, UnderADecimalPointTheDefaultHeightReadsToo) {
  c.separator = '.';
  platform.fileAnswers = {WriteFile("s0.bmp", Bitmap24(2, 2, qRgb(1, 2, 3)))};
  platform.inputAnswers = {QStringLiteral("1.6")};
  LoadPanorama(c, 0);
  EXPECT_EQ(platform.inputs.at(0).defaultText, QStringLiteral("1.6"));
  EXPECT_EQ(s.NodalHeight, 1.6L);
  EXPECT_EQ(Label(Window::Label::P0NP), QStringLiteral("1.60"));
}

// The height question offers the height the project has; cancelled, it keeps that height.
TEST_F(Commands, TheHeightQuestionOffersAndKeepsThePresentHeight) {
  s.NodalHeight = 2.35L;
  const QString path = WriteFile("s0.bmp", Bitmap24(2, 2, qRgb(1, 2, 3)));
  platform.fileAnswers = {path};
  LoadPanorama(c, 0);
  EXPECT_EQ(platform.inputs.at(0).defaultText, QStringLiteral("2,35"));
  EXPECT_EQ(s.NodalHeight, 2.35L);
  EXPECT_EQ(s.PanoFile0, path);  // the picture is taken all the same

  platform.fileAnswers = {path};
  platform.inputAnswers = {QStringLiteral("1,45")};
  LoadPanorama(c, 0);
  EXPECT_EQ(platform.inputs.at(1).defaultText, QStringLiteral("2,35"));
  EXPECT_EQ(s.NodalHeight, 1.45L);
  EXPECT_EQ(Label(Window::Label::P0NP), QStringLiteral("1,45"));
}

// A name typed into the dialog for a file that is not there would take the picture's place in
// the project while the old picture is still shown: it is refused, and nothing changes.
TEST_F(Commands, ANameThatIsNotThereIsRefused) {
  const QString good = WriteFile("s.bmp", Bitmap24(3, 3, qRgb(1, 2, 3)));
  const QString missing = dir.filePath("s1x.bmp");
  for (int station : {0, 2}) {
    platform.fileAnswers = {good};
    LoadPanorama(c, station);
    platform.errors.clear();
    platform.inputs.clear();
    platform.fileAnswers = {missing};
    EXPECT_FALSE(Run([&] { LoadPanorama(c, station); }));
    EXPECT_EQ(platform.errors, std::vector<QString>{QStringLiteral("Die Datei gibt es nicht: ") +
                                                    missing + QLatin1Char('.')});
    EXPECT_EQ(s.Station(station).PanoFile, good);
    EXPECT_EQ(s.Station(station).Pano.Image.size(), QSize(3, 3));
    EXPECT_TRUE(platform.inputs.empty());  // nor is a height asked for
  }
}

TEST_F(Commands, ABadBitmapKeepsTheOldPathAndImage) {
  const QString good = WriteFile("good.bmp", Bitmap24(2, 2, qRgb(1, 2, 3)));
  platform.fileAnswers = {good};
  LoadPanorama(c, 1);
  ASSERT_EQ(s.PanoFile1, good);

  const QString bad = WriteFile("bad.bmp", QByteArray("BM but no bitmap"));
  platform.fileAnswers = {bad};
  EXPECT_FALSE(Run([&] { LoadPanorama(c, 1); }));
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], QStringLiteral("Bitmap ist ungültig."));
  EXPECT_EQ(s.PanoFile1, good);
  EXPECT_EQ(s.Pano1.Image.pixel(0, 0), qRgb(1, 2, 3));

  // For P0 the height question does not come either.
  platform.fileAnswers = {bad};
  Run([&] { LoadPanorama(c, 0); });
  EXPECT_TRUE(platform.inputs.empty());
  EXPECT_TRUE(s.PanoFile0.isEmpty());
}

TEST_F(Commands, ANonNumericHeightRaisesAfterTheImageIsLoaded) {
  s.NodalHeight = 1.5L;
  const QString path = WriteFile("p0.bmp", Bitmap24(2, 2, qRgb(9, 9, 9)));
  platform.fileAnswers = {path};
  platform.inputAnswers = {QStringLiteral("hoch")};
  Run([&] { LoadPanorama(c, 0); });
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], QStringLiteral("'hoch' ist kein gültiger Gleitkommawert."));
  EXPECT_EQ(s.Pano0.Image.size(), QSize(2, 2));
  EXPECT_EQ(s.NodalHeight, 1.5L);
  EXPECT_EQ(Label(Window::Label::P0NP), QStringLiteral("LblP0NP"));
}

}  // namespace

namespace {

// A panorama whose photo-sphere tags give the camera's pose starts its station from that tilt,
// when it is loaded and when a project that says nothing of tilts names it; a project's own tilts
// stand over the picture's.
TEST_F(Commands, APanoramasPoseIsItsStationsStartingTilt) {
  using namespace image_files;
  const Bytes png = WithGPano(Png(Noise(64, 32, 3, 8), PNG_COLOR_TYPE_RGB),
                              {{"PosePitchDegrees", "0.3"}, {"PoseRollDegrees", "-0.2"}});
  const QString picture = WriteFile("s1.png", QByteArray(reinterpret_cast<const char*>(png.data()),
                                                         static_cast<qsizetype>(png.size())));
  platform.fileAnswers = {picture};
  LoadPanorama(c, 1);
  EXPECT_EQ(s.PanoTilt[1], (Tilt{0.3, -0.2}));

  for (const bool tilted : {false, true}) {
    SolverState recorded;
    if (tilted) recorded.PanoTilt[1] = {0.1L, 0.05L};
    const QString project =
        WriteFile(tilted ? "tilted.txt" : "level.txt",
                  ProjectFileBytes(recorded, {QString(), picture, QString()}, PointList(), ','));
    s.PanoTilt = {};
    platform.fileAnswers = {project};
    LoadProject(c);
    const Tilt expected = tilted ? Tilt{0.1L, 0.05L} : Tilt{0.3, -0.2};
    EXPECT_EQ(s.PanoTilt[1], expected) << tilted;
  }
}

}  // namespace
