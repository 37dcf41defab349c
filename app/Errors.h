#pragma once

#include <string>
#include <string_view>

#include "geometry/TorbelError.h"

// The rest of the message table; the arithmetic faults live with the checked arithmetic.
inline constexpr char kMsgFileNotFound[] = "Datei nicht gefunden";
inline constexpr char kMsgInvalidFileName[] = "Ungültiger Dateiname";
inline constexpr char kMsgTooManyOpenFiles[] = "Zu viele geöffnete Dateien";
inline constexpr char kMsgAccessDenied[] = "Dateizugriff verweigert";
inline constexpr char kMsgEndOfFile[] = "Versuch hinter dem Dateiende zu lesen";
inline constexpr char kMsgDiskFull[] = "Zu wenig Speicherplatz";
// A FIFO, a device or a socket where a file is expected.
inline constexpr char kMsgNotAFile[] = "Keine gewöhnliche Datei";

// "'text' ist kein gültiger Gleitkommawert"; a long text is cut short in the message.
TorbelError NotANumberError(std::string_view text);

// The message of a failed file operation, from the operating system's error number; numbers
// without a message of their own give "E/A-Fehler <number>".
TorbelError FileError(int errnum);

// The text of the error box: a full stop is added when the message ends in a character that
// sorts after "." (a letter or a digit, say).
std::string ErrorBoxText(const std::string& message);
