// Aiming and turning the distance as the user's hands do it: keys pressed and held on the X server
// itself, read back from what the window shows.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <memory>
#include <vector>

#include "app/QtPlatform.h"
#include "paint/PanoramaPainter.h"
#include "tests/ClassicPanorama.h"
#include "tests/ModesFixture.h"
#include "ui/Keys.h"
#include "ui/Magnifier.h"
#include "ui/PanoramaView.h"

namespace {

// Keys from the X server, as xdotool sends them to the window that has the focus.
struct XKeys : Modes {
  QString xdotool;

  void SetUp() override {
    Modes::SetUp();
    xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (xdotool.isEmpty() || QGuiApplication::platformName() != QStringLiteral("xcb")) {
      GTEST_SKIP() << "needs xdotool and an X server";
    }
    platform.movesRealPointer = true;
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
  void TearDown() override { Layout("us"); }

  void Xdo(const QStringList& arguments) {
    ASSERT_EQ(QProcess::execute(xdotool, arguments), 0) << arguments.join(' ').toStdString();
  }
  // Every key press reaches the window before the program goes on.
  void Settle() {
    QProcess::execute(xdotool, {QStringLiteral("sleep"), QStringLiteral("0.05")});
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
  }
  void Layout(const char* layout) {
    if (xdotool.isEmpty()) return;
    QProcess::execute(QStringLiteral("setxkbmap"), {QString::fromLatin1(layout)});
    Settle();
  }
};

// Counts the presses of one key that reach the window, the server's repeats included.
struct PressCounter : QObject {
  explicit PressCounter(int key) : key_(key) { QApplication::instance()->installEventFilter(this); }
  ~PressCounter() override { QApplication::instance()->removeEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched->isWindowType() && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == key_) {
      ++presses;
    }
    return false;
  }
  int presses = 0;

 private:
  int key_;
};

// Both cores kept busy while it lives.
struct CpuBurner {
  std::vector<std::unique_ptr<QProcess>> burners;
  CpuBurner() {
    for (int i = 0; i < QThread::idealThreadCount(); ++i) {
      auto& p = burners.emplace_back(std::make_unique<QProcess>());
      p->start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
      p->waitForStarted();
    }
  }
  ~CpuBurner() {
    for (auto& p : burners) {
      p->kill();
      p->waitForFinished();
    }
  }
};

// A panorama of the full size, so that every step repaints real pictures.
QImage BigPanorama(int seed) {
  QImage image(PanoWidth, PanoHeight, QImage::Format_RGB32);
  for (int y = 0; y < PanoHeight; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < PanoWidth; ++x) row[x] = qRgb(x * seed, y * 3, (x ^ y) * seed);
  }
  return image;
}

// The distance after n presses of + from `start`, by the step rule.
Real AfterPresses(Real start, int n) {
  for (int count = 1; count <= n; ++count) start += count <= 10 ? 0.01L : count / 2.0L * 0.01L;
  return start;
}

TEST_F(XKeys, AHeldPlusSpeedsUpWithEveryRepeatTheServerSends) {
  MeasureStations();
  S().Pano0 = BigPanorama(1);
  S().Pano1 = BigPanorama(2);
  S().Pano2 = BigPanorama(3);
  Key(Qt::Key_F2);
  for (int run = 0; run < 10; ++run) {
    SCOPED_TRACE(run < 5 ? "idle machine" : "loaded machine");
    std::optional<CpuBurner> load;
    if (run >= 5) load.emplace();
    S().CurDist = 100;
    S().RepeatCount = 0;
    const PressCounter counter(Qt::Key_Plus);
    Xdo({QStringLiteral("keydown"), QStringLiteral("KP_Add")});
    QTest::qWait(2000);
    Xdo({QStringLiteral("keyup"), QStringLiteral("KP_Add")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return S().RepeatCount == 0; }, 10000));
    Settle();
    ASSERT_GE(counter.presses, 20) << "the server repeated too little to tell";
    // Within two repeats of what the step rule gives for the presses that came.
    EXPECT_LE(S().CurDist, AfterPresses(100, counter.presses) + 1e-9L);
    EXPECT_GE(S().CurDist, AfterPresses(100, counter.presses - 2) - 1e-9L)
        << counter.presses << " presses";
  }
}

// A repeat's release that Qt takes for a real one, because the press after it has not arrived
// yet: the press with the release's timestamp shows it was a repeat.
TEST_F(Modes, AReleaseWithThePressesTimestampDoesNotEndTheHold) {
  MeasureStations();
  Key(Qt::Key_F2);
  const auto send = [&](QEvent::Type type, quint64 time) {
    QKeyEvent key(type, Qt::Key_Plus, Qt::KeypadModifier, 78, 0x56, 0);
    key.setTimestamp(time);
    QApplication::sendEvent(form->windowHandle(), &key);
  };
  for (quint64 time = 1000; time < 1120; time += 10) {
    if (time > 1000) send(QEvent::KeyRelease, time);
    send(QEvent::KeyPress, time);
  }
  EXPECT_EQ(S().RepeatCount, 12);
  send(QEvent::KeyRelease, 1200);  // a real release: no press comes with it
  EXPECT_EQ(S().RepeatCount, 0);
  send(QEvent::KeyPress, 1300);
  EXPECT_EQ(S().RepeatCount, 1);
}

// The column and row a text of LblCp shows.
QPoint ShownPixel(const QString& text) {
  static const QRegularExpression angles(QStringLiteral("^(-?[0-9]+,[0-9]+)° (-?[0-9]+,[0-9]+)°"));
  const QRegularExpressionMatch m = angles.match(text);
  if (!m.hasMatch()) return {-1, -1};
  const auto number = [&](int i) { return m.captured(i).replace(',', '.').toDouble(); };
  const double hor = number(1);
  return {static_cast<int>(std::lround((hor >= 180 ? hor - 180 : hor + 180) * 8160 / 360.0)),
          static_cast<int>(std::lround((90 - number(2)) * 3060 / 135.0))};
}

TEST_F(XKeys, ArrowKeysMoveTheAimOnePixelWhateverHasTheFocus) {
  MeasureStations();
  StorePoint(4500, 2000);
  StorePoint(5000, 2100);
  QWidget* const focused[] = {Widget<PanoramaView>("ScrollBox1"),
                              Widget<PanoramaView>("ScrollBox2"),
                              Widget<QTableView>("StringGrid1")};
  const struct {
    const char* key;
    QPoint step;
  } arrows[] = {{"Right", {1, 0}}, {"Left", {-1, 0}}, {"Down", {0, 1}}, {"Up", {0, -1}}};
  int moves = 0;
  for (const bool pointEntry : {false, true}) {
    for (QWidget* widget : focused) {
      SCOPED_TRACE(QStringLiteral("%1, focus on %2")
                       .arg(pointEntry ? "point entry" : "idle", widget->objectName())
                       .toStdString());
      if (S().Mode != Mode::ModeIdle) Key(Qt::Key_Escape);
      Widget<QTableView>("StringGrid1")->setCurrentIndex(Grid()->index(0, 0));
      widget->setFocus();
      if (pointEntry) Key(Qt::Key_F2);
      QCursor::setPos(
          Widget<PanoramaView>("ScrollBox1")->viewport()->mapToGlobal(QPoint(300, 200)) +
          QPoint(++moves, 0));
      Settle();
      for (const auto& arrow : arrows) {
        const QString text = Widget<QLabel>("LblCp")->text();
        Xdo({QStringLiteral("key"), QString::fromLatin1(arrow.key)});
        // A move of one pixel always changes the angle shown.
        EXPECT_TRUE(QTest::qWaitFor([&] { return Widget<QLabel>("LblCp")->text() != text; }, 5000));
        Settle();
        const QPoint step = ShownPixel(Widget<QLabel>("LblCp")->text()) - ShownPixel(text);
        EXPECT_TRUE(step == arrow.step)
            << arrow.key << " moved the aim by " << step.x() << ", " << step.y();
      }
    }
  }
}

TEST_F(XKeys, PlusAndMinusAreTheKeysThatCarryThemInEveryLayout) {
  MeasureStations();
  Key(Qt::Key_F2);
  const struct {
    const char* layout;
    const char* keysym;
    int steps;  // in centimetres
  } keys[] = {
      {"de", "plus", 1},         {"de", "asterisk", 1},    {"de", "equal", 0},  // Shift and 0
      {"de", "minus", -1},       {"de", "underscore", -1}, {"us", "plus", 1},
      {"us", "equal", 1},        {"us", "asterisk", 0},  // Shift and 8
      {"us", "minus", -1},       {"us", "underscore", -1}, {"de", "KP_Add", 1},
      {"de", "KP_Subtract", -1},
  };
  const char* layout = "";
  for (const auto& k : keys) {
    SCOPED_TRACE(std::string(k.layout) + " " + k.keysym);
    if (std::string(layout) != k.layout) Layout(layout = k.layout);
    S().CurDist = 10;
    Xdo({QStringLiteral("key"), QString::fromLatin1(k.keysym)});
    Settle();
    EXPECT_NEAR(S().CurDist, 10 + k.steps * 0.01L, 1e-12L);
  }
}

TEST_F(Modes, TheSurveyMagnifierShowsTheGuideLineWhereItsViewShowsIt) {
  MeasureStations();
  Key(Qt::Key_F2);
  form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, 4500, 2000);
  const int line = Widget<PanoramaView>("ScrollBox2")->DisplayedMarker().pixel.x();
  const int lineInView = line - Widget<PanoramaView>("ScrollBox2")->HorizontalPosition();
  // The pointer over P1 far from the line: the view keeps the line where the distance put it.
  const QPoint away(lineInView >= 110 ? lineInView - 100 : lineInView + 100, 100);
  ASSERT_LT(away.x(), Widget<PanoramaView>("ScrollBox2")->viewport()->width());
  MoveOver(Widget<PanoramaView>("ScrollBox2")->viewport(), away);
  const QImage magnified = OnScreen(Widget<Magnifier>("PaintBox5"));
  for (int y = 0; y < magnified.height(); ++y) {
    for (int x = 0; x < magnified.width(); ++x) {
      const QColor c = magnified.pixelColor(x, y);
      ASSERT_TRUE(c != kRed && c != kGrey) << "a guide line at " << x << ", " << y;
    }
  }
  const QImage view = OnScreen(Widget<PanoramaView>("ScrollBox2")->viewport());
  EXPECT_EQ(view.pixelColor(lineInView, 100),
            Widget<PanoramaView>("ScrollBox2")->DisplayedMarker().colour);
}

TEST_F(Modes, TheStripBesideTheFirstColumnIsNoPicture) {
  Widget<PanoramaView>("ScrollBox1")->SetHorizontalPosition(0);
  Widget<PanoramaView>("ScrollBox1")->SetVerticalPosition(0);
  MoveOver(Widget<PanoramaView>("ScrollBox1")->viewport(), QPoint(100, 200));
  Key(Qt::Key_F9);
  const Real hor = S().CurHor;
  const QString label = Widget<QLabel>("LblCp")->text();
  // At scroll position 0 the first 8 pixels of the P0 view lie left of column 0.
  for (int x = 0; x < 8; ++x)
    MoveOver(Widget<PanoramaView>("ScrollBox1")->viewport(), QPoint(x, 200));
  EXPECT_EQ(S().CurHor, hor);
  EXPECT_EQ(S().CursorX, 92);
  EXPECT_EQ(Widget<QLabel>("LblCp")->text(), label);
  EXPECT_EQ(Widget<PanoramaView>("ScrollBox1")->DisplayedMarker().pixel.x(), 92);
}

TEST_F(XKeys, ARightClickBelowTheRowsOpensNoMenu) {
  MeasureStations();
  StorePoint(4500, 2000);
  StorePoint(5000, 2100);
  SelectRow(form->Commands(), 0);
  const QRect last = Widget<QTableView>("StringGrid1")->visualRect(Grid()->index(2, 1));
  const QPoint below(last.center().x(), last.bottom() + 10);
  ASSERT_LT(below.y(), Widget<QTableView>("StringGrid1")->viewport()->height());
  QCursor::setPos(Widget<QTableView>("StringGrid1")->viewport()->mapToGlobal(below));
  Settle();
  Xdo({QStringLiteral("click"), QStringLiteral("3")});
  Settle();
  QWidget* menu = QApplication::activePopupWidget();
  EXPECT_EQ(menu, nullptr);
  if (menu != nullptr) menu->close();
  EXPECT_EQ(S().SelIndex, 0);
  EXPECT_EQ(S().Points.size(), 2u);
}

TEST(QtSaveDialog, ReplacesAnExistingFileWithoutAQuestion) {
  QTemporaryDir dir;
  QFile existing(dir.filePath(QStringLiteral("p.txt")));
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.close();
  QtPlatform platform;
  FileDialog dialog{{},
                    QStringLiteral("Textdateien [*.txt)|*.txt"),
                    QStringLiteral("*.txt"),
                    existing.fileName()};
  bool asked = false;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(qobject_cast<QFileDialog*>(box), nullptr);
    // A question would open over the dialog: it is answered, and counted.
    QTimer::singleShot(0, [&] {
      if (auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        asked = true;
        question->button(QMessageBox::Yes)->click();
      }
    });
    QTest::keyClick(box->focusWidget(), Qt::Key_Return);
  });
  EXPECT_TRUE(platform.ExecuteSaveDialog(dialog));
  EXPECT_FALSE(asked);
  EXPECT_EQ(dialog.FileName, existing.fileName());
}

}  // namespace
