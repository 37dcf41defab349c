#pragma once

#include <string>
#include <string_view>

#include "geometry/TorbelError.h"

// Every text the program shows in a message box. The arithmetic faults' texts are defined with
// the checked arithmetic (geometry/TorbelError.h), which may use nothing outside the standard
// library; they are part of this table all the same.

// Errors.
inline constexpr char kMsgFileNotFound[] = "Datei nicht gefunden";
inline constexpr char kMsgInvalidFileName[] = "Ungültiger Dateiname";
inline constexpr char kMsgTooManyOpenFiles[] = "Zu viele geöffnete Dateien";
inline constexpr char kMsgAccessDenied[] = "Dateizugriff verweigert";
inline constexpr char kMsgEndOfFile[] = "Versuch hinter dem Dateiende zu lesen";
inline constexpr char kMsgDiskFull[] = "Zu wenig Speicherplatz";
// A FIFO, a device or a socket where a file is expected.
inline constexpr char kMsgNotAFile[] = "Keine gewöhnliche Datei";
inline constexpr char kMsgInvalidBitmap[] = "Bitmap ist ungültig";
// A project of 700,000 points is some 64 MB, far beyond any survey; a larger file is not one.
inline constexpr char kMsgProjectTooLarge[] = "Die Datei ist zu groß für ein Projekt (über 64 MB)";

// Information and plain boxes.
inline constexpr char kMsgAlignFirst[] = "Bitte zuerst die Panos zueinander ausrichten (F9..F12)";
inline constexpr char kMsgNoDistance[] = "Keine eindeutige Entfernung gefunden.";
inline constexpr char kMsgCompanionMissing[] = "Fehler: Lantrex nicht gefunden! Pfad:";
inline constexpr char kMsgAboutAll[] = " ja nee, is klar! ";
inline constexpr char kMsgAboutOther[] = " kleih mi an Mors! ";

// "'text' ist kein gültiger Gleitkommawert"; a long text is cut short in the message.
TorbelError NotANumberError(std::string_view text);

// The message of a failed file operation, from the operating system's error number; numbers
// without a message of their own give "E/A-Fehler <number>".
TorbelError FileError(int errnum);

// The text of the error box: a full stop is added when the message ends in a character that
// sorts after "." (a letter or a digit, say).
std::string ErrorBoxText(const std::string& message);
