#pragma once

#include <QKeyEvent>

// The virtual key codes the commands are written for.
enum VirtualKey : int {
  VkNone = 0,
  VkReturn = 13,
  VkEscape = 27,
  VkLeft = 37,
  VkUp = 38,
  VkRight = 39,
  VkDown = 40,
  VkAdd = 107,       // + on the numeric keypad
  VkSubtract = 109,  // - on the numeric keypad
  VkF2 = 113,
  VkF3 = 114,
  VkF9 = 120,
  VkF10 = 121,
  VkF11 = 122,
  VkF12 = 123,
  VkOemPlus = 187,   // the key that carries + on the main keyboard
  VkOemMinus = 189,  // the key that carries - on the main keyboard
};

// The code of a key event, whatever the keyboard layout: on a US keyboard "+" is Shift and the
// "=" key, so that key counts as the plus key too, shifted or not; the minus key likewise gives
// "_" when shifted. VkNone for keys without a command.
int VirtualKeyCode(const QKeyEvent& event);
