#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/TForm1.h"
#include "commands/Points.h"
#include "commands/Views.h"
#include "tests/ScriptedPlatform.h"
#include "tests/TestFiles.h"
#include "ui/Magnifier.h"
#include "ui/PanoramaView.h"
#include "ui/PointTable.h"

// A real main window under the test's X server, with the scripted platform answering for the
// user.

// A mouse move as the window system delivers it, without moving the real pointer.
inline void MoveOver(QWidget* widget, QPoint p, Qt::MouseButtons buttons = Qt::NoButton) {
  QMouseEvent move(QEvent::MouseMove, p, widget->mapToGlobal(p), Qt::NoButton, buttons,
                   Qt::NoModifier);
  QApplication::sendEvent(widget, &move);
}

struct WindowFixture : ::testing::Test {
  QTemporaryDir dir;
  ScriptedPlatform platform;
  std::unique_ptr<TForm1> form;

  // The executable's directory, where the settings file lives, is the test's own, and so is the
  // configuration folder, where the window keeps its layout.
  WindowFixture() {
    platform.exeDir = dir.path() + QLatin1Char('/');
    platform.configDir = dir.path() + QStringLiteral("/config/");
  }

  void Open(char separator = ',') {
    form = std::make_unique<TForm1>(platform, separator);
    // Client area 1000 x 700 below the menu bar.
    form->resize(1000, 700 + Bars());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  void SetUp() override { Open(); }

  WorkingState& S() { return form->State(); }
  // The height of the menu bar and the status bar, beside the client area.
  int Bars() const {
    return form->menuBar()->sizeHint().height() + form->statusBar()->sizeHint().height();
  }

  // A component of the window, found by its name as a screen reader or a test script finds it.
  template <typename T>
  T* Widget(const char* name) {
    T* w = form->findChild<T*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  PointTableModel* Grid() {
    return static_cast<PointTableModel*>(Widget<QTableView>("StringGrid1")->model());
  }

  // A key typed on the window, through the window system's path like a real key.
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(form->windowHandle(), key, modifiers);
  }
  QString WriteFile(const QString& name, const QByteArray& bytes) {
    return WriteTestFile(QDir(dir.path()), name, bytes);
  }
};

// What the X server shows of a widget: the pixels that really reached the screen, stale ones
// included, unlike grab(), which paints afresh.
inline QImage OnScreen(QWidget* widget) {
  QApplication::processEvents();
  const QPoint origin = widget->mapTo(widget->window(), QPoint(0, 0));
  return widget->screen()
      ->grabWindow(widget->window()->winId(), origin.x(), origin.y(), widget->width(),
                   widget->height())
      .toImage();
}
