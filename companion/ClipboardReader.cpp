#include "companion/ClipboardReader.h"

#include <poll.h>
#include <xcb/xcb.h>

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

struct Free {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XPtr = std::unique_ptr<T, Free>;

// A property is read in pieces of this size, so that a large value is not held twice, once in
// the reply and once in the text.
constexpr std::uint32_t kPiece = 1 << 20;

// One request for the clipboard's text, on a connection and an unmapped window of its own.
// Qt's clipboard would wait as long as it likes and take whatever size the owner sends.
class Requestor {
 public:
  Requestor(std::size_t limit, std::chrono::milliseconds patience)
      : limit_(limit), patience_(patience), c_(xcb_connect(nullptr, nullptr)) {}
  ~Requestor() { xcb_disconnect(c_); }
  Requestor(const Requestor&) = delete;
  Requestor& operator=(const Requestor&) = delete;

  ClipboardText Read();

 private:
  enum class Outcome { Done, Refused, TooLarge, NoAnswer };

  Outcome Convert(xcb_atom_t target);
  Outcome ReadIncrementally();
  Outcome Take();
  XPtr<xcb_get_property_reply_t> GetProperty(bool remove, std::uint32_t offset,
                                             std::uint32_t length);
  XPtr<xcb_generic_event_t> Next(Clock::time_point deadline);
  xcb_atom_t Atom(const char* name);
  bool Fits(std::size_t more) const { return more <= limit_ - std::min(limit_, Received()); }
  std::size_t Received() const { return static_cast<std::size_t>(bytes_.size()); }

  std::size_t limit_;
  std::chrono::milliseconds patience_;
  xcb_connection_t* c_;
  xcb_window_t window_ = XCB_NONE;
  xcb_atom_t clipboard_ = XCB_NONE, property_ = XCB_NONE, incr_ = XCB_NONE;
  QByteArray bytes_;
};

xcb_atom_t Requestor::Atom(const char* name) {
  const XPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_NONE};
}

XPtr<xcb_get_property_reply_t> Requestor::GetProperty(bool remove, std::uint32_t offset,
                                                      std::uint32_t length) {
  // Offsets and lengths count 32-bit units; the server deletes only once nothing is left after
  // the piece read.
  return XPtr<xcb_get_property_reply_t>(
      xcb_get_property_reply(c_,
                             xcb_get_property(c_, remove, window_, property_,
                                              XCB_GET_PROPERTY_TYPE_ANY, offset / 4, length / 4),
                             nullptr));
}

XPtr<xcb_generic_event_t> Requestor::Next(Clock::time_point deadline) {
  for (;;) {
    if (xcb_generic_event_t* event = xcb_poll_for_event(c_))
      return XPtr<xcb_generic_event_t>(event);
    if (xcb_connection_has_error(c_)) return nullptr;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return nullptr;
    pollfd fd{xcb_get_file_descriptor(c_), POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) return nullptr;
  }
}

ClipboardText Requestor::Read() {
  if (xcb_connection_has_error(c_)) return {};
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
  window_ = xcb_generate_id(c_);
  const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
  clipboard_ = Atom("CLIPBOARD");
  property_ = Atom("LANTREX_CLIPBOARD");
  incr_ = Atom("INCR");
  const xcb_atom_t utf8 = Atom("UTF8_STRING");
  const XPtr<xcb_get_selection_owner_reply_t> owner(
      xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, clipboard_), nullptr));
  if (!owner || owner->owner == XCB_NONE) return {};

  // Owners from before UTF-8 hand out Latin-1 only.
  for (const xcb_atom_t target : {utf8, xcb_atom_t{XCB_ATOM_STRING}}) {
    switch (Convert(target)) {
      case Outcome::Done:
        return {target == utf8 ? QString::fromUtf8(bytes_) : QString::fromLatin1(bytes_),
                ClipboardTrouble::None, Received()};
      case Outcome::Refused:
        bytes_.clear();
        break;
      case Outcome::TooLarge:
        return {QString(), ClipboardTrouble::TooLarge, Received()};
      case Outcome::NoAnswer:
        return {QString(), ClipboardTrouble::NoAnswer, Received()};
    }
  }
  return {};
}

Requestor::Outcome Requestor::Convert(xcb_atom_t target) {
  xcb_convert_selection(c_, window_, clipboard_, target, property_, XCB_CURRENT_TIME);
  xcb_flush(c_);
  const Clock::time_point deadline = Clock::now() + patience_;
  xcb_atom_t property = XCB_NONE;
  for (;;) {
    const XPtr<xcb_generic_event_t> event = Next(deadline);
    if (!event) return Outcome::NoAnswer;
    if ((event->response_type & 0x7f) != XCB_SELECTION_NOTIFY) continue;
    const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event.get());
    if (notify->requestor != window_ || notify->selection != clipboard_) continue;
    property = notify->property;
    break;
  }
  if (property == XCB_NONE) return Outcome::Refused;

  const XPtr<xcb_get_property_reply_t> size = GetProperty(false, 0, 0);
  if (!size) return Outcome::Refused;
  if (size->type == incr_) return ReadIncrementally();
  if (!Fits(size->bytes_after)) return Outcome::TooLarge;
  bytes_.reserve(size->bytes_after);
  return Take();
}

// Appends the property's value and deletes it once read: in an incremental transfer that asks the
// owner for the next chunk. A chunk is refused by the piece, so at most one piece beyond the limit
// is ever held.
Requestor::Outcome Requestor::Take() {
  for (std::uint32_t offset = 0;;) {
    const XPtr<xcb_get_property_reply_t> piece = GetProperty(true, offset, kPiece);
    if (!piece) return Outcome::Refused;
    const auto length = static_cast<std::uint32_t>(xcb_get_property_value_length(piece.get()));
    // The owner may have changed the value since it was measured.
    if (!Fits(length)) return Outcome::TooLarge;
    if (static_cast<std::size_t>(bytes_.capacity()) < Received() + length) {
      bytes_.reserve(
          static_cast<qsizetype>(std::min(limit_, std::max(Received() + length, 2 * Received()))));
    }
    bytes_.append(static_cast<const char*>(xcb_get_property_value(piece.get())),
                  static_cast<qsizetype>(length));
    offset += length;
    if (piece->bytes_after == 0) return Outcome::Done;
  }
}

Requestor::Outcome Requestor::ReadIncrementally() {
  // INCR's value is the owner's lower bound on the size; deleting it starts the transfer.
  const XPtr<xcb_get_property_reply_t> start = GetProperty(true, 0, 4);
  if (!start) return Outcome::Refused;
  if (start->format == 32 && xcb_get_property_value_length(start.get()) == 4) {
    std::uint32_t bound = 0;
    std::memcpy(&bound, xcb_get_property_value(start.get()), sizeof bound);
    if (!Fits(bound)) return Outcome::TooLarge;
    bytes_.reserve(bound);
  }
  for (;;) {
    // Patience counts from the last chunk: a large clipboard may take longer than a small one.
    const Clock::time_point deadline = Clock::now() + patience_;
    for (;;) {
      const XPtr<xcb_generic_event_t> event = Next(deadline);
      if (!event) return Outcome::NoAnswer;
      if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) continue;
      const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
      if (notify->window == window_ && notify->atom == property_ &&
          notify->state == XCB_PROPERTY_NEW_VALUE) {
        break;
      }
    }
    const std::size_t before = Received();
    if (const Outcome taken = Take(); taken != Outcome::Done) return taken;
    // The empty chunk ends the transfer.
    if (Received() == before) return Outcome::Done;
  }
}

}  // namespace

ClipboardText ReadX11Clipboard(std::size_t limit, std::chrono::milliseconds patience) {
  return Requestor(limit, patience).Read();
}

ClipboardText ReadClipboard(std::size_t limit, std::chrono::milliseconds patience) {
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    return ReadX11Clipboard(limit, patience);
  }
  // Elsewhere the platform hands the text over whole; all that is left is to refuse it.
  QString text = QGuiApplication::clipboard()->text();
  const auto size = static_cast<std::size_t>(text.size());
  if (size > limit) return {QString(), ClipboardTrouble::TooLarge, 0};
  return {std::move(text), ClipboardTrouble::None, size};
}
