#include "commands/Adjust.h"
#include "tests/CommandsFixture.h"

namespace {

struct Ties : Commands {
  void Click(int station, Real x, Real y, bool shift = false) {
    Run([&] { PanoramaClick(c, station, MouseAt{x, y, 0, 0}, shift); });
  }
  // The marks of the stored points, undo and redo being a matter of these.
  std::vector<std::optional<Mark>> Marks() {
    std::vector<std::optional<Mark>> marks;
    for (const PointRec& p : s.Points) marks.insert(marks.end(), {p.Mark1, p.Mark2});
    return marks;
  }
};

// Shift+click marks the spot at the click's own angles and leaves the distance; Enter stores the
// marks, an edit takes them up, undo and redo carry them; a new aim and F2 drop them.
TEST_F(Ties, AShiftClickMarksTheSpotAndThePointKeepsIt) {
  MeasureStations();
  Key(VkF2);
  Click(0, 5300, 1900);
  const Real dist = s.CurDist;
  Click(1, 777.25L, 1888.5L, true);
  EXPECT_EQ(s.CurMark1,
            (Mark{ToDouble(Panorama().HorAt(777.25L)), ToDouble(Panorama().VertAt(1888.5L))}));
  EXPECT_TRUE(s.CurDist == dist && !s.CurMark2);
  EXPECT_TRUE(ModeText(c).mode.endsWith(QStringLiteral(", P1 markiert")));
  EXPECT_TRUE(Label(Window::Label::Cp).startsWith(QStringLiteral("P1 markiert: ")));
  Click(2, 100, 2000, true);
  EXPECT_TRUE(ModeText(c).mode.endsWith(QStringLiteral(", P1 und P2 markiert")));
  Click(2, -1, 2000, true);  // beside the picture
  Key(VkReturn);
  const auto tie = Marks();
  EXPECT_TRUE(s.Points[0].Tie() && tie[0] == s.CurMark1 && tie[1] == s.CurMark2);
  EXPECT_EQ(Cell(0, 4), QStringLiteral("P1 P2"));

  StorePoint(4500, 2000);
  Click(2, 100, 2100, true);  // outside point entry: nothing
  EXPECT_EQ(Cell(1, 4), QString());
  window.selected = 1;
  Run([&] { EditPoint(c); });
  Click(2, 200, 2000, true);
  Key(VkReturn);
  EXPECT_EQ(Cell(1, 4), QStringLiteral("P2"));
  window.selected = 0;
  Run([&] { EditPoint(c); });
  EXPECT_TRUE(s.CurMark1 == tie[0] && s.CurMark2 == tie[1]);
  Key(VkEscape);
  const auto edited = Marks();
  for (auto* step : {Undo, Undo, Redo, Redo}) Run([&] { step(c); });
  EXPECT_EQ(Marks(), edited);
  Run([&] { Undo(c); });
  EXPECT_TRUE(!Marks()[3] && Cell(1, 4).isEmpty() && Marks()[0] == tie[0]);

  for (const bool aimAgain : {false, true}) {
    s.CurMark1 = s.CurMark2 = Mark{1, 1};
    aimAgain ? Click(0, 5000, 2000) : Key(VkF2);
    EXPECT_TRUE(s.Mode == Mode::ModePoint && !s.CurMark1 && !s.CurMark2) << aimAgain;
  }
  EXPECT_TRUE(platform.errors.empty() && platform.informations.empty());
}

// The frame from the pictures, checked without the adjustment's own numbers: what is taken over
// changes the stations, and "Rückgängig" puts every bit back.
struct Adjusting : Commands {
  // Tie points whose marks in P1 lie a fifth of a degree beside where the stations place them,
  // as if P1 had been turned, and one point that is none.
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
    StorePoint(5000, 2100);
  }

  // Everything the frame touches: station values, tilts, the current and the stored points'
  // survey angles, the labels, the covariance.
  struct Snapshot {
    std::vector<Real> numbers;
    std::vector<double> covariance;  // empty for none
    QString labels;
    bool operator==(const Snapshot&) const = default;
  };
  Snapshot Take() {
    std::vector<Real> n = {s.P0zu1Hor, s.P0zu1Vert, s.DistP0P1,   s.P0zu2Hor, s.P0zu2Vert,
                           s.DistP0P2, s.P1zu0Hor,  s.P1zu0Vert,  s.P2zu0Hor, s.P2zu0Vert,
                           s.P1Hor,    s.P2Vert,    s.NodalHeight};
    for (const Tilt& t : s.PanoTilt) n.insert(n.end(), {t.Pitch, t.Roll});
    for (const PointRec& p : s.Points) n.insert(n.end(), {p.Hor1, p.Vert1, p.Hor2, p.Vert2});
    QString labels;
    for (const auto l :
         {Window::Label::P0zu1, Window::Label::P0zu2, Window::Label::P1zu0, Window::Label::P2zu0})
      labels += Label(l) + QLatin1Char('|');
    std::vector<double> covariance;
    if (s.FrameCovariance) covariance.assign(s.FrameCovariance->begin(), s.FrameCovariance->end());
    return {n, covariance, labels};
  }
};

// With the three pictures loaded the command offers to seek tie points in them. Pictures without
// a feature say that too few agree; "Abbrechen" during the search and a cancelled offer change
// nothing either; "Nein" adjusts to the marked points alone.
TEST_F(Adjusting, SoughtInThePicturesTooFewAgreeOrCancelledNothingChanges) {
  MeasureStations();
  StoreTies(7);
  QImage plain(1024, 384, QImage::Format_RGB32);
  plain.fill(QColor(120, 130, 140));
  s.Pano0 = s.Pano1 = s.Pano2 = PanoPicture(plain);
  const Snapshot before = Take();
  platform.boxAnswers = {Platform::Button::Yes};
  EXPECT_FALSE(Run([&] { DetermineStations(c); }));
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_TRUE(platform.errors[0].startsWith(QStringLiteral("Zu wenige Punkte stimmen")));
  EXPECT_TRUE(platform.stages.back().startsWith(QStringLiteral("Merkmale zuordnen")));
  platform.stages.clear();
  platform.cancelAtStage = 0;
  platform.boxAnswers = {Platform::Button::Yes};
  EXPECT_TRUE(Run([&] { DetermineStations(c); }));
  EXPECT_EQ(platform.stages.size(), 1u);
  platform.boxAnswers = {Platform::Button::Cancel};
  EXPECT_TRUE(Run([&] { DetermineStations(c); }));
  EXPECT_TRUE(platform.adjustments.empty() && platform.errors.size() == 1u && Take() == before);
  platform.stages.clear();
  platform.boxAnswers = {Platform::Button::No};
  EXPECT_TRUE(Run([&] { DetermineStations(c); }));
  EXPECT_TRUE(platform.adjustments.size() == 1u && platform.stages.empty() && Take() == before);
}

TEST_F(Adjusting, TooFewTiePointsSayWhyAndChangeNothing) {
  MeasureStations();
  StoreTies(2);
  const Snapshot before = Take();
  EXPECT_FALSE(Run([&] { DetermineStations(c); }));
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_TRUE(platform.adjustments.empty() && !platform.busyNow && Take() == before);
}

TEST_F(Adjusting, TakenOverTheStationsChangeAndUndoRestoresEveryBit) {
  MeasureStations();
  StoreTies(7);
  const Snapshot before = Take();
  const std::vector<PointRec> old(s.Points.begin(), s.Points.end());
  Run([&] { DetermineStations(c); });  // "Abbrechen"
  ASSERT_EQ(platform.adjustments.size(), 1u);
  for (const char* part : {".0", "σ0", " px", "P1 zu P0 Hor.: ", " → ", " ± ", "Entf. P0-P1: "}) {
    EXPECT_TRUE(platform.adjustments[0].contains(QString::fromUtf8(part))) << part;
  }
  EXPECT_FALSE(platform.adjustments[0].contains(QStringLiteral(".7")));  // no tie point
  EXPECT_TRUE(Take() == before && !window.redoEnabled);
  const std::size_t steps = c.undoEdits.size();

  platform.adjustmentAnswers = {true};
  ASSERT_TRUE(Run([&] { DetermineStations(c); }));
  const Snapshot after = Take();
  EXPECT_TRUE(after.numbers != before.numbers && after.labels != before.labels);
  EXPECT_TRUE(s.FrameCovariance != nullptr && c.undoEdits.size() == steps + 1);
  // The points keep their aim, distance and marks; their survey angles are solved anew.
  for (std::size_t i = 0; i < s.Points.size(); ++i) {
    const PointRec& p = s.Points[i];
    SolverState t = s;
    t.CurHor = p.Hor0, t.CurVert = p.Vert0, t.CurDist = p.Dist0;
    SolvePoint(t);
    EXPECT_TRUE(p.Hor1 == ToDouble(t.P1Hor) && p.Vert2 == ToDouble(t.P2Vert) &&
                p.Dist0 == old[i].Dist0 && p.Mark1 == old[i].Mark1)
        << i;
  }
  Run([&] { Undo(c); });
  EXPECT_TRUE(Take() == before);
  Run([&] { Redo(c); });
  EXPECT_TRUE(Take() == after);
  // A station measured again by hand leaves the frame's covariance behind.
  Key(VkF11);
  Key(VkReturn);
  EXPECT_TRUE(s.FrameCovariance == nullptr && platform.errors.empty());
}

}  // namespace
