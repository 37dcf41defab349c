#include <gtest/gtest.h>

#include <cerrno>

#include "core/Errors.h"

namespace {

TEST(Errors, FileErrorsFromErrno) {
  EXPECT_EQ(FileError(ENOENT).Message(), "Datei nicht gefunden");
  EXPECT_EQ(FileError(ENOTDIR).Message(), "Ungültiger Dateiname");
  EXPECT_EQ(FileError(ENAMETOOLONG).Message(), "Ungültiger Dateiname");
  EXPECT_EQ(FileError(EMFILE).Message(), "Zu viele geöffnete Dateien");
  EXPECT_EQ(FileError(EACCES).Message(), "Dateizugriff verweigert");
  EXPECT_EQ(FileError(EISDIR).Message(), "Dateizugriff verweigert");
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
