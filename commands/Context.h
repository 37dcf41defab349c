#pragma once

#include <QString>

#include "commands/Window.h"
#include "core/NumberText.h"
#include "core/Platform.h"
#include "core/WorkingState.h"

// What every command works on: the working state, the platform (everything modal or outside the
// process), the main window, the locale's decimal separator, and the remembered settings of the
// window's dialogs and buffers.
struct Context {
  Context(WorkingState& state, Platform& platform, Window& window, char decimalSeparator)
      : s(state), platform(platform), window(window), separator(decimalSeparator) {}

  WorkingState& s;
  Platform& platform;
  Window& window;
  char separator;

  FileDialog OpenDialog1, SaveDialog1, OpenDialog2;
  QString Memo1;      // the text of the last hand-over
  int wheelRest = 0;  // wheel turns short of a notch

  // The display text of a number.
  QString Fix(Real x) const { return QString::fromStdString(FixText(x, separator)); }
  // "hor° vert°", as the labels show a direction.
  QString DirectionText(Real hor, Real vert) const {
    return Fix(hor) + QStringLiteral("° ") + Fix(vert) + QStringLiteral("°");
  }
};
