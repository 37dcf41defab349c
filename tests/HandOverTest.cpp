#include <gtest/gtest.h>

#include <QClipboard>
#include <QTest>

#include "app/QtPlatform.h"
#include "commands/HandOver.h"
#include "companion/LantrexWindow.h"
#include "io/AboutText.h"
#include "io/PointList.h"
#include "tests/WindowFixture.h"
#include "ui/PointTable.h"

namespace {

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
  SelectRow(form.Commands(), 0);

  HandOver(form.Commands());
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

}  // namespace
