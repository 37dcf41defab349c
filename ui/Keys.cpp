#include "ui/Keys.h"

#include <xcb/xcb.h>

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

#include "app/NumberText.h"
#include "app/QtPlatform.h"
#include "app/TForm1.h"
#include "geometry/DistanceSearch.h"
#include "io/Bitmap.h"
#include "ui/Magnifier.h"
#include "ui/PanoramaView.h"

namespace {

constexpr std::uint32_t kKeySymPlus = 0x2b, kKeySymMinus = 0x2d;

// The symbols of the key's unshifted and shifted levels in the event's keyboard group, as the X
// server maps the key now (a layout switched while the program runs counts); nothing off X11.
std::optional<std::array<std::uint32_t, 2>> KeySymbols(const QKeyEvent& event) {
  const auto* x11 =
      qGuiApp == nullptr ? nullptr : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || event.nativeScanCode() < 8 || event.nativeScanCode() > 255) return {};
  xcb_connection_t* connection = x11->connection();
  const auto code = static_cast<xcb_keycode_t>(event.nativeScanCode());
  const std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> reply(
      xcb_get_keyboard_mapping_reply(connection, xcb_get_keyboard_mapping(connection, code, 1),
                                     nullptr),
      &std::free);
  if (!reply) return {};
  // The core mapping lists two levels of the first group, two of the second, then the rest.
  const auto group = static_cast<int>(event.nativeModifiers() >> 13 & 3);
  const int first = group < 2 ? 2 * group : 0;
  if (first + 1 >= reply->keysyms_per_keycode) return {};
  const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(reply.get());
  return std::array<std::uint32_t, 2>{symbols[first], symbols[first + 1]};
}

// The main keyboard's plus or minus key, by the symbols the key carries.
int PlusMinusKey(const QKeyEvent& event) {
  if (const auto symbols = KeySymbols(event)) {
    for (const std::uint32_t symbol : *symbols) {
      if (symbol == kKeySymPlus) return VkOemPlus;
      if (symbol == kKeySymMinus) return VkOemMinus;
    }
    return VkNone;
  }
  switch (event.key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      return VkOemPlus;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
      return VkOemMinus;
    default:
      return VkNone;
  }
}

}  // namespace

int VirtualKeyCode(const QKeyEvent& event) {
  const bool keypad = event.modifiers() & Qt::KeypadModifier;
  switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return VkReturn;
    case Qt::Key_Escape:
      return VkEscape;
    case Qt::Key_Left:
      return VkLeft;
    case Qt::Key_Up:
      return VkUp;
    case Qt::Key_Right:
      return VkRight;
    case Qt::Key_Down:
      return VkDown;
    case Qt::Key_F2:
      return VkF2;
    case Qt::Key_F3:
      return VkF3;
    case Qt::Key_F9:
      return VkF9;
    case Qt::Key_F10:
      return VkF10;
    case Qt::Key_F11:
      return VkF11;
    case Qt::Key_F12:
      return VkF12;
    case Qt::Key_Plus:
      return keypad ? VkAdd : PlusMinusKey(event);
    case Qt::Key_Minus:
      return keypad ? VkSubtract : PlusMinusKey(event);
    case Qt::Key_Equal:
    case Qt::Key_Asterisk:
    case Qt::Key_Underscore:
      return keypad ? VkNone : PlusMinusKey(event);
    default:
      return VkNone;
  }
}

void HeldKey::Released(const QKeyEvent& event, int repeatCount) {
  last_ = Release{event.key(), event.nativeScanCode(), event.timestamp(), repeatCount};
}

std::optional<int> HeldKey::Continues(const QKeyEvent& event) {
  const std::optional<Release> last = std::exchange(last_, std::nullopt);
  if (last && last->key == event.key() && last->scanCode == event.nativeScanCode() &&
      last->timestamp == event.timestamp()) {
    return last->repeatCount;
  }
  return std::nullopt;
}

void TForm1::FormKeyDown(int Key, Qt::KeyboardModifiers) {
  switch (Key) {
    case VkReturn:
      ConfirmMode();
      break;
    case VkEscape:
      if (s_.Mode != ModeIdle) {
        s_.Mode = ModeIdle;
        LeaveMode();
      }
      break;
    case VkLeft:
      platform_.MovePointer(-1, 0);
      break;
    case VkUp:
      platform_.MovePointer(0, -1);
      break;
    case VkRight:
      platform_.MovePointer(1, 0);
      break;
    case VkDown:
      platform_.MovePointer(0, 1);
      break;
    case VkAdd:
    case VkOemPlus:
      if (s_.Mode == ModePoint) DistanceKey(+1);
      break;
    case VkSubtract:
    case VkOemMinus:
      if (s_.Mode == ModePoint) DistanceKey(-1);
      break;
    case VkF2:
      StartPointEntry();
      break;
    case VkF3:
      if (s_.Mode == ModePoint) FindDistance();
      break;
    case VkF9:
    case VkF10:
    case VkF11:
    case VkF12:
      if (s_.Mode == ModeIdle) StartAiming(Key);
      break;
    default:
      break;
  }
}

void TForm1::FormKeyUp(int, Qt::KeyboardModifiers) {
  s_.RepeatCount = 0;
}

void TForm1::StartPointEntry() {
  // Point entry needs the panoramas turned to each other: until F9 to F12 have been measured,
  // the directions are still equal (all zero).
  if (s_.P0zu1Hor != s_.P1zu0Hor && s_.P0zu2Hor != s_.P2zu0Hor && s_.Mode == ModeIdle) {
    s_.Mode = ModePoint;
    StringGrid1->setEnabled(false);
    SolvePoint(s_);
    CenterViews(false);
  } else {
    platform_.InformationBox(
        QStringLiteral("Bitte zuerst die Panos zueinander ausrichten (F9..F12)"),
        {Platform::Button::Ok}, Platform::Button::Ok, Platform::Button::Ok);
  }
}

void TForm1::StartAiming(int Key) {
  const int station = Key == VkF11 ? 1 : Key == VkF12 ? 2 : 0;
  s_.Mode = static_cast<std::uint8_t>(ModeP0zu1 + (Key - VkF9));
  StringGrid1->setEnabled(false);
  View(station)->RepaintViewAndMagnifier();
  PaintNow();
}

void TForm1::ConfirmMode() {
  const std::uint8_t mode = s_.Mode;
  switch (mode) {
    case ModePoint:
      s_.Mode = ModeIdle;
      AddPoint();
      LeaveMode();
      break;
    case ModeP0zu1:
    case ModeP0zu2: {
      const bool toP1 = mode == ModeP0zu1;
      s_.Mode = ModeIdle;
      (toP1 ? s_.P0zu1Hor : s_.P0zu2Hor) = s_.CurHor;
      (toP1 ? s_.P0zu1Vert : s_.P0zu2Vert) = s_.CurVert;
      const QString station = toP1 ? QStringLiteral("P1") : QStringLiteral("P2");
      const QString answer = platform_.InputBox(
          QStringLiteral("Entfernung P0 zu ") + station,
          QStringLiteral("Entfernung zu ") + station + QStringLiteral("(m):"), QStringLiteral("0"));
      Real& dist = toP1 ? s_.DistP0P1 : s_.DistP0P2;
      dist = ParseReal(answer.toStdString());
      (toP1 ? LblP0zu1 : LblP0zu2)
          ->setText(
              DirectionText(toP1 ? s_.P0zu1Hor : s_.P0zu2Hor, toP1 ? s_.P0zu1Vert : s_.P0zu2Vert) +
              QStringLiteral(" ") + Fix(dist) + QStringLiteral("m"));
      LeaveMode();
      break;
    }
    case ModeP1zu0:
    case ModeP2zu0: {
      const bool fromP1 = mode == ModeP1zu0;
      s_.Mode = ModeIdle;
      Real& hor = fromP1 ? s_.P1zu0Hor : s_.P2zu0Hor;
      Real& vert = fromP1 ? s_.P1zu0Vert : s_.P2zu0Vert;
      hor = fromP1 ? s_.P1Hor : s_.P2Hor;
      vert = fromP1 ? s_.P1Vert : s_.P2Vert;
      (fromP1 ? LblP1zu0 : LblP2zu0)->setText(DirectionText(hor, vert));
      LeaveMode();
      break;
    }
    default:
      break;
  }
}

void TForm1::LeaveMode() {
  for (int station = 0; station < 3; ++station) {
    View(station)->MarkForRepaint();
    MagnifierOf(station)->MarkForRepaint();
  }
  PaintNow();
  StringGrid1->setEnabled(true);
}

void TForm1::DistanceKey(int sign) {
  ++s_.RepeatCount;
  // A held key speeds up after ten steps: half a centimetre more with every repeat.
  const Real step = s_.RepeatCount <= 10 ? 0.01L : s_.RepeatCount / 2.0L * 0.01L;
  if (sign > 0) {
    s_.CurDist += step;
    if (s_.CurDist > 55000) s_.CurDist = 55000;
  } else {
    s_.CurDist -= step;
    if (!(s_.CurDist >= 1)) s_.CurDist = 1;
  }
  SolvePoint(s_);
  CenterViews(false);
  LblCp->setText(CurrentPointText() + QStringLiteral("m"));
}

void TForm1::FindDistance() {
  const auto refuse = [this] {
    platform_.InformationBox(QStringLiteral("Keine eindeutige Entfernung gefunden."),
                             {Platform::Button::Ok}, Platform::Button::Ok, Platform::Button::Ok);
  };
  if (s_.Pano0.isNull() || s_.Pano1.isNull() || s_.Pano2.isNull()) {
    refuse();
    return;
  }
  DistanceMatch match;
  {
    BusyCursor busy;
    // The search reads 32-bit pixels; pictures come that way from the loader.
    const auto rgb32 = [](const QImage& image) {
      return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                 ? image
                 : image.convertToFormat(QImage::Format_RGB32);
    };
    const QImage p0 = rgb32(s_.Pano0), p1 = rgb32(s_.Pano1), p2 = rgb32(s_.Pano2);
    match = SearchDistance(s_, {PixelsOf(p0), PixelsOf(p1), PixelsOf(p2)});
  }
  if (!match.found) {
    refuse();
    return;
  }
  s_.CurDist = std::clamp(match.distance, Real{1}, Real{55000});
  SolvePoint(s_);
  CenterViews(false);
  LblCp->setText(CurrentPointText() + QStringLiteral("m"));
}

void TForm1::FormMouseWheel(int angleDelta) {
  if (s_.Mode != ModePoint) return;
  // A notch is 120; finer wheels and touchpads send parts of it, which add up to notches.
  wheelRest_ += angleDelta;
  while (wheelRest_ >= 120 || wheelRest_ <= -120) {
    const int sign = wheelRest_ > 0 ? 1 : -1;
    wheelRest_ -= sign * 120;
    s_.CurDist += sign * 0.01L;
    SolvePoint(s_);
    CenterViews(false);
    LblCp->setText(CurrentPointText());
  }
}

QString TForm1::CurrentPointText() const {
  return DirectionText(s_.CurHor, s_.CurVert) + QStringLiteral(" Entf.:") + Fix(s_.CurDist);
}
