#include <gtest/gtest.h>

#include <cerrno>

#include "core/Errors.h"
#include "core/PathText.h"

namespace {

TEST(Errors, FileErrorsFromErrno) {
  EXPECT_EQ(FileError(ENOENT).Message(), "Datei nicht gefunden");
  EXPECT_EQ(FileError(ENOTDIR).Message(), "Ungültiger Dateiname");
  EXPECT_EQ(FileError(ENAMETOOLONG).Message(), "Ungültiger Dateiname");
  EXPECT_EQ(FileError(EMFILE).Message(), "Zu viele geöffnete Dateien");
  EXPECT_EQ(FileError(EACCES).Message(), "Dateizugriff verweigert");
  EXPECT_EQ(FileError(EISDIR).Message(), "Das ist ein Ordner, keine Datei");
  EXPECT_EQ(FileError(ENOSPC).Message(), "Zu wenig Speicherplatz");
  EXPECT_EQ(FileError(EIO).Message(), "E/A-Fehler 5");
}

TEST(Errors, TheBoxAddsAFullStopAfterLettersAndDigits) {
  EXPECT_EQ(ErrorBoxText("Datei nicht gefunden"), "Datei nicht gefunden.");
  EXPECT_EQ(ErrorBoxText("E/A-Fehler 5"), "E/A-Fehler 5.");
  EXPECT_EQ(ErrorBoxText("Fehler bei Bereichsprüfung"), "Fehler bei Bereichsprüfung.");
  EXPECT_EQ(ErrorBoxText("'1,2,3' ist kein gültiger Gleitkommawert"),
            "'1,2,3' ist kein gültiger Gleitkommawert.");
  EXPECT_EQ(ErrorBoxText("Schon ein Punkt."), "Schon ein Punkt.");
  EXPECT_EQ(ErrorBoxText("Fehler!"), "Fehler!");
  EXPECT_EQ(ErrorBoxText("Pfad:"), "Pfad:.");  // ':' sorts after '.'
  EXPECT_EQ(ErrorBoxText(""), "");
}

}  // namespace

namespace {

TEST(PathText, EveryNameGivesBackItsBytesAndUtf8ReadsAsUtf8) {
  const QByteArray names[] = {"/pano/s0.bmp",
                              "/pano/s\xC3\xA4.bmp",
                              "M\xFC"
                              "ller.bmp",  // UTF-8, Latin-1
                              "\x80\xBF\xFF",
                              "\xC0\xAF overlong",
                              "\xED\xA0\x80 surrogate",
                              "\xF4\x90\x80\x80",
                              "cut \xE2\x82",
                              "\xF0\x9F\x98\x80 emoji",
                              "caf\xC3\xA9",  // a letter of two bytes last
                              "\xED\xB2\x80 escape"};
  for (const QByteArray& name : names) {
    SCOPED_TRACE(name.toHex().toStdString());
    const QString text = PathFromBytes(name);
    EXPECT_EQ(PathBytes(text), name);
    if (QString::fromUtf8(name).toUtf8() == name) {
      EXPECT_EQ(text, QString::fromUtf8(name));
    }
  }
  // What a dialog hands back is ordinary text.
  EXPECT_EQ(PathBytes(QStringLiteral("Vermessung \U0001F600 ä.txt")),
            QStringLiteral("Vermessung \U0001F600 ä.txt").toUtf8());
}

}  // namespace
