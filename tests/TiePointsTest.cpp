#include <cstring>

#include "commands/Adjust.h"
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

// The frame from the pictures, without depending on the adjustment's own numbers: what is taken
// over changes the stations, and "Rückgängig" puts every bit back.
struct Adjusting : Commands {
  // Tie points whose marks in P1 sit a fifth of a degree beside where the stations place them,
  // as if P1 had been turned: the pictures disagree with the recorded values.
  void StoreTies(int count) {
    for (int i = 0; i < count; ++i) {
      Key(VkF2);
      MoveOver(0, 4300 + 350 * i, 1900 + 40 * (i % 3));
      s.CurDist = 6 + 2.5L * i;
      Run([&] { ShowSolvedPoint(c, false, PointLabel::Keep); });
      s.CurMark1 = Mark{ToDouble(s.P1Hor) + 0.2, ToDouble(s.P1Vert)};
      s.CurMark2 = Mark{ToDouble(s.P2Hor), ToDouble(s.P2Vert)};
      Key(VkReturn);
    }
    StorePoint(5000, 2100);  // no tie point
  }

  // Everything the frame touches, bit for bit.
  struct Snapshot {
    SolverState stations;
    std::vector<PointRec> points;
    std::vector<double> covariance;
    std::array<QString, 4> labels;
  };
  Snapshot Take() {
    return {s,
            {s.Points.begin(), s.Points.end()},
            s.FrameCovariance,
            {Label(Window::Label::P0zu1), Label(Window::Label::P0zu2), Label(Window::Label::P1zu0),
             Label(Window::Label::P2zu0)}};
  }
  static bool SameBits(const Snapshot& a, const Snapshot& b) {
    const auto same = [](const auto& x, const auto& y) {
      return std::memcmp(&x, &y, sizeof x) == 0;
    };
    const SolverState &x = a.stations, &y = b.stations;
    bool equal = same(x.NodalHeight, y.NodalHeight) && same(x.P0zu1Hor, y.P0zu1Hor) &&
                 same(x.P0zu1Vert, y.P0zu1Vert) && same(x.DistP0P1, y.DistP0P1) &&
                 same(x.P0zu2Hor, y.P0zu2Hor) && same(x.P0zu2Vert, y.P0zu2Vert) &&
                 same(x.DistP0P2, y.DistP0P2) && same(x.P1zu0Hor, y.P1zu0Hor) &&
                 same(x.P1zu0Vert, y.P1zu0Vert) && same(x.P2zu0Hor, y.P2zu0Hor) &&
                 same(x.P2zu0Vert, y.P2zu0Vert) && x.PanoTilt == y.PanoTilt &&
                 same(x.P1Hor, y.P1Hor) && same(x.P2Vert, y.P2Vert);
    for (std::size_t i = 0; equal && i < 3; ++i) {
      equal = same(x.PanoTilt[i].Pitch, y.PanoTilt[i].Pitch) &&
              same(x.PanoTilt[i].Roll, y.PanoTilt[i].Roll);
    }
    if (!equal || a.points.size() != b.points.size()) return false;
    for (std::size_t i = 0; i < a.points.size(); ++i) {
      const PointRec &p = a.points[i], &q = b.points[i];
      const double pv[] = {p.Hor0, p.Vert0, p.Dist0, p.Hor1, p.Vert1, p.Hor2, p.Vert2};
      const double qv[] = {q.Hor0, q.Vert0, q.Dist0, q.Hor1, q.Vert1, q.Hor2, q.Vert2};
      if (!same(pv, qv) || p.Mark1 != q.Mark1 || p.Mark2 != q.Mark2) return false;
    }
    return a.covariance == b.covariance && a.labels == b.labels;
  }
};

TEST_F(Adjusting, TooFewTiePointsSayWhyAndChangeNothing) {
  MeasureStations();
  StoreTies(2);
  const Snapshot before = Take();
  EXPECT_FALSE(Run([&] { DetermineStations(c); }));
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_FALSE(platform.errors[0].isEmpty());
  EXPECT_TRUE(platform.adjustments.empty() && !platform.busyNow);
  EXPECT_TRUE(SameBits(Take(), before));
}

TEST_F(Adjusting, TakenOverTheStationsChangeAndUndoRestoresEveryBit) {
  MeasureStations();
  StoreTies(7);
  const Snapshot before = Take();
  const std::size_t undoSteps = c.undoEdits.size();

  // Cancelled: the report was shown, and nothing changes.
  Run([&] { DetermineStations(c); });
  ASSERT_EQ(platform.adjustments.size(), 1u);
  const QString& report = platform.adjustments[0];
  for (const char* part : {".0", "σ0", " px", "P1 zu P0 Hor.: ", " → ", " ± ", "Entf. P0-P1: "}) {
    EXPECT_TRUE(report.contains(QString::fromUtf8(part))) << part;
  }
  EXPECT_FALSE(report.contains(QStringLiteral(".7")));  // the point without marks
  EXPECT_TRUE(SameBits(Take(), before));
  EXPECT_EQ(c.undoEdits.size(), undoSteps);

  platform.adjustmentAnswers = {true};
  ASSERT_TRUE(Run([&] { DetermineStations(c); }));
  const Snapshot after = Take();
  EXPECT_FALSE(SameBits(after, before));
  EXPECT_NE(after.labels, before.labels);
  EXPECT_FALSE(s.FrameCovariance.empty());
  // The points keep their aim, distance and marks, with their survey angles solved anew.
  for (std::size_t i = 0; i < s.Points.size(); ++i) {
    const PointRec &p = s.Points[i], &old = before.points[i];
    EXPECT_TRUE(p.Hor0 == old.Hor0 && p.Vert0 == old.Vert0 && p.Dist0 == old.Dist0 &&
                p.Mark1 == old.Mark1 && p.Mark2 == old.Mark2);
    SolverState t = s;
    t.CurHor = p.Hor0, t.CurVert = p.Vert0, t.CurDist = p.Dist0;
    SolvePoint(t);
    EXPECT_TRUE(p.Hor1 == ToDouble(t.P1Hor) && p.Vert2 == ToDouble(t.P2Vert)) << i;
  }
  EXPECT_TRUE(window.undoEnabled && !window.redoEnabled);

  Run([&] { Undo(c); });
  EXPECT_TRUE(SameBits(Take(), before));
  EXPECT_TRUE(window.redoEnabled);
  Run([&] { Redo(c); });
  EXPECT_TRUE(SameBits(Take(), after));
  // A station measured again by hand leaves the frame's covariance behind.
  Key(VkF11);
  Key(VkReturn);
  EXPECT_TRUE(s.FrameCovariance.empty());
  EXPECT_TRUE(platform.errors.empty());
}

}  // namespace
