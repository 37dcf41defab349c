// Taking edits back, typing a distance, where a point lies, and handing the points to other
// programs: the commands without a window.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "commands/Help.h"
#include "commands/Readouts.h"
#include "commands/Views.h"
#include "geometry/Coordinates.h"
#include "geometry/Firmness.h"
#include "io/PointCsv.h"
#include "io/PointDxf.h"
#include "io/ProjectFile.h"
#include "tests/CommandsFixture.h"

namespace {

struct Edits : Commands {
  void SetUp() override { MeasureStations(); }

  // What the list should hold: each point with its label.
  struct Entry {
    int label;
    PointRec point;
  };

  void ExpectListed(const std::vector<Entry>& want) {
    ASSERT_EQ(s.Points.size(), want.size());
    ASSERT_EQ(window.rows.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(s.Points.Label(i), want[i].label) << i;
      EXPECT_EQ(s.Points[i].Hor0, want[i].point.Hor0) << i;
      EXPECT_EQ(window.rows[i][0], QStringLiteral(".%1").arg(want[i].label)) << i;
      EXPECT_EQ(window.rows[i][1], c.Fix(want[i].point.Hor0)) << i;
      EXPECT_EQ(window.rows[i][3], c.Fix(want[i].point.Dist0)) << i;
    }
  }
};

// Random sequences of adding, deleting, taking back and doing again, against a list kept by hand.
TEST_F(Edits, UndoAndRedoGiveBackTheTableAndTheProject) {
  std::mt19937 random(3);
  std::vector<Entry> want;
  std::vector<std::pair<bool, Entry>> undo, redo;  // added?, the point
  std::vector<std::size_t> undoAt, redoAt;
  for (int step = 0; step < 400; ++step) {
    const int choice = static_cast<int>(random() % 4);
    if (choice == 0) {
      StorePoint(3000 + static_cast<int>(random() % 3000), 1500 + static_cast<int>(random() % 900));
      const Entry added{static_cast<int>(want.size()), s.Points[s.Points.size() - 1]};
      want.push_back(added);
      undo.push_back({true, added});
      undoAt.push_back(want.size() - 1);
      redo.clear();
      redoAt.clear();
    } else if (choice == 1 && !want.empty()) {
      const std::size_t at = random() % want.size();
      SelectRow(c, static_cast<int>(at));
      Run([&] { DeletePoint(c); });
      undo.push_back({false, want[at]});
      undoAt.push_back(at);
      want.erase(want.begin() + static_cast<std::ptrdiff_t>(at));
      redo.clear();
      redoAt.clear();
    } else if (choice == 2) {
      Run([&] { Undo(c); });
      if (!undo.empty()) {
        const auto [added, entry] = undo.back();
        const std::size_t at = undoAt.back();
        if (added) {
          want.erase(want.begin() + static_cast<std::ptrdiff_t>(at));
        } else {
          want.insert(want.begin() + static_cast<std::ptrdiff_t>(at), entry);
        }
        redo.push_back(undo.back());
        redoAt.push_back(at);
        undo.pop_back();
        undoAt.pop_back();
      }
    } else if (choice == 3) {
      Run([&] { Redo(c); });
      if (!redo.empty()) {
        const auto [added, entry] = redo.back();
        const std::size_t at = redoAt.back();
        if (added) {
          want.insert(want.begin() + static_cast<std::ptrdiff_t>(at), entry);
        } else {
          want.erase(want.begin() + static_cast<std::ptrdiff_t>(at));
        }
        undo.push_back(redo.back());
        undoAt.push_back(at);
        redo.pop_back();
        redoAt.pop_back();
      }
    }
    SCOPED_TRACE(step);
    ExpectListed(want);
    EXPECT_EQ(window.undoEnabled, !undo.empty());
    EXPECT_EQ(window.redoEnabled, !redo.empty());
    if (HasFailure()) return;
  }
  EXPECT_TRUE(platform.errors.empty());

  // The saved project holds exactly the points listed.
  std::vector<PointRec> points;
  for (const Entry& e : want) points.push_back(e.point);
  const QString path = dir.filePath(QStringLiteral("p.txt"));
  platform.fileAnswers = {path};
  ASSERT_TRUE(Run([&] { SaveProject(c); }));
  EXPECT_EQ(Read(path), ProjectFileBytes(s, {s.PanoFile0, s.PanoFile1, s.PanoFile2}, points, ','));
}

// "Punkt editieren": Enter gives the point new values in its place, Esc leaves it; undo, redo.
TEST_F(Edits, AnEditedPointKeepsItsPlaceLabelAndRow) {
  for (const int x : {4500, 5000, 5500}) StorePoint(x, 2000);
  std::vector<std::vector<Entry>> after{{{0, s.Points[0]}, {1, s.Points[1]}, {2, s.Points[2]}}};
  for (const auto& [row, confirm] : {std::pair{1, VkReturn}, {0, VkReturn}, {1, VkEscape}}) {
    window.selected = row;
    window.views[0].x = 0;
    const std::uint64_t revision = s.Points.Revision();  // the views draw anew from a new one
    Run([&] { EditPoint(c); });
    EXPECT_TRUE(s.Mode == Mode::ModePoint && !window.tableEnabled && window.views[0].x > 0);
    for (const VirtualKey key : {VkOemPlus, confirm}) Key(key);
    if (confirm == VkReturn) after.push_back(after.back());
    if (confirm == VkReturn) after.back()[static_cast<std::size_t>(row)].point.Dist0 += 0.01;
    ExpectListed(after.back());
    EXPECT_TRUE(s.Mode == Mode::ModeIdle && window.tableEnabled && window.selected == row &&
                (s.Points.Revision() != revision) == (confirm == VkReturn));
  }
  // Undone and redone, then deleted and undone: the new values; undone again, the old ones.
  for (auto* step : {Undo, Redo, DeletePoint, Undo}) Run([&] { step(c); });
  ExpectListed(after[2]);
  Run([&] { Undo(c); });
  ExpectListed(after[1]);
  // Not in a mode, nor on the empty row; F2 after an edit adds a point.
  Key(VkF2);
  EXPECT_FALSE(PointEditable(c));
  Key(VkReturn);
  EXPECT_TRUE(s.Points.size() == 4 && !PointEditable(c));
}

TEST_F(Edits, AFailedLoadKeepsTheEditsAndALoadForgetsThem) {
  StorePoint(4500, 2000);
  EXPECT_TRUE(window.undoEnabled);
  platform.fileAnswers = {dir.filePath(QStringLiteral("weg.txt"))};
  EXPECT_FALSE(Run([&] { LoadProject(c); }));
  EXPECT_TRUE(window.undoEnabled);
  const QString path = dir.filePath(QStringLiteral("p.txt"));
  platform.fileAnswers = {path};
  Run([&] { SaveProject(c); });
  platform.fileAnswers = {path};
  EXPECT_TRUE(Run([&] { LoadProject(c); }));
  EXPECT_FALSE(window.undoEnabled);
  Run([&] { Undo(c); });
  EXPECT_EQ(s.Points.size(), 2u);
  // Nor is anything taken back while a mode is on: the table is closed then.
  StorePoint(5000, 2000);
  Key(VkF2);
  Run([&] { Undo(c); });
  EXPECT_EQ(s.Points.size(), 3u);
}

TEST_F(Edits, ADigitInPointEntryAsksForTheDistance) {
  Key(VkF2);
  const struct {
    int key;
    std::optional<QString> answer;
    Real dist;      // afterwards
    QString shown;  // the box's text when it opened
  } cases[] = {
      {Vk0 + 1, QStringLiteral("150"), 150, QStringLiteral("1")},
      {VkNumpad0 + 7, QStringLiteral("7,25"), 7.25L, QStringLiteral("7")},
      {Vk0 + 3, std::nullopt, 7.25L, QStringLiteral("3")},             // cancelled
      {Vk0 + 9, QStringLiteral("99999"), 55000, QStringLiteral("9")},  // held to the limits
      {Vk0, QStringLiteral("0,5"), 1, QStringLiteral("0")},
  };
  for (const auto& k : cases) {
    platform.inputAnswers = {k.answer};
    Key(k.key);
    ASSERT_FALSE(platform.inputs.empty());
    EXPECT_EQ(platform.inputs.back().caption, QStringLiteral("Entfernung eingeben"));
    EXPECT_EQ(platform.inputs.back().defaultText, k.shown);
    EXPECT_EQ(s.CurDist, k.dist);
  }
  EXPECT_TRUE(Label(Window::Label::Cp).endsWith(QStringLiteral("Entf.:1,00m")));
  // A text that is no number says so and changes nothing.
  platform.inputAnswers = {QStringLiteral("zwölf")};
  Key(Vk0 + 1);
  EXPECT_EQ(platform.errors,
            std::vector<QString>{QStringLiteral("'zwölf' ist kein gültiger Gleitkommawert.")});
  EXPECT_EQ(s.CurDist, 1);
  // Outside point entry a digit does nothing.
  Key(VkEscape);
  const std::size_t asked = platform.inputs.size();
  Key(Vk0 + 5);
  EXPECT_EQ(platform.inputs.size(), asked);
}

TEST_F(Edits, ThePositionRowFollowsTheCurrentPoint) {
  Key(VkF2);
  MoveOver(0, 5000, 2100);
  const auto shown = [&] {
    const LocalPosition at = PositionOf(s.CurHor, s.CurVert, s.CurDist, s.NodalHeight);
    return QStringLiteral("X ") + c.Fix(at.X) + QStringLiteral(" Y ") + c.Fix(at.Y) +
           QStringLiteral(" Z ") + c.Fix(at.Z);
  };
  EXPECT_EQ(Label(Window::Label::Position), shown());
  const GuideStrength strength = StrengthOf(s, s.Shapes());
  const Firmness firm = FirmnessOf(s, s.Shapes(), 0.5L);
  EXPECT_EQ(Label(Window::Label::Strength),
            QStringLiteral("1 px in P1: ") + c.Fix(*strength.P1) +
                QStringLiteral(" cm\n1 px in P2: ") + c.Fix(*strength.P2) +
                QStringLiteral(" cm\n\u03C3 quer ") + c.Fix(*firm.AcrossCm) +
                QStringLiteral(" cm, l\u00E4ngs ") + c.Fix(*firm.AlongCm) +
                QStringLiteral(" cm\nSchnitt P1 ") + c.Fix(*firm.AngleP1) +
                QStringLiteral("\u00B0, P2 ") + c.Fix(*firm.AngleP2) + QStringLiteral("\u00B0"));
  // A coarser hand, set under "Einstellungen...", widens the deviations in proportion; a number
  // out of range is refused and changes nothing.
  platform.inputAnswers = {QStringLiteral("1,5"), QStringLiteral("30")};
  EXPECT_TRUE(Run([&] { EditSettings(c); }));
  EXPECT_TRUE(Label(Window::Label::Strength)
                  .contains(QStringLiteral("\u03C3 quer ") + c.Fix(3 * *firm.AcrossCm)));
  EXPECT_FALSE(Run([&] { EditSettings(c); }));
  EXPECT_EQ(c.pointingPx, 1.5L);
  c.pointingPx = 0.5L;
  Key(VkOemPlus);
  EXPECT_EQ(Label(Window::Label::Position), shown());
  Key(VkReturn);

  // Straight towards P1 and far: only P2 fixes the distance, and poorly.
  Key(VkF2);
  MoveOver(0, 4080, 2040);
  s.CurDist = 3000;
  Key(VkReturn);
  SelectRow(c, 0);
  EXPECT_EQ(Label(Window::Label::Position), shown());
  SelectRow(c, 1);
  EXPECT_TRUE(Label(Window::Label::Position).endsWith(QStringLiteral(" \u26A0")));
  EXPECT_TRUE(Label(Window::Label::Strength).startsWith(QStringLiteral("1 px in P1: \u221E\n")));
  EXPECT_TRUE(
      Label(Window::Label::Strength).contains(QStringLiteral("\n\u26A0 schwach bestimmt\n")));
  // Its sight lines meet at a few degrees: suspect.
  EXPECT_TRUE(Label(Window::Label::Strength).endsWith(QStringLiteral("\u00B0 \u26A0")));

  // Two rows selected: how far apart their points lie, level, along the slope and in height.
  window.selectedRows = {0, 1};
  ShowSelectedPair(c);
  const LocalPosition a =
      PositionOf(s.Points[0].Hor0, s.Points[0].Vert0, s.Points[0].Dist0, s.NodalHeight);
  const LocalPosition b =
      PositionOf(s.Points[1].Hor0, s.Points[1].Vert0, s.Points[1].Dist0, s.NodalHeight);
  const Real level = std::hypot(b.X - a.X, b.Y - a.Y);
  EXPECT_EQ(Label(Window::Label::Pair),
            QStringLiteral("Abstand .0 \u2013 .1\nwaagerecht ") + c.Metres(level) +
                QStringLiteral("\nschr\u00E4g ") + c.Metres(std::hypot(level, b.Z - a.Z)) +
                QStringLiteral("\nH\u00F6he ") + (b.Z > a.Z ? QStringLiteral("+") : QString()) +
                c.Metres(b.Z - a.Z));
  window.selectedRows = {1};
  ShowSelectedPair(c);
  EXPECT_TRUE(Label(Window::Label::Pair).isEmpty());
}

// The drawing itself is read back in PointDxfTest; here the command around it.
TEST_F(Edits, TheDxfExportAsksForTheSightLinesAndWritesNothingWhenCancelled) {
  StorePoint(4500, 2000);
  const QString path = dir.filePath(QStringLiteral("punkte.dxf"));
  for (const auto& [answer, bytes] :
       {std::pair{Platform::Button::Cancel, QByteArray()},
        std::pair{Platform::Button::No, PointDxfBytes(s.Points, s, false)},
        std::pair{Platform::Button::Yes, PointDxfBytes(s.Points, s, true)}}) {
    platform.fileAnswers = {path};
    platform.boxAnswers = {answer};
    EXPECT_TRUE(Run([&] { ExportDxf(c); }));
    EXPECT_EQ(platform.fileDialogs.back().Title, QStringLiteral("Punkte als DXF exportieren"));
    EXPECT_EQ(platform.fileDialogs.back().Filter, QStringLiteral("DXF-Zeichnungen [*.dxf]|*.dxf"));
    EXPECT_EQ(QFile::exists(path) ? Read(path) : QByteArray(), bytes);
  }
}

TEST_F(Edits, TheExportWritesEveryPointAsCsv) {
  StorePoint(4500, 2000);
  StorePoint(5000, 2100);
  platform.fileAnswers = {std::nullopt};
  Run([&] { ExportPoints(c); });
  ASSERT_EQ(platform.fileDialogs.size(), 1u);
  EXPECT_EQ(platform.fileDialogs[0].Title, QStringLiteral("Punkte exportieren"));
  EXPECT_EQ(platform.fileDialogs[0].Filter, QStringLiteral("CSV-Dateien [*.csv]|*.csv"));
  const QString path = dir.filePath(QStringLiteral("punkte.csv"));
  EXPECT_FALSE(QFile::exists(path));
  platform.fileAnswers = {path};
  EXPECT_TRUE(Run([&] { ExportPoints(c); }));
  EXPECT_EQ(Read(path), PointCsvBytes(s.Points, s, s.Shapes(), ','));
  // The next export proposes the same file.
  platform.fileAnswers = {std::nullopt};
  Run([&] { ExportPoints(c); });
  EXPECT_EQ(platform.fileDialogs.back().FileName, path);
}

TEST_F(Edits, TheKeyListNamesEveryKey) {
  Run([&] { ShowKeys(c); });
  ASSERT_EQ(platform.messages.size(), 1u);
  for (const char* key : {"F2", "F3", "F9", "F12", "+ / -", "Mausrad", "0 bis 9", "Enter", "Esc",
                          "Pfeiltasten", "Strg+Z", "Strg+Y", "Strg+E"}) {
    EXPECT_TRUE(platform.messages[0].contains(QString::fromUtf8(key))) << key;
  }
}

}  // namespace
