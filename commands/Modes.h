#pragma once

#include "commands/Context.h"

// The input modes and what the keys and the wheel do in them.

// A key went down (a virtual key code, see core/KeyCodes.h); keys without a command do nothing.
// With Ctrl held, + and - and the digits are the views' zoom, not the distance.
void KeyDown(Context& c, int Key, bool ctrl = false);
// Any key went up: a held distance key starts again at its smallest step.
void KeyUp(Context& c);
// The wheel turned by `angleDelta` (120 a notch; finer wheels send parts of one).
void MouseWheel(Context& c, int angleDelta);

// Ends a mode: repaints the views and magnifiers and enables the table.
void LeaveMode(Context& c);

// The mode in a word or two, and what to do next in it.
struct ModeWords {
  QString mode, step;
};
ModeWords ModeText(const Context& c);
