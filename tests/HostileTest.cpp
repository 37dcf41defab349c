#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>

#include "commands/Panoramas.h"
#include "tests/CommandsFixture.h"

namespace {

// Files from elsewhere, as damaged or hostile as they come: each ends in a German message, and
// the work in the window stays as it was.
struct Hostile : Commands {
  void SetUp() override {
    s.P0zu1Hor = 12.5L;
    s.Points.Assign({{1, 2, 3, 4, 5, 6, 7}});
    window.rows = {{QStringLiteral(".0"), {}, {}, {}}};
  }

  // Loads `path` as a project and returns the message shown.
  QString LoadMessage(const QString& path) {
    platform.fileAnswers = {path};
    platform.errors.clear();
    Run([&] { LoadProject(c); });
    EXPECT_EQ(platform.errors.size(), 1u) << path.toStdString();
    return platform.errors.empty() ? QString() : platform.errors.front();
  }

  void ExpectUnchanged() {
    EXPECT_EQ(s.P0zu1Hor, 12.5L);
    EXPECT_EQ(s.Points.size(), 1u);
    EXPECT_EQ(window.PointRows(), 1);
    EXPECT_TRUE(window.loadEnabled);
    EXPECT_EQ(window.caption, QStringLiteral("Molvan Torbel* V1.07"));
  }

  QByteArray Header() {
    return QByteArray("a\r\nb\r\nc\r\nh\r\n1,6\r\n") + QByteArray("0\r\n").repeated(10) + "h\r\n";
  }
};

TEST_F(Hostile, HugeProjectFiles) {
  QFile big(dir.filePath("big.txt"));
  ASSERT_TRUE(big.open(QIODevice::WriteOnly));
  ASSERT_TRUE(big.resize(100 << 20));  // 100 MB
  big.close();
  EXPECT_EQ(LoadMessage(big.fileName()),
            QStringLiteral("Die Datei ist zu groß für ein Projekt (über 64 MB)"));
  ExpectUnchanged();

  // A 10 MB line where a number belongs: the message shows its start only.
  const QString line = WriteFile(
      "line.txt", QByteArray("a\r\nb\r\nc\r\nh\r\n") + QByteArray(10 << 20, '7') + "x\r\n");
  const QString message = LoadMessage(line);
  EXPECT_TRUE(message.startsWith(QStringLiteral("'7777777777")));
  EXPECT_TRUE(message.endsWith(QStringLiteral("…' ist kein gültiger Gleitkommawert.")));
  EXPECT_LT(message.size(), 120);
  ExpectUnchanged();

  // A point line of 10,000 fields.
  QByteArray fields = "1";
  for (int i = 1; i < 10000; ++i) fields += ";1";
  EXPECT_TRUE(LoadMessage(WriteFile("fields.txt", Header() + fields + "\r\n"))
                  .startsWith(QStringLiteral("'1;1;1;1;")));
  ExpectUnchanged();
}

TEST_F(Hostile, StrangeBytesInTheProject) {
  // A NUL in a number, and one in a path.
  EXPECT_EQ(
      LoadMessage(WriteFile("nul.txt", QByteArray("a\r\nb\r\nc\r\nh\r\n1\0,6\r\n", 19))),
      QStringLiteral("'1") + QChar(0) + QStringLiteral(",6' ist kein gültiger Gleitkommawert."));
  ExpectUnchanged();

  // A path that is no valid UTF-8 is kept as the name it decodes to, and the project loads.
  platform.errors.clear();
  platform.fileAnswers = {WriteFile("utf8.txt", QByteArray("/tmp/s\xFF\xFE.bmp\r\n"))};
  EXPECT_TRUE(Run([&] { LoadProject(c); }));
  EXPECT_TRUE(s.PanoFile0.startsWith(QStringLiteral("/tmp/s")));
  EXPECT_TRUE(s.Pano0.isNull());
}

TEST_F(Hostile, PathsThatAreNoFiles) {
  EXPECT_EQ(LoadMessage(dir.path()), QStringLiteral("Das ist ein Ordner, keine Datei."));
  ExpectUnchanged();
  const QString fifo = dir.filePath("fifo");
  ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  EXPECT_EQ(LoadMessage(fifo), QStringLiteral("Keine gewöhnliche Datei."));
  ExpectUnchanged();
  EXPECT_EQ(LoadMessage(QStringLiteral("/dev/zero")), QStringLiteral("Keine gewöhnliche Datei."));
  ExpectUnchanged();

  // Saved onto, they stay what they are.
  for (const auto& [path, message] : {std::pair{dir.path(), "Das ist ein Ordner, keine Datei."},
                                      std::pair{fifo, "Keine gewöhnliche Datei."}}) {
    platform.fileAnswers = {path};
    platform.errors.clear();
    EXPECT_FALSE(Run([&] { SaveProject(c); }));
    EXPECT_EQ(platform.errors, std::vector<QString>{QString::fromUtf8(message)});
  }
  EXPECT_TRUE(QFileInfo(dir.path()).isDir());
  EXPECT_FALSE(QFileInfo(fifo).isFile());

  // The same for a panorama: the old picture stays, and so does its path.
  s.Pano1 = QImage(2, 2, QImage::Format_RGB32);
  for (const auto& [path, message] :
       {std::pair{fifo, "Keine gewöhnliche Datei."},
        std::pair{QStringLiteral("/dev/zero"), "Keine gewöhnliche Datei."},
        std::pair{dir.path(), "Das ist ein Ordner, keine Datei."}}) {
    platform.fileAnswers = {path};
    platform.errors.clear();
    Run([&] { LoadPanorama(c, 1); });
    EXPECT_EQ(platform.errors, std::vector<QString>{QString::fromUtf8(message)});
    EXPECT_EQ(s.Pano1.Image.size(), QSize(2, 2));
    EXPECT_TRUE(s.PanoFile1.isEmpty());
  }
}

TEST_F(Hostile, ASettingsFileThatIsNoFile) {
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("MolvanQuv.ini")));
  platform.errors.clear();
  EXPECT_FALSE(Run([&] { ReadSettingsFile(c); }));
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], QStringLiteral("Das ist ein Ordner, keine Datei."));
  EXPECT_TRUE(platform.fileDialogs.empty());
  EXPECT_TRUE(window.loadEnabled);
}

}  // namespace
