#pragma once

#include <QString>
#include <chrono>
#include <cstddef>

// Why the clipboard gave no text.
enum class ClipboardTrouble { None, TooLarge, NoAnswer };

// The clipboard's text, or why there is none. Without an owner the text is just empty.
struct ClipboardText {
  QString text;
  ClipboardTrouble trouble = ClipboardTrouble::None;
  // Bytes taken from the owner: never more than the limit, however much the owner offers.
  std::size_t received = 0;
};

// Torbel's longest lists are a few megabytes; a clipboard beyond this is someone else's, and
// reading it would only cost the memory and time the user waits for.
inline constexpr std::size_t kClipboardLimit = std::size_t{64} << 20;
// How long the owner may keep us waiting without handing anything out.
inline constexpr std::chrono::milliseconds kClipboardPatience{3000};

// Reads the CLIPBOARD selection over a connection of its own to the X server of $DISPLAY, as
// UTF8_STRING or else STRING. Uses no Qt object, so any thread may call it.
ClipboardText ReadX11Clipboard(std::size_t limit = kClipboardLimit,
                               std::chrono::milliseconds patience = kClipboardPatience);

// The clipboard as the companion starts with it: read directly on X11, through Qt elsewhere.
ClipboardText ReadClipboard(std::size_t limit = kClipboardLimit,
                            std::chrono::milliseconds patience = kClipboardPatience);
