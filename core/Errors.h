#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "geometry/TorbelError.h"

// Every text the program shows in a message box. The arithmetic faults' texts are defined with
// the checked arithmetic (geometry/TorbelError.h), which may use nothing outside the standard
// library; they are part of this table all the same.

// Errors.
inline constexpr char kMsgFileNotFound[] = "Datei nicht gefunden";
// A name typed into the open dialog for a file that is not there; the path follows.
inline constexpr char kMsgNoSuchFile[] = "Die Datei gibt es nicht: ";
inline constexpr char kMsgInvalidFileName[] = "Ungültiger Dateiname";
inline constexpr char kMsgTooManyOpenFiles[] = "Zu viele geöffnete Dateien";
inline constexpr char kMsgAccessDenied[] = "Dateizugriff verweigert";
inline constexpr char kMsgEndOfFile[] = "Versuch hinter dem Dateiende zu lesen";
inline constexpr char kMsgDiskFull[] = "Zu wenig Speicherplatz";
// The project and settings files hold one path a line.
inline constexpr char kMsgLineBreakInPath[] =
    "Ein Dateiname mit Zeilenumbruch kann im Projekt nicht stehen; bitte die Datei umbenennen";
// The file dialog shows bytes that are no UTF-8 as replacement characters, and its answer then
// names a file that is not there.
inline constexpr char kMsgUndecodablePath[] =
    "Der Dateiname enthält Zeichen, die sich nicht lesen lassen (kein UTF-8); bitte die Datei "
    "umbenennen";
// A FIFO, a device or a socket where a file is expected.
inline constexpr char kMsgNotAFile[] = "Keine gewöhnliche Datei";
inline constexpr char kMsgFolder[] = "Das ist ein Ordner, keine Datei";
inline constexpr char kMsgInvalidBitmap[] = "Bitmap ist ungültig";
// A panorama's kind is told by its first bytes, whatever its name says.
inline constexpr char kMsgEmptyFile[] = "Die Datei ist leer";
inline constexpr char kMsgUnknownPictureFormat[] =
    "Unbekanntes Bildformat: erwartet werden JPEG, PNG, TIFF oder Windows-Bitmap";
// Damaged or cut short: pixels that are not in the file are not guessed.
inline constexpr char kMsgInvalidJpeg[] = "JPEG-Datei ist ungültig oder unvollständig";
inline constexpr char kMsgInvalidPng[] = "PNG-Datei ist ungültig oder unvollständig";
inline constexpr char kMsgInvalidTiff[] = "TIFF-Datei ist ungültig oder unvollständig";
// Whole files of a kind the libraries do not read, with what to do about it.
inline constexpr char kMsgUnsupportedJpeg[] =
    "Diese Art JPEG (etwa 12 Bit oder verlustfrei) lässt sich nicht lesen; bitte als gewöhnliches "
    "JPEG speichern";
inline constexpr char kMsgUnsupportedTiff[] =
    "Diese Art TIFF (etwa mit Gleitkomma-Pixeln) lässt sich nicht lesen; bitte mit 8 oder 16 Bit "
    "je Farbe speichern";
// The photo-sphere tags (XMP, GPano) a camera or stitcher writes about the picture's crop.
inline constexpr char kMsgPanoramaNotFullTurn[] =
    "Das Panorama umfasst nicht die vollen 360°; nur Rundum-Panoramen lassen sich vermessen";
inline constexpr char kMsgPanoramaNotEquirectangular[] =
    "Das Panorama ist nicht equirektangular abgebildet; nur solche Panoramen lassen sich vermessen";
inline constexpr char kMsgPanoramaTagsInvalid[] =
    "Die Panorama-Angaben der Datei (XMP, GPano) sind ungültig oder passen nicht zum Bild";
// A full sphere 16384 pixels round, some 60 pixels a degree, is the largest panorama taken.
inline constexpr char kMsgPictureTooLarge[] =
    "Das Bild ist zu groß für ein Panorama (höchstens 16384 x 8192 Pixel)";
// No panorama's file comes near it: 16384 x 8192 pixels of 16-bit RGBA are 1 GB. A larger file is
// refused before it is read, so that one padded with gigabytes of nothing does not hold the window.
inline constexpr std::uint64_t kMaxPanoramaFileBytes = std::uint64_t{2} << 30;
inline constexpr char kMsgPanoramaFileTooLarge[] =
    "Die Datei ist zu groß für ein Panorama (über 2 GB)";
// A camera that breaks off writing leaves a few bytes between a JPEG's markers, never a megabyte.
inline constexpr std::uint64_t kMaxJpegJunkBytes = std::uint64_t{1} << 20;
inline constexpr char kMsgJpegJunk[] =
    "JPEG-Datei ist beschädigt: zwischen ihren Abschnitten steht über 1 MB Fremdes";
// Memory ran out: whatever the command had begun is left as it was.
inline constexpr char kMsgOutOfMemory[] = "Zu wenig Arbeitsspeicher";
// Any other fault the program did not foresee; its own text is not the user's language.
inline constexpr char kMsgUnexpected[] = "Unerwarteter Programmfehler; die Arbeit ist unverändert";
// A rewrite in a write-protected folder keeps a copy of the new text in the user's cache folder
// first; without it a crash could leave the file half old, half new.
inline constexpr char kMsgNoRewriteCopy[] =
    "Der Ordner ist schreibgeschützt, und im Cache-Ordner kann keine Sicherungskopie angelegt "
    "werden";
// A rewrite that a crash broke off, which cannot be finished now: the file is not read as if whole.
inline constexpr char kMsgRewriteUnfinished[] =
    "Das letzte Speichern dieser Datei wurde unterbrochen und kann nicht beendet werden";
// The new file is in place, but the folder's entry for it may not be on the disk yet.
inline constexpr char kMsgFolderNotSynced[] =
    "Die Datei ist gespeichert, doch ihr Ordner ließ sich nicht auf den Datenträger schreiben; "
    "nach "
    "einem Systemabsturz kann die alte Fassung zurückkehren";
// A project of 700,000 points is some 64 MB, far beyond any survey; a larger file is not one.
inline constexpr char kMsgProjectTooLarge[] = "Die Datei ist zu groß für ein Projekt (über 64 MB)";

// The panorama open dialog's filters: every kind a camera or stitcher writes, then each alone.
inline constexpr char kPanoramaFilter[] =
    "Panoramabilder (JPEG, PNG, TIFF, Windows Bitmap)|*.jpg;*.jpeg;*.png;*.tif;*.tiff;*.bmp|"
    "JPEG|*.jpg;*.jpeg|PNG|*.png|TIFF|*.tif;*.tiff|Windows Bitmap [*.bmp]|*.bmp";

// Information and plain boxes.
inline constexpr char kMsgAlignFirst[] = "Bitte zuerst die Panos zueinander ausrichten (F9..F12)";
inline constexpr char kMsgNoDistance[] = "Keine eindeutige Entfernung gefunden.";
// Why, on the line below it, with what to do next.
inline constexpr char kMsgNoDistancePicture[] =
    "Um den Zielpunkt fehlt Bild in einem der Panoramen: alle drei laden oder anderswo zielen.";
inline constexpr char kMsgNoDistancePlain[] =
    "Zu wenig Struktur um den Zielpunkt: auf eine Kante oder Ecke zielen oder die Entfernung von "
    "Hand einstellen.";
inline constexpr char kMsgNoDistanceNoMatch[] =
    "Eine Vermessungsansicht zeigt die Stelle zu flach oder zu anders: die Entfernung von Hand "
    "einstellen.";
inline constexpr char kMsgNoDistanceAmbiguous[] =
    "Mehrdeutig, eine andere Stelle entlang der Linie passt fast ebenso gut (Muster, das sich "
    "wiederholt): auf eine Kante oder Ecke zielen oder die Entfernung von Hand einstellen.";
inline constexpr char kMsgNoDistanceOneView[] =
    "Nur eine Vermessungsansicht legt die Entfernung hier fest, und sie passt nicht sicher genug: "
    "die Entfernung von Hand einstellen.";
inline constexpr char kMsgTooFewAgree[] =
    "Zu wenige Punkte stimmen zwischen den Bildern überein: Verknüpfungspunkte von Hand markieren "
    "oder die Stationen prüfen. Nichts wurde geändert.";
inline constexpr char kMsgNoDistanceFrameOff[] =
    "Die Stationen passen hier nicht zu den Bildern: Stationen aus den Bildern bestimmen oder von "
    "Hand einstellen.";
inline constexpr char kMsgNoDistanceEdge[] =
    "Die Stelle liegt an einer Kante; genau auf die Kante zielen oder die Entfernung von Hand "
    "einstellen.";
// A click in a survey view that no point on P0's sight ray is seen at; %1: the station's number.
inline constexpr char kMsgNoDistanceAtClick[] =
    "Keine Entfernung auf dem Zielstrahl von P0 trifft diese Stelle in P%1.";
inline constexpr char kMsgNoNewWindow[] = "Ein weiteres Torbel-Fenster ließ sich nicht starten";
// A project another Torbel has open (%1 the file, %2 its process, %3 its computer), said at its
// load, and asked before it is saved over.
inline constexpr char kMsgOpenElsewhere[] =
    "Das Projekt %1 ist in einem anderen Torbel geöffnet (Prozess %2 auf %3).";
inline constexpr char kMsgBothSaving[] =
    "Speichern beide, überschreibt das zuletzt gespeicherte die Änderungen des anderen.";
inline constexpr char kMsgSaveAnyway[] = "Trotzdem speichern?";
// Asked at the close when the save dialog was cancelled.
inline constexpr char kMsgDiscardChanges[] =
    "Das Projekt hat ungespeicherte Änderungen.\nOhne Speichern schließen und die Änderungen "
    "verwerfen?";
inline constexpr char kMsgDxfSightLines[] =
    "Die Sichtlinien von den drei Standpunkten zu jedem Punkt mit in die Zeichnung schreiben?";
inline constexpr char kMsgPointingRange[] =
    "Die Zielgenauigkeit muss zwischen 0,05 und 20 Pixel liegen";
// The printed plan.
inline constexpr char kMsgPlanEmpty[] =
    "Für den Grundriss gibt es noch nichts zu zeichnen: weder Standpunkte noch Punkte";
// %1: the scale's denominator, %2: the paper ("A4 hoch").
inline constexpr char kMsgPlanTooLarge[] =
    "Der Grundriss passt im Maßstab 1:%1 nicht auf %2; bitte einen kleineren Maßstab oder ein "
    "größeres Papier wählen";
inline constexpr char kMsgPlanSuffix[] =
    "Der Grundriss wird als PDF oder SVG gespeichert; bitte einen Dateinamen auf .pdf oder .svg "
    "wählen";
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
