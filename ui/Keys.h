#pragma once

#include <QKeyEvent>
#include <optional>

#include "core/KeyCodes.h"

// The code of a key event. The plus and minus keys of the main keyboard are keys, not characters:
// the key that carries "+" (or "-") unshifted or shifted in the present layout, Shift or not. So
// on a German keyboard "+" and "*" step, and "=" (Shift and 0) does not; on a US keyboard "=" and
// "+" step. Where the window system cannot say which symbols a key carries, the characters
// decide. VkNone for keys without a command.
int VirtualKeyCode(const QKeyEvent& event);

// A held key repeats as pairs of release and press. Qt tells a repeat's release from a real one
// by looking for the press that follows it, and on a busy machine that press has not arrived yet:
// the release is then reported as real. The X server gives a repeat's release and its press one
// timestamp; a real release comes without a press. So a press that comes with the timestamp of
// the release before it continues the held key.
class HeldKey {
 public:
  // A release that Qt reports as real, and the repeat count the key had reached.
  void Released(const QKeyEvent& event, int repeatCount);
  // For a press: the repeat count to go on from when it continues the held key.
  std::optional<int> Continues(const QKeyEvent& event);

 private:
  struct Release {
    int key;
    quint32 scanCode;
    quint64 timestamp;
    int repeatCount;
  };
  std::optional<Release> last_;
};
