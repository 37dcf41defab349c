#pragma once

// The virtual key codes the commands are written for.
enum VirtualKey : int {
  VkNone = 0,
  VkReturn = 13,
  VkEscape = 27,
  VkLeft = 37,
  VkUp = 38,
  VkRight = 39,
  VkDown = 40,
  Vk0 = 48,  // the digits of the main keyboard, 48 to 57
  Vk9 = 57,
  VkNumpad0 = 96,  // the digits of the numeric keypad, 96 to 105
  VkNumpad9 = 105,
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
