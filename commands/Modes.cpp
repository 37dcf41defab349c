#include "commands/Modes.h"

#include <algorithm>
#include <utility>

#include "commands/Points.h"
#include "commands/Search.h"
#include "commands/Views.h"
#include "core/Errors.h"
#include "core/KeyCodes.h"

namespace {

// Point entry needs the panoramas turned to each other: until F9 to F12 have been measured, the
// directions are still equal (all zero).
bool Aligned(const WorkingState& s) {
  return s.P0zu1Hor != s.P1zu0Hor && s.P0zu2Hor != s.P2zu0Hor;
}

void StartPointEntry(Context& c) {
  WorkingState& s = c.s;
  if (Aligned(s) && s.Mode == Mode::ModeIdle) {
    s.Mode = Mode::ModePoint;
    // A new point: Enter adds it, whatever an edit left behind.
    c.editing.reset();
    c.aimHeld = false;
    s.CurMark1.reset();
    s.CurMark2.reset();
    c.window.EnableTable(false);
    ShowSolvedPoint(c, false, PointLabel::Keep);
  } else {
    c.platform.InformationBox(QString::fromUtf8(kMsgAlignFirst), {Platform::Button::Ok},
                              Platform::Button::Ok, Platform::Button::Ok);
  }
}

void StartAiming(Context& c, int Key) {
  const int station = Key == VkF11 ? 1 : Key == VkF12 ? 2 : 0;
  c.s.Mode = Key == VkF9    ? Mode::ModeP0zu1
             : Key == VkF10 ? Mode::ModeP0zu2
             : Key == VkF11 ? Mode::ModeP1zu0
                            : Mode::ModeP2zu0;
  c.window.EnableTable(false);
  c.window.View(station).RepaintViewAndMagnifier();
  c.window.PaintNow();
}

// Enter in mode 3 or 4: the direction to P1 or P2 taken from the pointer in P0, its distance
// asked for. Cancelled, the box takes nothing: the direction and the taped distance stay as they
// were.
void TakeStationDirection(Context& c, bool toP1) {
  WorkingState& s = c.s;
  s.Mode = Mode::ModeIdle;
  Real& hor = toP1 ? s.P0zu1Hor : s.P0zu2Hor;
  Real& vert = toP1 ? s.P0zu1Vert : s.P0zu2Vert;
  Real& dist = toP1 ? s.DistP0P1 : s.DistP0P2;
  const Real aimedHor = s.CurHor, aimedVert = s.CurVert;  // as aimed, whatever the box lets by
  const QString station = toP1 ? QStringLiteral("P1") : QStringLiteral("P2");
  const std::optional<QString> answer = c.platform.InputBox(
      QStringLiteral("Entfernung P0 zu ") + station,
      QStringLiteral("Entfernung zu ") + station + QStringLiteral("(m):"), QStringLiteral("0"));
  if (!answer) return LeaveMode(c);
  hor = aimedHor;
  vert = aimedVert;
  dist = ParseReal(answer->toStdString());
  s.FrameCovariance = nullptr;
  c.window.SetLabel(
      toP1 ? Window::Label::P0zu1 : Window::Label::P0zu2,
      c.DirectionText(hor, vert) + QStringLiteral(" ") + c.Fix(dist) + QStringLiteral("m"));
  LeaveMode(c);
}

// Enter in mode 5 or 6: the direction back to P0, from the pointer in the survey view.
void TakeBackDirection(Context& c, bool fromP1) {
  WorkingState& s = c.s;
  s.Mode = Mode::ModeIdle;
  Real& hor = fromP1 ? s.P1zu0Hor : s.P2zu0Hor;
  Real& vert = fromP1 ? s.P1zu0Vert : s.P2zu0Vert;
  hor = fromP1 ? s.P1Hor : s.P2Hor;
  vert = fromP1 ? s.P1Vert : s.P2Vert;
  s.FrameCovariance = nullptr;
  c.window.SetLabel(fromP1 ? Window::Label::P1zu0 : Window::Label::P2zu0,
                    c.DirectionText(hor, vert));
  LeaveMode(c);
}

void ConfirmMode(Context& c) {
  switch (c.s.Mode) {
    case Mode::ModePoint: {
      c.s.Mode = Mode::ModeIdle;
      const std::optional<std::size_t> edited = std::exchange(c.editing, std::nullopt);
      if (edited) {
        ReplacePoint(c, *edited);
      } else {
        AddPoint(c);
      }
      LeaveMode(c);
      break;
    }
    case Mode::ModeP0zu1:
    case Mode::ModeP0zu2:
      TakeStationDirection(c, c.s.Mode == Mode::ModeP0zu1);
      break;
    case Mode::ModeP1zu0:
    case Mode::ModeP2zu0:
      TakeBackDirection(c, c.s.Mode == Mode::ModeP1zu0);
      break;
    case Mode::ModeIdle:
      break;
  }
}

void DistanceKey(Context& c, int sign) {
  WorkingState& s = c.s;
  ++s.RepeatCount;
  // A held key speeds up after ten steps: half a centimetre more with every repeat.
  const Real step = s.RepeatCount <= 10 ? 0.01L : s.RepeatCount / 2.0L * 0.01L;
  if (sign > 0) {
    s.CurDist += step;
    if (s.CurDist > 55000) s.CurDist = 55000;
  } else {
    s.CurDist -= step;
    if (!(s.CurDist >= 1)) s.CurDist = 1;
  }
  ShowSolvedPoint(c, false, PointLabel::Metres);
}

// A digit in point entry: the distance typed in, for points whose distance was taped. The box
// starts with the digit, so typing simply goes on.
void TypeDistance(Context& c, int digit) {
  const std::optional<QString> answer =
      c.platform.InputQuery(QStringLiteral("Entfernung eingeben"),
                            QStringLiteral("Entfernung (m):"), QString::number(digit));
  if (!answer) return;
  c.s.CurDist = std::clamp(ParseReal(answer->toStdString()), Real{1}, Real{55000});
  ShowSolvedPoint(c, false, PointLabel::Metres);
}

// Which survey views the current point is marked in by hand, for the mode's words.
QString MarkedText(const WorkingState& s) {
  if (s.CurMark1 && s.CurMark2) return QStringLiteral(", P1 und P2 markiert");
  if (s.CurMark1) return QStringLiteral(", P1 markiert");
  if (s.CurMark2) return QStringLiteral(", P2 markiert");
  return {};
}

}  // namespace

void KeyDown(Context& c, int Key, bool ctrl) {
  const bool zoomKey = Key == VkAdd || Key == VkOemPlus || Key == VkSubtract || Key == VkOemMinus ||
                       (Key >= Vk0 && Key <= Vk9) || (Key >= VkNumpad0 && Key <= VkNumpad9);
  if (ctrl && zoomKey) return;
  const bool pointEntry = c.s.Mode == Mode::ModePoint;
  switch (Key) {
    case VkReturn:
      ConfirmMode(c);
      break;
    case VkEscape:
      if (c.s.Mode != Mode::ModeIdle) {
        c.s.Mode = Mode::ModeIdle;
        LeaveMode(c);
      }
      break;
    case VkLeft:
      c.platform.MovePointer(-1, 0);
      break;
    case VkUp:
      c.platform.MovePointer(0, -1);
      break;
    case VkRight:
      c.platform.MovePointer(1, 0);
      break;
    case VkDown:
      c.platform.MovePointer(0, 1);
      break;
    case VkAdd:
    case VkOemPlus:
      if (pointEntry) DistanceKey(c, +1);
      break;
    case VkSubtract:
    case VkOemMinus:
      if (pointEntry) DistanceKey(c, -1);
      break;
    case VkF2:
      StartPointEntry(c);
      break;
    case VkF3:
      if (pointEntry) FindDistance(c);
      break;
    case VkF9:
    case VkF10:
    case VkF11:
    case VkF12:
      if (c.s.Mode == Mode::ModeIdle) StartAiming(c, Key);
      break;
    default:
      if (pointEntry && Key >= Vk0 && Key <= Vk9) TypeDistance(c, Key - Vk0);
      if (pointEntry && Key >= VkNumpad0 && Key <= VkNumpad9) TypeDistance(c, Key - VkNumpad0);
      break;
  }
}

void KeyUp(Context& c) {
  c.s.RepeatCount = 0;
}

void MouseWheel(Context& c, int angleDelta) {
  if (c.s.Mode != Mode::ModePoint) return;
  // A notch is 120; finer wheels and touchpads send parts of it, which add up to notches.
  c.wheelRest += angleDelta;
  while (c.wheelRest >= 120 || c.wheelRest <= -120) {
    const int sign = c.wheelRest > 0 ? 1 : -1;
    c.wheelRest -= sign * 120;
    c.s.CurDist += sign * 0.01L;
    ShowSolvedPoint(c, false, PointLabel::Bare);
  }
}

void LeaveMode(Context& c) {
  c.aimHeld = false;
  RepaintAll(c);
  c.window.EnableTable(true);
}

ModeWords ModeText(const Context& c) {
  const auto aimAt = [](const char* from, const char* to, const char* key, bool distance) {
    return ModeWords{QStringLiteral("%1 zu %2 (%3)")
                         .arg(QLatin1String(from), QLatin1String(to), QLatin1String(key)),
                     QStringLiteral("In %1 auf %2 zielen; Enter: Richtung übernehmen%3; "
                                    "Esc: abbrechen")
                         .arg(QLatin1String(from), QLatin1String(to),
                              distance ? QStringLiteral(" und Entfernung eingeben") : QString())};
  };
  switch (c.s.Mode) {
    case Mode::ModePoint:
      return {(c.editing && *c.editing < c.s.Points.size()
                   ? QStringLiteral("Punkt .%1 editieren").arg(c.s.Points.Label(*c.editing))
                   : QStringLiteral("Punkt messen")) +
                  (c.aimHeld ? QStringLiteral(", Ziel festgehalten (Klick in P0: neu zielen)")
                             : QStringLiteral(" (Klick in P0: Ziel festhalten)")) +
                  MarkedText(c.s),
              QStringLiteral("+ / − oder Mausrad: Entfernung; Klick in P1/P2: dort setzen; "
                             "Umschalt+Klick: markieren; F3: suchen; Enter: übernehmen")};
    case Mode::ModeP0zu1:
      return aimAt("P0", "P1", "F9", true);
    case Mode::ModeP0zu2:
      return aimAt("P0", "P2", "F10", true);
    case Mode::ModeP1zu0:
      return aimAt("P1", "P0", "F11", false);
    case Mode::ModeP2zu0:
      return aimAt("P2", "P0", "F12", false);
    case Mode::ModeIdle:
      break;
  }
  return {QStringLiteral("Bereit"),
          Aligned(c.s) ? QStringLiteral("F2: Punkt messen; Doppelklick: Ansicht zentrieren; "
                                        "Strg+Mausrad: Ansicht vergrößern")
                       : QStringLiteral("F9 bis F12: die Stationen zueinander ausrichten")};
}
