#include <gtest/gtest.h>

#include <QDockWidget>
#include <QWheelEvent>

#include "core/Errors.h"
#include "geometry/Coordinates.h"
#include "tests/PlanExportSurvey.h"
#include "tests/Surveys.h"
#include "tests/WindowFixture.h"
#include "ui/PlanView.h"

namespace {

struct Plan : WindowFixture {
  PlanView* View() { return Widget<PlanView>("Grundriss"); }
  QDockWidget* Dock() { return Widget<QDockWidget>("GrundrissDock"); }

  // The level survey with three points, the plan shown.
  void SetUp() override {
    WindowFixture::SetUp();
    static_cast<SolverState&>(S()) = LevelSurvey();
    PointRec east, north, southWest;
    east.Hor0 = 90;
    east.Dist0 = 5;
    north.Hor0 = 0;
    north.Dist0 = 8;
    southWest.Hor0 = 225;
    southWest.Dist0 = 4;
    S().Points.Assign({east, north, southWest});
    AppendPointRows(form->Commands(), 3);
    Widget<QAction>("Grundriss1")->trigger();
    QApplication::processEvents();
  }

  QPoint PixelOf(QPointF metres) { return View()->Transform().ToDevice(metres).toPoint(); }
  QPoint PixelOfPoint(std::size_t i) {
    const PointRec& p = S().Points[i];
    const LocalPosition at = PositionOf(p.Hor0, p.Vert0, p.Dist0, S().NodalHeight);
    return PixelOf(QPointF(double(at.X), double(at.Y)));
  }
};

TEST_F(Plan, TheViewMenuShowsAndHidesThePlan) {
  QAction* action = Widget<QAction>("Grundriss1");
  EXPECT_EQ(action->text(), QStringLiteral("&Grundriss"));
  EXPECT_TRUE(action->isCheckable());
  EXPECT_TRUE(action->isChecked());
  EXPECT_TRUE(View()->isVisible());
  action->trigger();
  EXPECT_FALSE(View()->isVisible());
  EXPECT_FALSE(action->isChecked());
}

TEST_F(Plan, ShowsEveryPointWhereItsCoordinatesSay) {
  const QImage shown = View()->grab().toImage();
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(shown.pixelColor(PixelOfPoint(i)), PlanStyle().point) << i;
  }
  // Fitted: everything lies inside the view.
  for (const QPointF station : {QPointF(0, 0), QPointF(0, 10), QPointF(10, 0)}) {
    EXPECT_TRUE(View()->rect().contains(PixelOf(station)));
  }
}

TEST_F(Plan, AClickOnAPointSelectsItsRowAndTheRowMarksThePoint) {
  QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, PixelOfPoint(1) + QPoint(2, 1));
  EXPECT_EQ(S().SelIndex, 1);
  EXPECT_EQ(Widget<QTableView>("StringGrid1")->currentIndex().row(), 1);
  const QColor highlight = View()->palette().color(QPalette::Highlight);
  EXPECT_EQ(View()->grab().toImage().pixelColor(PixelOfPoint(1)), highlight);
  // The row selects the point.
  SelectRow(form->Commands(), 2);
  const QImage shown = View()->grab().toImage();
  EXPECT_EQ(shown.pixelColor(PixelOfPoint(2)), highlight);
  EXPECT_EQ(shown.pixelColor(PixelOfPoint(1)), PlanStyle().point);
  // Beside every point, a click selects nothing.
  QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, PixelOfPoint(0) + QPoint(0, 20));
  EXPECT_EQ(S().SelIndex, 2);
  // A Ctrl+click adds a point, as in the table: both marked, and how far apart they lie shown.
  QTest::mouseClick(View(), Qt::LeftButton, Qt::ControlModifier, PixelOfPoint(0) + QPoint(2, 1));
  const QImage both = View()->grab().toImage();
  EXPECT_EQ(both.pixelColor(PixelOfPoint(0)), highlight);
  EXPECT_EQ(both.pixelColor(PixelOfPoint(2)), highlight);
  EXPECT_TRUE(Widget<QLabel>("LblPair")->text().startsWith(QStringLiteral("Abstand .0 \u2013 .2")));
  // And a line joins them.
  const QPointF quarter = QPointF(PixelOfPoint(0)) * 0.25 + QPointF(PixelOfPoint(2)) * 0.75;
  const QColor line = both.pixelColor(quarter.toPoint());
  EXPECT_TRUE(line.blue() > line.red() + 60) << line.name().toStdString();
}

TEST_F(Plan, InPointEntryTheCurrentPointFollowsTheMouse) {
  Key(Qt::Key_F2);
  ASSERT_EQ(S().Mode, Mode::ModePoint);
  for (const int x : {5000, 5200}) {
    form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, x, 2100);
    const LocalPosition at = PositionOf(S().CurHor, S().CurVert, S().CurDist, S().NodalHeight);
    const QPoint centre = PixelOf(QPointF(double(at.X), double(at.Y)));
    // The cross's arm, beside the ellipse and the sight lines, drawn smooth.
    const QColor arm = OnScreen(View()).pixelColor(centre + QPoint(5, 0));
    EXPECT_TRUE(arm.red() == 255 && arm.green() < 160 && arm.blue() < 160) << x;
  }
}

TEST_F(Plan, TheWheelZoomsAboutThePointer) {
  const QPoint at = PixelOfPoint(0) + QPoint(3, -2);
  const QPointF metres = View()->Transform().ToWorld(at);
  const double scale = View()->Transform().scale;
  // Through the main window, whose key preview sees every wheel turn first.
  const QPointF inWindow = View()->mapTo(form.get(), at);
  QWheelEvent wheel(inWindow, View()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(form->windowHandle(), &wheel);
  EXPECT_GT(View()->Transform().scale, scale);
  EXPECT_NEAR(View()->Transform().ToDevice(metres).x(), at.x(), 1e-6);
  EXPECT_NEAR(View()->Transform().ToDevice(metres).y(), at.y(), 1e-6);
  // The distance stays as it was: the wheel was the plan's.
  EXPECT_EQ(S().CurDist, 5);
}

// A plan floated as a window of its own, with the keyboard focus: its keys still reach point
// entry.
TEST_F(Plan, KeysTypedIntoTheFloatingPlanReachTheWindow) {
  Dock()->setFloating(true);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Dock()));
  QTest::keyClick(Dock()->windowHandle(), Qt::Key_F2);
  EXPECT_EQ(S().Mode, Mode::ModePoint);
}

TEST_F(Plan, AFloatingPlanFloatsAgainAtTheNextStart) {
  Dock()->setFloating(true);
  form->FormClose();
  Open();
  ASSERT_TRUE(View()->isVisible());
  EXPECT_TRUE(Dock()->isFloating());
  EXPECT_TRUE(Widget<QAction>("Grundriss1")->isChecked());
}

struct PlanExport : WindowFixture {
  void SetUp() override {
    WindowFixture::SetUp();
    SetPlanExportSurvey(S());
  }
};

TEST_F(PlanExport, TheMenuAsksForScaleAndPaperAndTheSuffixDecides) {
  const struct {
    std::optional<std::vector<int>> choice;  // scale, paper, orientation
    const char* file;
    const char* starts;  // the file's first bytes, or nothing when none is written
    const char* error;
  } cases[] = {
      {std::vector{1, 0, 0}, "plan.pdf", "%PDF", nullptr},
      {std::vector{2, 1, 1}, "plan.svg", "<?xml", nullptr},
      {std::vector{0, 0, 0}, "plan.pdf", nullptr,
       "Der Grundriss passt im Maßstab 1:50 nicht auf A4 hoch"},
      {std::vector{2, 0, 0}, "plan.png", nullptr, kMsgPlanSuffix},
      {std::nullopt, "plan.pdf", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    const QString path = dir.filePath(QString::fromUtf8(c.file));
    QFile::remove(path);
    platform.errors.clear();
    platform.fileDialogs.clear();
    platform.choiceAnswers = {c.choice};
    platform.fileAnswers = {path};
    Widget<QAction>("GrundrissSpeichern1")->trigger();
    EXPECT_EQ(platform.fileDialogs.size(), c.choice ? 1u : 0u) << c.file;
    if (c.error) {
      ASSERT_EQ(platform.errors.size(), 1u) << c.file;
      EXPECT_TRUE(platform.errors[0].startsWith(QString::fromUtf8(c.error)))
          << platform.errors[0].toStdString();
    } else {
      EXPECT_TRUE(platform.errors.empty()) << c.file;
    }
    EXPECT_EQ(QFile::exists(path), c.starts != nullptr) << c.file;
    if (c.starts) {
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::ReadOnly));
      EXPECT_TRUE(file.readAll().startsWith(c.starts)) << c.file;
    }
  }
  // The dialog offers what it was asked for last.
  ASSERT_FALSE(platform.choiceDialogs.empty());
  EXPECT_EQ(platform.choiceDialogs.back()[0].options.join(QLatin1Char(' ')),
            QStringLiteral("1:50 1:100 1:200 1:500"));
  EXPECT_EQ(platform.choiceDialogs.back()[0].chosen, 2);
}

}  // namespace
