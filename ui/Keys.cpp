#include "ui/Keys.h"

#include <xcb/xcb.h>

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

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
      if (event.key() >= Qt::Key_0 && event.key() <= Qt::Key_9) {
        return (keypad ? VkNumpad0 : Vk0) + (event.key() - Qt::Key_0);
      }
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
