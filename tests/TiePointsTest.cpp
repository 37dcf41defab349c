#include "tests/CommandsFixture.h"

namespace {

using Ties = Commands;

void ShiftClick(Ties& t, int station, Real x, Real y) {
  t.Run([&] { PanoramaClick(t.c, station, MouseAt{x, y, 0, 0}, true); });
}

// Shift+click marks the spot in its survey view at the click's own angles and leaves the
// distance; Enter stores the marks with the point, and undo and redo carry them.
TEST_F(Ties, AShiftClickMarksTheSpotAndEnterStoresIt) {
  MeasureStations();
  Key(VkF2);
  Run([&] { PanoramaClick(c, 0, MouseAt{5300, 1900, 0, 0}); });
  const Real dist = s.CurDist, p1Hor = s.P1Hor;
  ShiftClick(*this, 1, 777.25L, 1888.5L);
  EXPECT_EQ(s.CurMark1, (Mark{static_cast<double>(Panorama().HorAt(777.25L)),
                              static_cast<double>(Panorama().VertAt(1888.5L))}));
  EXPECT_TRUE(s.CurDist == dist && s.P1Hor == p1Hor && !s.CurMark2);
  EXPECT_TRUE(ModeText(c).mode.endsWith(QStringLiteral(", P1 markiert")));
  EXPECT_TRUE(Label(Window::Label::Cp).startsWith(QStringLiteral("P1 markiert: ")));
  ShiftClick(*this, 2, 100, 2000);
  EXPECT_TRUE(ModeText(c).mode.endsWith(QStringLiteral(", P1 und P2 markiert")));
  // A plain click still places the distance, and keeps the marks.
  Run([&] { PlaceAtClick(c, 1, s.P1Hor + 1); });
  EXPECT_NE(s.CurDist, dist);
  const PointRec marked{0, 0, 0, 0, 0, 0, 0, s.CurMark1, s.CurMark2};
  Key(VkReturn);
  ASSERT_EQ(s.Points.size(), 1u);
  EXPECT_TRUE(s.Points[0].Tie());
  EXPECT_TRUE(s.Points[0].Mark1 == marked.Mark1 && s.Points[0].Mark2 == marked.Mark2);
  EXPECT_EQ(Cell(0, 4), QStringLiteral("P1 P2"));
  Run([&] { Undo(c); });
  EXPECT_TRUE(s.Points.empty());
  Run([&] { Redo(c); });
  ASSERT_EQ(s.Points.size(), 1u);
  EXPECT_TRUE(s.Points[0].Mark1 == marked.Mark1 && s.Points[0].Mark2 == marked.Mark2);
  EXPECT_EQ(Cell(0, 4), QStringLiteral("P1 P2"));
  EXPECT_TRUE(platform.errors.empty() && platform.informations.empty());
}

// "Punkt editieren" takes the point's marks up; a new aim in P0 and F2 start without any.
TEST_F(Ties, AnEditTakesUpThePointsMarksAndANewAimDropsThem) {
  MeasureStations();
  Key(VkF2);
  MoveOver(0, 4500, 2000);
  ShiftClick(*this, 2, 100, 2000);
  Key(VkReturn);
  EXPECT_EQ(Cell(0, 4), QStringLiteral("P2"));
  const PointRec before = s.Points[0];

  window.selected = 0;
  Run([&] { EditPoint(c); });
  EXPECT_TRUE(s.CurMark2 == before.Mark2 && !s.CurMark1);
  ShiftClick(*this, 1, 700, 2000);
  Key(VkReturn);
  EXPECT_EQ(Cell(0, 4), QStringLiteral("P1 P2"));
  EXPECT_TRUE(s.Points[0].Tie());
  Run([&] { Undo(c); });
  EXPECT_EQ(Cell(0, 4), QStringLiteral("P2"));
  EXPECT_TRUE(!s.Points[0].Mark1 && s.Points[0].Mark2 == before.Mark2);

  // Outside point entry a Shift+click marks nothing.
  const std::optional<Mark> held = s.CurMark1;
  ShiftClick(*this, 1, 100, 2100);
  EXPECT_EQ(s.CurMark1, held);
  for (const bool aimAgain : {false, true}) {
    s.CurMark1 = s.CurMark2 = Mark{1, 1};
    if (aimAgain) {
      Run([&] { PanoramaClick(c, 0, MouseAt{5000, 2000, 0, 0}); });
    } else {
      Key(VkF2);
    }
    EXPECT_TRUE(s.Mode == Mode::ModePoint && !s.CurMark1 && !s.CurMark2) << aimAgain;
  }
  // Nor does one beside the picture.
  ShiftClick(*this, 1, -1, 2000);
  EXPECT_FALSE(s.CurMark1);
  Key(VkReturn);
  EXPECT_EQ(Cell(1, 4), QString());
}

}  // namespace
