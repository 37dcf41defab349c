#include <gtest/gtest.h>

#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <cmath>

#include "app/QtPlatform.h"
#include "core/NumberText.h"
#include "geometry/Mapping.h"
#include "tests/ModesFixture.h"
#include "ui/Keys.h"
#include "ui/PanoramaView.h"
#include "ui/PointTable.h"

namespace {

TEST_F(Modes, ARightClickSelectsTheRowBeforeTheMenuOpens) {
  MeasureStations();
  StorePoint(4500, 2000);
  StorePoint(5000, 2100);
  const QRect row1 = Widget<QTableView>("StringGrid1")->visualRect(Grid()->index(0, 1));
  QTest::mousePress(Widget<QTableView>("StringGrid1")->viewport(), Qt::RightButton, Qt::NoModifier,
                    row1.center());
  EXPECT_EQ(S().SelIndex, 0);
  EXPECT_EQ(S().CurHor, static_cast<Real>(S().Points[0].Hor0));
  QApplication::processEvents();
  if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
}

// A click and a Ctrl+click on two rows: the window shows how far apart their points lie, and a
// plain click on one row alone takes that away.
TEST_F(Modes, CtrlClickingASecondRowShowsTheDistanceBetweenThePoints) {
  MeasureStations();
  StorePoint(4500, 2000);
  StorePoint(5000, 2100);
  QTableView* table = Widget<QTableView>("StringGrid1");
  const auto click = [&](int row, Qt::KeyboardModifiers keys) {
    QTest::mouseClick(table->viewport(), Qt::LeftButton, keys,
                      table->visualRect(Grid()->index(row, 1)).center());
  };
  click(0, Qt::NoModifier);
  click(1, Qt::ControlModifier);
  EXPECT_TRUE(
      Widget<QLabel>("LblPair")->text().startsWith(QStringLiteral("Abstand .0 \u2013 .1\n")))
      << Widget<QLabel>("LblPair")->text().toStdString();
  click(1, Qt::NoModifier);
  EXPECT_TRUE(Widget<QLabel>("LblPair")->text().isEmpty());
}

// With Qt's real dialogs: the keys typed into a dialog are the dialog's alone.
struct RealDialogs : ::testing::Test {
  QtPlatform platform;
  std::unique_ptr<TForm1> form;
  void SetUp() override {
    form = std::make_unique<TForm1>(platform, ',');
    form->resize(1000, 700);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
};

TEST_F(RealDialogs, EnterConfirmingTheInputBoxDoesNotConfirmAnotherMode) {
  QTest::keyClick(form->windowHandle(), Qt::Key_F9);
  bool answered = false;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    QTest::keyClicks(box->focusWidget(), QStringLiteral("12,5"));
    // Then F10 and Enter, typed into the box: neither may reach the main window.
    QTest::keyClick(box->windowHandle(), Qt::Key_F10);
    QTest::keyClick(box->windowHandle(), Qt::Key_Return);
    answered = true;
  });
  QTest::keyClick(form->windowHandle(), Qt::Key_Return);
  EXPECT_TRUE(answered);
  EXPECT_EQ(form->State().DistP0P1, 12.5L);
  EXPECT_EQ(form->State().Mode, Mode::ModeIdle);
  EXPECT_EQ(form->State().DistP0P2, 0);
}

// A digit opens the box with itself in it, and what is typed next goes on from there.
TEST_F(RealDialogs, TypingADistanceGoesOnFromTheFirstDigit) {
  WorkingState& s = form->State();
  s.P0zu1Hor = 10;
  s.P0zu2Hor = 100;
  s.NodalHeight = 1.6L;
  s.DistP0P1 = s.DistP0P2 = 10;
  QTest::keyClick(form->windowHandle(), Qt::Key_F2);
  ASSERT_EQ(s.Mode, Mode::ModePoint);
  QString shown;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    QTest::qWait(10);  // the box deselects its text once it is up
    shown = qobject_cast<QLineEdit*>(box->focusWidget())->text();
    QTest::keyClicks(box->focusWidget(), QStringLiteral("50"));
    QTest::keyClick(box->focusWidget(), Qt::Key_Return);
  });
  QTest::keyClick(form->windowHandle(), Qt::Key_1);
  EXPECT_EQ(shown, QStringLiteral("1"));
  EXPECT_EQ(s.CurDist, 150);
}

}  // namespace
