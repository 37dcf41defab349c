#include <gtest/gtest.h>

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

TEST(VirtualKeyCode, GermanAndUsLayouts) {
  const auto code = [](Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    return VirtualKeyCode(QKeyEvent(QEvent::KeyPress, key, mods));
  };
  // Without the window system's word on the key, the characters decide. German: "+" and "-"
  // have keys of their own; Shift gives "*" and "_".
  EXPECT_EQ(code(Qt::Key_Plus), VkOemPlus);
  EXPECT_EQ(code(Qt::Key_Minus), VkOemMinus);
  EXPECT_EQ(code(Qt::Key_Underscore, Qt::ShiftModifier), VkOemMinus);
  // US: "+" is Shift and "=".
  EXPECT_EQ(code(Qt::Key_Equal), VkOemPlus);
  EXPECT_EQ(code(Qt::Key_Plus, Qt::ShiftModifier), VkOemPlus);
  // The keypad, on both.
  EXPECT_EQ(code(Qt::Key_Plus, Qt::KeypadModifier), VkAdd);
  EXPECT_EQ(code(Qt::Key_Minus, Qt::KeypadModifier), VkSubtract);
  EXPECT_EQ(code(Qt::Key_Enter, Qt::KeypadModifier), VkReturn);
  EXPECT_EQ(code(Qt::Key_Return), VkReturn);
  EXPECT_EQ(code(Qt::Key_Escape), VkEscape);
  EXPECT_EQ(code(Qt::Key_Left), VkLeft);
  EXPECT_EQ(code(Qt::Key_Down), VkDown);
  EXPECT_EQ(code(Qt::Key_F2), VkF2);
  EXPECT_EQ(code(Qt::Key_F9), VkF9);
  EXPECT_EQ(code(Qt::Key_F12), VkF12);
  EXPECT_EQ(code(Qt::Key_F3), VkF3);
  EXPECT_EQ(code(Qt::Key_F4), VkNone);
  EXPECT_EQ(code(Qt::Key_A), VkNone);
}

TEST_F(Modes, PointEntryIsRefusedUntilTheStationsAreAligned) {
  Key(Qt::Key_F2);
  ASSERT_EQ(platform.informations.size(), 1u);
  EXPECT_EQ(platform.informations[0],
            QStringLiteral("Bitte zuerst die Panos zueinander ausrichten (F9..F12)"));
  EXPECT_EQ(S().Mode, Mode::ModeIdle);
  EXPECT_TRUE(Widget<QTableView>("StringGrid1")->isEnabled());
}

TEST_F(Modes, F9AimEnterTakesDirectionAndDistance) {
  form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, 4500, 2100);
  Key(Qt::Key_F9);
  EXPECT_EQ(S().Mode, Mode::ModeP0zu1);
  EXPECT_FALSE(Widget<QTableView>("StringGrid1")->isEnabled());
  platform.inputAnswers = {QStringLiteral("10")};
  Key(Qt::Key_Return);
  ASSERT_EQ(platform.inputs.size(), 1u);
  EXPECT_EQ(platform.inputs[0].caption, QStringLiteral("Entfernung P0 zu P1"));
  EXPECT_EQ(platform.inputs[0].prompt, QStringLiteral("Entfernung zu P1(m):"));
  EXPECT_EQ(platform.inputs[0].defaultText, QStringLiteral("0"));
  EXPECT_EQ(S().P0zu1Hor, PixelToHor(4500));
  EXPECT_EQ(S().P0zu1Vert, PixelToVert(2100));
  EXPECT_EQ(S().DistP0P1, 10);
  EXPECT_EQ(Widget<QLabel>("LblP0zu1")->text(), QStringLiteral("18,53° -2,65° 10,00m"));
  EXPECT_EQ(S().Mode, Mode::ModeIdle);
  EXPECT_TRUE(Widget<QTableView>("StringGrid1")->isEnabled());

  // A cancelled box answers its default.
  Key(Qt::Key_F10);
  platform.inputAnswers = {std::nullopt};
  Key(Qt::Key_Return);
  EXPECT_EQ(platform.inputs.back().caption, QStringLiteral("Entfernung P0 zu P2"));
  EXPECT_EQ(S().DistP0P2, 0);
  EXPECT_EQ(Widget<QLabel>("LblP0zu2")->text(), QStringLiteral("18,53° -2,65° 0,00m"));
}

TEST_F(Modes, ANonNumericDistanceKeepsTheDirectionTaken) {
  form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, 100, 200);
  Key(Qt::Key_F9);
  platform.inputAnswers = {QStringLiteral("abc")};
  Key(Qt::Key_Return);
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], QStringLiteral("'abc' ist kein gültiger Gleitkommawert."));
  EXPECT_EQ(S().P0zu1Hor, PixelToHor(100));
  EXPECT_EQ(S().DistP0P1, 0);
  EXPECT_EQ(S().Mode, Mode::ModeIdle);
  EXPECT_EQ(Widget<QLabel>("LblP0zu1")->text(), QStringLiteral("LblP0zu1"));
  // The table stays disabled until the next mode ends.
  EXPECT_FALSE(Widget<QTableView>("StringGrid1")->isEnabled());
  Key(Qt::Key_F11);
  Key(Qt::Key_Escape);
  EXPECT_TRUE(Widget<QTableView>("StringGrid1")->isEnabled());
}

TEST_F(Modes, BackDirectionsComeFromThePointerInTheSurveyViews) {
  Key(Qt::Key_F11);
  form->PaintBox2MouseMove(Qt::NoModifier, Qt::NoButton, 300, 2300);
  Key(Qt::Key_Return);
  EXPECT_EQ(S().P1zu0Hor, PixelToHor(300));
  EXPECT_EQ(Widget<QLabel>("LblP1zu0")->text(), QStringLiteral("193,24° -11,47°"));
  // A mode must end before another starts.
  Key(Qt::Key_F12);
  Key(Qt::Key_F9);
  EXPECT_EQ(S().Mode, Mode::ModeP2zu0);
  Key(Qt::Key_Escape);
  EXPECT_EQ(S().Mode, Mode::ModeIdle);
  EXPECT_EQ(Widget<QLabel>("LblP2zu0")->text(), QStringLiteral("LblP2zu0"));
}

TEST_F(Modes, DistanceKeysSpeedUpWhileHeld) {
  MeasureStations();
  Key(Qt::Key_F2);
  ASSERT_EQ(S().Mode, Mode::ModePoint);
  const Real start = S().CurDist;
  HeldKey(Qt::Key_Plus, 11, Qt::KeypadModifier);  // the first press and eleven repeats
  EXPECT_EQ(S().RepeatCount, 12);
  // Ten steps of 1 cm, then 5.5 cm and 6 cm.
  EXPECT_NEAR(S().CurDist, start + 0.10L + 0.055L + 0.06L, 1e-12L);
  Release(Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(S().RepeatCount, 0);
  const Real held = S().CurDist;
  Key(Qt::Key_Minus);  // main keyboard: a new press starts at 1 cm again
  EXPECT_NEAR(S().CurDist, held - 0.01L, 1e-12L);
  EXPECT_EQ(Widget<QLabel>("LblCp")->text(),
            QString::fromStdString(FixText(S().CurHor, ',') + "° " + FixText(S().CurVert, ',') +
                                   "° Entf.:" + FixText(S().CurDist, ',') + "m"));

  S().CurDist = 54999.995L;
  Key(Qt::Key_Equal);  // "+" on a US keyboard
  EXPECT_EQ(S().CurDist, 55000);
  S().CurDist = 1.005L;
  Key(Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(S().CurDist, 1);
}

TEST_F(Modes, TheWheelStepsOneCentimetreANotchWithoutLimits) {
  MeasureStations();
  QWheelEvent down(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, -120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QWheelEvent part(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, 40), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  // Outside point entry the wheel does nothing, and never scrolls a view.
  Widget<PanoramaView>("ScrollBox1")->SetVerticalPosition(500);
  QApplication::sendEvent(form->windowHandle(), &down);
  EXPECT_EQ(S().CurDist, 5);
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox1")->VerticalPosition(), 500);

  Key(Qt::Key_F2);
  S().CurDist = 1.005L;
  QApplication::sendEvent(form->windowHandle(), &down);
  EXPECT_NEAR(S().CurDist, 0.995L, 1e-12L);  // below 1: the wheel is not clamped
  EXPECT_TRUE(Widget<QLabel>("LblCp")->text().endsWith(QStringLiteral(" Entf.:1,00")));
  // A fine wheel's parts add up to one notch.
  QApplication::sendEvent(form->windowHandle(), &part);
  QApplication::sendEvent(form->windowHandle(), &part);
  EXPECT_NEAR(S().CurDist, 0.995L, 1e-12L);
  QApplication::sendEvent(form->windowHandle(), &part);
  EXPECT_NEAR(S().CurDist, 1.005L, 1e-12L);
}

TEST_F(Modes, PointsAreListedSelectedAndDeleted) {
  MeasureStations();
  StorePoint(4500, 2000);
  StorePoint(5000, 2100);
  StorePoint(5500, 1900);
  ASSERT_EQ(S().Points.size(), 3u);
  EXPECT_EQ(Cell(1, 0), QStringLiteral(".0"));
  EXPECT_EQ(Cell(2, 0), QStringLiteral(".1"));
  EXPECT_EQ(Cell(3, 0), QStringLiteral(".2"));
  EXPECT_EQ(Cell(2, 1), QStringLiteral("40,59"));
  EXPECT_EQ(Cell(2, 2), QString::fromStdString(FixText(PixelToVert(2100), ',')));
  EXPECT_EQ(Cell(3, 3), QStringLiteral("5,00"));
  EXPECT_EQ(Grid()->rowCount(), 4);  // and the empty last row
  // After adding, the empty row is selected and no point is.
  EXPECT_EQ(form->Commands().window.SelectedRow(), 4);
  EXPECT_EQ(S().SelIndex, 3);
  EXPECT_EQ(S().Points[2].Hor0, static_cast<double>(PixelToHor(5500)));

  // Selecting a row makes its point the current one and centres every view on it.
  SelectRow(form->Commands(), 2);
  EXPECT_EQ(S().SelIndex, 1);
  EXPECT_EQ(S().CurHor, static_cast<Real>(S().Points[1].Hor0));
  const int centred = Widget<PanoramaView>("ScrollBox1")->HorizontalPosition();
  EXPECT_NEAR(centred, 5000 + 8 - Widget<PanoramaView>("ScrollBox1")->ClientWidth() / 2, 9);
  // Selecting it again does not move the views.
  Widget<PanoramaView>("ScrollBox1")->SetHorizontalPosition(0);
  form->StringGrid1SelectCell(0, 2);
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox1")->HorizontalPosition(), 0);

  const PointRec third = S().Points[2];
  form->Punktlschen1Click();
  ASSERT_EQ(S().Points.size(), 2u);
  EXPECT_EQ(Cell(1, 0), QStringLiteral(".0"));
  EXPECT_EQ(Cell(2, 0), QStringLiteral(".2"));  // labels travel with their rows
  EXPECT_EQ(Grid()->rowCount(), 3);
  // The selection stays on row 2, so the point that moved up is now the selected one.
  EXPECT_EQ(S().SelIndex, 1);
  EXPECT_EQ(S().Points[1].Hor0, third.Hor0);
  StorePoint(6000, 2000);
  EXPECT_EQ(Cell(3, 0), QStringLiteral(".2"));  // the row count names it

  // With the empty row selected, deleting does nothing.
  form->Punktlschen1Click();
  EXPECT_EQ(S().Points.size(), 3u);
}

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

TEST_F(Modes, APointStoredAfterCrossingP1CarriesThePointersAngles) {
  MeasureStations();
  Key(Qt::Key_F2);
  form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, 4500, 2000);
  form->PaintBox2MouseMove(Qt::NoModifier, Qt::NoButton, 777, 1888);
  Key(Qt::Key_Return);
  ASSERT_EQ(S().Points.size(), 1u);
  EXPECT_EQ(S().Points[0].Hor1, static_cast<double>(PixelToHor(777)));
  EXPECT_EQ(S().Points[0].Vert1, static_cast<double>(PixelToVert(1888)));
  EXPECT_NE(S().Points[0].Hor2, static_cast<double>(PixelToHor(777)));
}

// With Qt's real dialogs: the keys typed into a dialog are the dialog's alone, and the arrow keys
// move the real pointer.
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

}  // namespace
