// The hand-over and the about box, without a window: what goes to the clipboard, which program
// starts where, and what the boxes say.

#include <gtest/gtest.h>

#include "commands/HandOver.h"
#include "commands/Help.h"
#include "io/AboutText.h"
#include "io/PointList.h"
#include "tests/CommandsFixture.h"

namespace {

struct HandOverCommands : Commands {
  void AddPoints(std::vector<PointRec> points) {
    window.rows.assign(points.size(), TableRow{});
    for (std::size_t i = 0; i < points.size(); ++i) {
      window.rows[i][0] = QStringLiteral(".%1").arg(i);
    }
    s.Points.Assign(std::move(points));
  }
};

TEST_F(HandOverCommands, HandsOverFromTheSelectedRowToTheEnd) {
  AddPoints({{1, 2, 3, 0, 0, 0, 0},
             {4, 5, 6, 0, 0, 0, 0},
             {123.456, -2.3, 15, 0, 0, 0, 0},
             {10, 0, 12345.678, 0, 0, 0, 0}});
  window.SelectRow(0);
  HandOver(c);
  EXPECT_EQ(platform.clipboard,
            QStringLiteral("0:1.00 2.00 3.00\r\n1:4.00 5.00 6.00\r\n"
                           "2:123.46 -2.30 15.00\r\n3:10.00 0.00 12346.00\r\n"));
  EXPECT_EQ(c.Memo1, platform.clipboard);
  ASSERT_EQ(platform.started.size(), 1u);
  EXPECT_EQ(platform.started[0].first, platform.exeDir + QStringLiteral("Lantrex.exe"));
  EXPECT_EQ(platform.started[0].second, platform.exeDir);
  EXPECT_EQ(platform.waits, 1);
  EXPECT_TRUE(window.minimised && window.maximised);

  // The empty last row: an empty list, and the companion is started all the same.
  window.SelectRow(4);
  HandOver(c);
  EXPECT_EQ(platform.clipboard, QString());
  EXPECT_EQ(platform.started.size(), 2u);

  // After a deletion the lines carry the present positions, not the labels.
  window.SelectRow(1);
  DeletePoint(c);
  window.SelectRow(1);
  HandOver(c);
  EXPECT_EQ(platform.clipboard,
            QStringLiteral("1:123.46 -2.30 15.00\r\n2:10.00 0.00 12346.00\r\n"));
  EXPECT_EQ(Cell(1, 0), QStringLiteral(".2"));
}

TEST_F(HandOverCommands, AMissingCompanionIsReportedWithItsFolder) {
  platform.programStarts = false;
  HandOver(c);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0],
            QStringLiteral("Fehler: Lantrex nicht gefunden! Pfad:") + platform.exeDir);
  EXPECT_EQ(platform.waits, 0);
  EXPECT_FALSE(window.minimised || window.maximised);
}

TEST(PointListText, TheTableShowsCommasTheListPoints) {
  PointList points;
  points.Assign({{123.456, -2.3, 15, 0, 0, 0, 0}});
  EXPECT_EQ(PointListText(points, 0, ','), QStringLiteral("0:123.46 -2.30 15.00\r\n"));
  EXPECT_EQ(PointListText(points, 1, ','), QString());
}

TEST_F(HandOverCommands, TheAboutBoxShowsTheGuideAndAnswers) {
  const QString text = AboutText(QStringLiteral("Molvan Torbel* V1.07 - /p/projekt.txt"));
  const QStringList lines = text.split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 44);
  EXPECT_FALSE(text.endsWith(QStringLiteral("\r\n")));
  EXPECT_EQ(lines[0], QStringLiteral("Molvan Torbel* V1.07 - /p/projekt.txt"));
  EXPECT_EQ(lines[1], QString());
  EXPECT_EQ(lines[4], QStringLiteral("Kurzanleitung:"));
  EXPECT_EQ(lines[5], QStringLiteral("Achtung: um alte Dateien korrekt laden zu können, muß in "
                                     "Zeile 5 die Nodalpunkthöhe"));
  EXPECT_EQ(lines[27], QStringLiteral("rechts klickt erscheint ein Kontextmeü und der Punkt kann "
                                      "gelöscht werden."));
  EXPECT_EQ(lines[30], QStringLiteral("ausgewählt und mit rechter Maustaste im Kontextmenü "
                                      "\"Punktliste ab Cursor erzeugen\""));
  EXPECT_EQ(lines[33], QStringLiteral("Hier wird dann mit klick auf \"Punkt kopieren\" Punkt für "
                                      "Punkt in die Zwischenablage"));
  EXPECT_EQ(lines[39], QStringLiteral("5. Koordinaten speichern nicht vergessen!"));
  EXPECT_EQ(lines[40], QString());
  EXPECT_FALSE(lines[41].isEmpty());
  EXPECT_EQ(lines[43], QStringLiteral("Benutzung auf eigene Gefahr und wenn was nicht geht, "
                                      "einfach bescheid sagen!"));

  // The box shows the present caption; only "&Alle" gets the other reply.
  window.caption = QStringLiteral("Molvan Torbel* V1.07 - /p/projekt.txt");
  platform.boxAnswers = {Platform::Button::Ok, Platform::Button::All, Platform::Button::Cancel};
  ShowAbout(c);
  ShowAbout(c);
  ShowAbout(c);
  EXPECT_EQ(platform.informations[0], text);
  EXPECT_EQ(platform.messages, (std::vector<QString>{QStringLiteral(" kleih mi an Mors! "),
                                                     QStringLiteral(" ja nee, is klar! "),
                                                     QStringLiteral(" kleih mi an Mors! ")}));
}

}  // namespace
