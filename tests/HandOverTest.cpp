#include <gtest/gtest.h>

#include <QClipboard>
#include <QTest>

#include "app/QtPlatform.h"
#include "companion/LantrexWindow.h"
#include "io/AboutText.h"
#include "io/PointList.h"
#include "tests/WindowFixture.h"
#include "ui/PointTable.h"

namespace {

struct HandOver : WindowFixture {
  void AddPoints(std::vector<PointRec> points) {
    std::vector<PointTableModel::Row> rows(points.size());
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i][0] = QStringLiteral(".%1").arg(i);
    S().Points.Assign(std::move(points));
    Grid()->SetRows(std::move(rows));
  }
};

TEST_F(HandOver, HandsOverFromTheSelectedRowToTheEnd) {
  AddPoints({{1, 2, 3, 0, 0, 0, 0},
             {4, 5, 6, 0, 0, 0, 0},
             {123.456, -2.3, 15, 0, 0, 0, 0},
             {10, 0, 12345.678, 0, 0, 0, 0}});
  form->Commands().window.SelectRow(1);
  form->PunktlisteabCursorerzeugen1Click();
  EXPECT_EQ(platform.clipboard,
            QStringLiteral("0:1.00 2.00 3.00\r\n1:4.00 5.00 6.00\r\n"
                           "2:123.46 -2.30 15.00\r\n3:10.00 0.00 12346.00\r\n"));
  EXPECT_EQ(form->Commands().Memo1, platform.clipboard);
  ASSERT_EQ(platform.started.size(), 1u);
  EXPECT_EQ(platform.started[0].first, platform.exeDir + QStringLiteral("Lantrex.exe"));
  EXPECT_EQ(platform.started[0].second, platform.exeDir);
  EXPECT_EQ(platform.waits, 1);
  EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);

  // The empty last row: an empty list, and the companion is started all the same.
  form->Commands().window.SelectRow(5);
  form->PunktlisteabCursorerzeugen1Click();
  EXPECT_EQ(platform.clipboard, QString());
  EXPECT_EQ(platform.started.size(), 2u);

  // After a deletion the lines carry the present positions, not the labels.
  form->Commands().window.SelectRow(2);
  form->Punktlschen1Click();
  form->Commands().window.SelectRow(2);
  form->PunktlisteabCursorerzeugen1Click();
  EXPECT_EQ(platform.clipboard,
            QStringLiteral("1:123.46 -2.30 15.00\r\n2:10.00 0.00 12346.00\r\n"));
  EXPECT_EQ(Grid()->Cell(1, 0), QStringLiteral(".2"));
}

TEST_F(HandOver, AMissingCompanionIsReportedWithItsFolder) {
  platform.programStarts = false;
  form->showNormal();
  form->PunktlisteabCursorerzeugen1Click();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0],
            QStringLiteral("Fehler: Lantrex nicht gefunden! Pfad:") + platform.exeDir);
  EXPECT_EQ(platform.waits, 0);
  EXPECT_FALSE(form->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized));
}

TEST(PointListText, TheTableShowsCommasTheListPoints) {
  PointList points;
  points.Assign({{123.456, -2.3, 15, 0, 0, 0, 0}});
  EXPECT_EQ(PointListText(points, 0, ','), QStringLiteral("0:123.46 -2.30 15.00\r\n"));
  EXPECT_EQ(PointListText(points, 1, ','), QString());
}

// Two real processes and the real X clipboard: the list must arrive whole while Torbel waits.
struct RealHandOver : ::testing::Test {
  struct FolderPlatform : QtPlatform {
    QString folder;
    QString ExeDir() override { return folder; }
  };
  QTemporaryDir dir;
  FolderPlatform platform;
};

TEST_F(RealHandOver, TheCompanionReadsTheListFromTheClipboard) {
  if (QGuiApplication::platformName() != QStringLiteral("xcb")) GTEST_SKIP() << "needs X";
  platform.folder = dir.path() + QLatin1Char('/');
  ASSERT_TRUE(QFile::copy(QStringLiteral(CLIPBOARD_ECHO), dir.filePath("Lantrex.exe")));
  TForm1 form(platform, ',');
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  std::vector<PointRec> points(300, PointRec{123.456, -2.3, 15, 0, 0, 0, 0});
  form.State().Points.Assign(points);
  form.findChild<PointTableModel*>()->SetRows(std::vector<PointTableModel::Row>(300));
  SelectRow(form.Commands(), 1);

  form.PunktlisteabCursorerzeugen1Click();
  QFile got(dir.filePath("clipboard.txt"));
  ASSERT_TRUE(got.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(got.readAll());
  EXPECT_EQ(text, form.Commands().Memo1);
  EXPECT_EQ(text.count(QStringLiteral("\r\n")), 300);
  EXPECT_TRUE(text.startsWith(QStringLiteral("0:123.46 -2.30 15.00\r\n")));
  EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);

  // A program file that is not there does not start.
  QFile::remove(dir.filePath("Lantrex.exe"));
  EXPECT_FALSE(platform.StartProgram(dir.filePath("Lantrex.exe"), dir.path()));
}

TEST(Lantrex, CopiesThePointsOneByOne) {
  LantrexWindow window(QStringLiteral("3:123.46 -2.30 15.00\r\n4:1.00 0.00 12346.00\r\n"));
  ASSERT_EQ(window.List->count(), 2);
  EXPECT_EQ(window.Next->text(), QStringLiteral("Nächster Punkt: 3"));
  window.CopyNext();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("123.46\t-2.30\t15.00"));
  EXPECT_EQ(window.Next->text(), QStringLiteral("Nächster Punkt: 4"));
  QTest::mouseClick(window.Copy, Qt::LeftButton);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1.00\t0.00\t12346.00"));
  EXPECT_FALSE(window.Copy->isEnabled());

  // Whatever else the clipboard holds gets a message, not a crash.
  for (const QString& foreign : {QString(), QStringLiteral("Hallo Welt"),
                                 QStringLiteral("0:1.00 2.00\r\n"), QStringLiteral("\x01\x02")}) {
    LantrexWindow other(foreign);
    EXPECT_EQ(other.List->count(), 0);
    EXPECT_FALSE(other.Copy->isEnabled());
    EXPECT_TRUE(other.Next->text().startsWith(QStringLiteral("Die Zwischenablage enthält keine")));
  }
}

TEST_F(HandOver, TheAboutBoxShowsTheGuideAndAnswers) {
  const QString text = AboutText(QStringLiteral("Molvan Torbel* V1.07 - /p/projekt.txt"));
  const QStringList lines = text.split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 41);
  EXPECT_FALSE(text.endsWith(QStringLiteral("\r\n")));
  EXPECT_EQ(lines[0], QStringLiteral("Molvan Torbel* V1.07 - /p/projekt.txt"));
  EXPECT_EQ(lines[1], QString());
  EXPECT_EQ(lines[4], QStringLiteral("Kurzanleitung:"));
  EXPECT_EQ(lines[5], QStringLiteral("Achtung: um alte Dateien korrekt laden zu können, muß in "
                                     "Zeile 5 die Nodalpunkthöhe"));
  EXPECT_EQ(lines[24], QStringLiteral("rechts klickt erscheint ein Kontextmeü und der Punkt kann "
                                      "gelöscht werden."));
  EXPECT_EQ(lines[27], QStringLiteral("ausgewählt und mit rechter Maustaste im Kontextmenü "
                                      "\"Punktliste ab Cursor erzeugen\""));
  EXPECT_EQ(lines[30], QStringLiteral("Hier wird dann mit klick auf \"Punkt kopieren\" Punkt für "
                                      "Punkt in die Zwischenablage"));
  EXPECT_EQ(lines[36], QStringLiteral("5. Koordinaten speichern nicht vergessen!"));
  EXPECT_EQ(lines[37], QString());
  EXPECT_FALSE(lines[38].isEmpty());
  EXPECT_EQ(lines[40], QStringLiteral("Benutzung auf eigene Gefahr und wenn was nicht geht, "
                                      "einfach bescheid sagen!"));

  // The box shows the present caption; only "&Alle" gets the other reply.
  form->setWindowTitle(QStringLiteral("Molvan Torbel* V1.07 - /p/projekt.txt"));
  platform.boxAnswers = {Platform::Button::Ok, Platform::Button::All, Platform::Button::Cancel};
  form->InfoberTorbel1Click();
  form->InfoberTorbel1Click();
  form->InfoberTorbel1Click();
  EXPECT_EQ(platform.informations[0], text);
  EXPECT_EQ(platform.messages, (std::vector<QString>{QStringLiteral(" kleih mi an Mors! "),
                                                     QStringLiteral(" ja nee, is klar! "),
                                                     QStringLiteral(" kleih mi an Mors! ")}));
}

}  // namespace
