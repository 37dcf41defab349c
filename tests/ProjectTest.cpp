// Closing the window: the project's save dialog first, then the settings file, whatever fails.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <functional>

#include "tests/SmallDisk.h"
#include "tests/WindowFixture.h"

namespace {

struct Project : WindowFixture {
  QByteArray Read(const QString& path) { return ReadTestFile(path); }
};

TEST_F(Project, ClosingWithoutAProjectWritesAnEmptyLineAndAFailedSaveKeepsTheWindow) {
  platform.fileAnswers = {std::nullopt};
  EXPECT_TRUE(form->close());
  EXPECT_EQ(Read(dir.filePath("MolvanQuv.ini")), QByteArray("\r\n"));

  Open();
  platform.fileAnswers = {dir.filePath("gone/p.txt")};
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(platform.errors.back(), QStringLiteral("Datei nicht gefunden."));
}

TEST_F(Project, ClosingWithANewPointAsksBeforeItIsLost) {
  S().Mode = Mode::ModePoint;
  Key(Qt::Key_Return);
  platform.boxAnswers = {Platform::Button::No, Platform::Button::Yes};
  EXPECT_FALSE(form->close());  // no file chosen, and "Nein": the point stays
  EXPECT_EQ(Grid()->Cell(0, 0), QStringLiteral(".0"));
  EXPECT_TRUE(form->close());  // "Ja"
}

// A settings file that cannot be written is reported with its cause and left as it was, and the
// window closes all the same.
TEST_F(Project, ASettingsFileThatCannotBeWrittenAtCloseIsReportedAndKept) {
  SmallDisk disk(64 << 10);
  const QTemporaryDir exe;
  const QString folder = disk.mounted ? disk.dir.path() : exe.path();
  const QString settings = folder + QStringLiteral("/MolvanQuv.ini");
  const QByteArray old = "/alt/projekt.txt\r\n";
  const struct {
    std::function<bool()> spoil;
    QString message;
  } cases[] = {
      {[&] { return QDir(folder).mkdir(QStringLiteral("MolvanQuv.ini")); },
       QStringLiteral("Das ist ein Ordner, keine Datei.")},
      {[&] { return mkfifo(QFile::encodeName(settings).constData(), 0600) == 0; },
       QStringLiteral("Keine gewöhnliche Datei.")},
      {[&] {
         QFile file(settings);
         if (!file.open(QIODevice::WriteOnly) || file.write(old) != old.size()) return false;
         file.close();
         disk.Fill();
         return disk.mounted;
       },
       QStringLiteral("Zu wenig Speicherplatz.")},
  };
  platform.exeDir = folder + QLatin1Char('/');
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message.toStdString());
    QDir(folder).rmdir(QStringLiteral("MolvanQuv.ini"));
    QFile::remove(settings);
    if (!c.spoil()) continue;  // no small disk to fill
    Open();
    form->Commands().SaveDialog1.FileName = QStringLiteral("/neu/projekt.txt");
    platform.errors.clear();
    platform.fileAnswers = {std::nullopt};
    EXPECT_TRUE(form->close());
    EXPECT_EQ(platform.errors, std::vector<QString>{c.message});
    if (QFileInfo(settings).isFile()) {
      EXPECT_EQ(Read(settings), old);
    }
  }
}

}  // namespace
