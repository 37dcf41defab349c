// The commands of the modes, the keys, the wheel and the point table, run as the window runs them
// but without one: the scripted user answers, and a recording window takes the labels, rows and
// scroll positions.

#include <gtest/gtest.h>

#include "core/NumberText.h"
#include "tests/ClassicPanorama.h"
#include "tests/CommandsFixture.h"

namespace {

TEST_F(Commands, PointEntryIsRefusedUntilTheStationsAreAligned) {
  Key(VkF2);
  ASSERT_EQ(platform.informations.size(), 1u);
  EXPECT_EQ(platform.informations[0],
            QStringLiteral("Bitte zuerst die Panos zueinander ausrichten (F9..F12)"));
  EXPECT_EQ(s.Mode, Mode::ModeIdle);
  EXPECT_TRUE(window.tableEnabled);
}

TEST_F(Commands, F9AimEnterTakesDirectionAndDistance) {
  MoveOver(0, 4500, 2100);
  Key(VkF9);
  EXPECT_EQ(s.Mode, Mode::ModeP0zu1);
  EXPECT_FALSE(window.tableEnabled);
  platform.inputAnswers = {QStringLiteral("10")};
  Key(VkReturn);
  ASSERT_EQ(platform.inputs.size(), 1u);
  EXPECT_EQ(platform.inputs[0].caption, QStringLiteral("Entfernung P0 zu P1"));
  EXPECT_EQ(platform.inputs[0].prompt, QStringLiteral("Entfernung zu P1(m):"));
  EXPECT_EQ(platform.inputs[0].defaultText, QStringLiteral("0"));
  EXPECT_EQ(s.P0zu1Hor, PixelToHor(4500));
  EXPECT_EQ(s.P0zu1Vert, PixelToVert(2100));
  EXPECT_EQ(s.DistP0P1, 10);
  EXPECT_EQ(Label(Window::Label::P0zu1), QStringLiteral("18,53° -2,65° 10,00m"));
  EXPECT_EQ(s.Mode, Mode::ModeIdle);
  EXPECT_TRUE(window.tableEnabled);

  // Cancelled, the box takes nothing: the taped distance and the direction stay as they were.
  s.P0zu2Hor = 90;
  s.DistP0P2 = 10.25L;
  Key(VkF10);
  platform.inputAnswers = {std::nullopt};
  Key(VkReturn);
  EXPECT_EQ(platform.inputs.back().caption, QStringLiteral("Entfernung P0 zu P2"));
  EXPECT_EQ(s.P0zu2Hor, 90);
  EXPECT_EQ(s.DistP0P2, 10.25L);
  EXPECT_EQ(Label(Window::Label::P0zu2), QStringLiteral("LblP0zu2"));
  EXPECT_EQ(s.Mode, Mode::ModeIdle);
  EXPECT_TRUE(window.tableEnabled);
}

TEST_F(Commands, ANonNumericDistanceKeepsTheDirectionTaken) {
  MoveOver(0, 100, 200);
  Key(VkF9);
  platform.inputAnswers = {QStringLiteral("abc")};
  Key(VkReturn);
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], QStringLiteral("'abc' ist kein gültiger Gleitkommawert."));
  EXPECT_EQ(s.P0zu1Hor, PixelToHor(100));
  EXPECT_EQ(s.DistP0P1, 0);
  EXPECT_EQ(s.Mode, Mode::ModeIdle);
  EXPECT_EQ(Label(Window::Label::P0zu1), QStringLiteral("LblP0zu1"));
  // The table stays disabled until the next mode ends.
  EXPECT_FALSE(window.tableEnabled);
  Key(VkF11);
  Key(VkEscape);
  EXPECT_TRUE(window.tableEnabled);
}

TEST_F(Commands, BackDirectionsComeFromThePointerInTheSurveyViews) {
  Key(VkF11);
  MoveOver(1, 300, 2300);
  Key(VkReturn);
  EXPECT_EQ(s.P1zu0Hor, PixelToHor(300));
  EXPECT_EQ(Label(Window::Label::P1zu0), QStringLiteral("193,24° -11,47°"));
  // A mode must end before another starts.
  Key(VkF12);
  Key(VkF9);
  EXPECT_EQ(s.Mode, Mode::ModeP2zu0);
  Key(VkEscape);
  EXPECT_EQ(s.Mode, Mode::ModeIdle);
  EXPECT_EQ(Label(Window::Label::P2zu0), QStringLiteral("LblP2zu0"));
}

TEST_F(Commands, DistanceKeysSpeedUpWhileHeld) {
  MeasureStations();
  Key(VkF2);
  ASSERT_EQ(s.Mode, Mode::ModePoint);
  const Real start = s.CurDist;
  for (int press = 0; press < 12; ++press) Key(VkAdd);  // the first press and eleven repeats
  EXPECT_EQ(s.RepeatCount, 12);
  // Ten steps of 1 cm, then 5.5 cm and 6 cm.
  EXPECT_NEAR(s.CurDist, start + 0.10L + 0.055L + 0.06L, 1e-12L);
  KeyUp(c);
  EXPECT_EQ(s.RepeatCount, 0);
  const Real held = s.CurDist;
  Key(VkOemMinus);  // main keyboard: a new press starts at 1 cm again
  EXPECT_NEAR(s.CurDist, held - 0.01L, 1e-12L);
  EXPECT_EQ(Label(Window::Label::Cp),
            QString::fromStdString(FixText(s.CurHor, ',') + "° " + FixText(s.CurVert, ',') +
                                   "° Entf.:" + FixText(s.CurDist, ',') + "m"));

  s.CurDist = 54999.995L;
  Key(VkOemPlus);  // "+" on a US keyboard
  EXPECT_EQ(s.CurDist, 55000);
  s.CurDist = 1.005L;
  Key(VkSubtract);
  EXPECT_EQ(s.CurDist, 1);
}

TEST_F(Commands, TheWheelStepsOneCentimetreANotchWithoutLimits) {
  MeasureStations();
  const auto wheel = [&](int delta) { Run([&] { MouseWheel(c, delta); }); };
  // Outside point entry the wheel does nothing.
  wheel(-120);
  EXPECT_EQ(s.CurDist, 5);

  Key(VkF2);
  s.CurDist = 1.005L;
  wheel(-120);
  EXPECT_NEAR(s.CurDist, 0.995L, 1e-12L);  // below 1: the wheel is not clamped
  EXPECT_TRUE(Label(Window::Label::Cp).endsWith(QStringLiteral(" Entf.:1,00")));
  // A fine wheel's parts add up to one notch.
  wheel(40);
  wheel(40);
  EXPECT_NEAR(s.CurDist, 0.995L, 1e-12L);
  wheel(40);
  EXPECT_NEAR(s.CurDist, 1.005L, 1e-12L);
}

TEST_F(Commands, PointsAreListedSelectedAndDeleted) {
  MeasureStations();
  StorePoint(4500, 2000);
  StorePoint(5000, 2100);
  StorePoint(5500, 1900);
  ASSERT_EQ(s.Points.size(), 3u);
  EXPECT_EQ(Cell(0, 0), QStringLiteral(".0"));
  EXPECT_EQ(Cell(1, 0), QStringLiteral(".1"));
  EXPECT_EQ(Cell(2, 0), QStringLiteral(".2"));
  EXPECT_EQ(Cell(1, 1), QStringLiteral("40,59"));
  EXPECT_EQ(Cell(1, 2), QString::fromStdString(FixText(PixelToVert(2100), ',')));
  EXPECT_EQ(Cell(2, 3), QStringLiteral("5,00"));
  EXPECT_EQ(window.PointRows(), 3);  // and the empty last row after them
  // After adding, the empty row is selected and no point is.
  EXPECT_EQ(window.SelectedRow(), 3);
  EXPECT_EQ(s.SelIndex, 3);
  EXPECT_EQ(s.Points[2].Hor0, static_cast<double>(PixelToHor(5500)));

  // Selecting a row makes its point the current one and centres every view on it.
  SelectRow(c, 1);
  EXPECT_EQ(s.SelIndex, 1);
  EXPECT_EQ(s.CurHor, static_cast<Real>(s.Points[1].Hor0));
  const int centred = window.views[0].HorizontalPosition();
  EXPECT_NEAR(centred, 5000 + 8 - window.views[0].ClientWidth() / 2, 9);
  // Selecting it again does not move the views.
  window.views[0].SetHorizontalPosition(0);
  SelectCell(c, 1);
  EXPECT_EQ(window.views[0].HorizontalPosition(), 0);

  const PointRec third = s.Points[2];
  DeletePoint(c);
  ASSERT_EQ(s.Points.size(), 2u);
  EXPECT_EQ(Cell(0, 0), QStringLiteral(".0"));
  EXPECT_EQ(Cell(1, 0), QStringLiteral(".2"));  // labels travel with their rows
  EXPECT_EQ(window.PointRows(), 2);
  // The selection stays on row 1, so the point that moved up is now the selected one.
  EXPECT_EQ(s.SelIndex, 1);
  EXPECT_EQ(s.Points[1].Hor0, third.Hor0);
  StorePoint(6000, 2000);
  EXPECT_EQ(Cell(2, 0), QStringLiteral(".2"));  // the row count names it

  // With the empty row selected, deleting does nothing.
  DeletePoint(c);
  EXPECT_EQ(s.Points.size(), 3u);
}

TEST_F(Commands, APointStoredAfterCrossingP1CarriesThePointersAngles) {
  MeasureStations();
  Key(VkF2);
  MoveOver(0, 4500, 2000);
  MoveOver(1, 777, 1888);
  Key(VkReturn);
  ASSERT_EQ(s.Points.size(), 1u);
  EXPECT_EQ(s.Points[0].Hor1, static_cast<double>(PixelToHor(777)));
  EXPECT_EQ(s.Points[0].Vert1, static_cast<double>(PixelToVert(1888)));
  EXPECT_NE(s.Points[0].Hor2, static_cast<double>(PixelToHor(777)));
}

TEST_F(Commands, AClickInASurveyViewPutsItsGuideLineThereAndThatViewStaysStill) {
  MeasureStations();
  Key(VkF2);
  // A click holds the aim in P0: the way to P1 leads across P0.
  Run([&] { PanoramaClick(c, 0, MouseAt{5300, 1900, 0, 0}); });
  const SolverState truth = s;  // solved at 5 m
  MoveOver(0, 7000, 1000);
  Key(VkAdd);
  window.views[1].x = 1234, window.views[1].y = 567;
  Run([&] { PlaceAtClick(c, 1, truth.P1Hor - 360); });
  Run([&] { PlaceAtClick(c, 2, 200); });  // refused: P2 sees this ray only from 270 to 54 degrees
  EXPECT_NEAR(s.CurDist, truth.CurDist, 1e-9L);
  EXPECT_NEAR(s.P2Hor, truth.P2Hor, 1e-6L);
  EXPECT_EQ(QPoint(window.views[1].x, window.views[1].y), QPoint(1234, 567));
  EXPECT_TRUE(platform.informations.at(0).endsWith(QStringLiteral("diese Stelle in P2.")));
}

}  // namespace
