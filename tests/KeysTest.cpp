#include <gtest/gtest.h>

#include <QKeyEvent>

#include "ui/Keys.h"

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

}  // namespace
