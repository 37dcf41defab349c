#pragma once

#include <cmath>

#include "geometry/Mapping.h"
#include "tests/ClassicPanorama.h"
#include "tests/WindowFixture.h"
#include "ui/PointTable.h"

struct Modes : WindowFixture {
  // P1 and P2 stand 10 m from P0 on level ground at a right angle, all panoramas sharing their
  // zero direction; measured with the keys as a user would.
  void MeasureStations() {
    const int ground = VertToPixel(-std::atan(1.6L / 10) * RadToDeg);
    platform.inputAnswers = {QStringLiteral("1,6")};
    form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, 4080, ground);  // 0 degrees
    Key(Qt::Key_F9);
    platform.inputAnswers = {QStringLiteral("10")};
    Key(Qt::Key_Return);
    form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, 6120, ground);  // 90 degrees
    Key(Qt::Key_F10);
    platform.inputAnswers = {QStringLiteral("10")};
    Key(Qt::Key_Return);
    Key(Qt::Key_F11);
    form->PaintBox2MouseMove(Qt::NoModifier, Qt::NoButton, 0, ground);  // 180 degrees
    Key(Qt::Key_Return);
    Key(Qt::Key_F12);
    form->PaintBox3MouseMove(Qt::NoModifier, Qt::NoButton, 2040, ground);  // 270 degrees
    Key(Qt::Key_Return);
    S().NodalHeight = 1.6L;
    ASSERT_TRUE(platform.errors.empty()) << platform.errors.front().toStdString();
  }

  // Aims at a pixel of P0 in point entry and stores the point with Enter.
  void StorePoint(int x, int y) {
    Key(Qt::Key_F2);
    ASSERT_EQ(S().Mode, Mode::ModePoint);
    form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, x, y);
    Key(Qt::Key_Return);
  }
};
