#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <functional>

#include "geometry/Mapping.h"
#include "tests/SmallDisk.h"
#include "tests/WindowFixture.h"
#include "ui/PointTable.h"

namespace {

struct Project : WindowFixture {
  QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
  }

  // A small survey entered by hand: station values and three points.
  void Survey() {
    WorkingState& s = S();
    s.NodalHeight = 1.6L;
    s.P0zu1Hor = 1.0L / 3;
    s.P0zu1Vert = -9.0902769208208L;
    s.DistP0P1 = 10;
    s.P0zu2Hor = 90;
    s.P0zu2Vert = -9.0902769208208L;
    s.DistP0P2 = 10.25L;
    s.P1zu0Hor = 180;
    s.P1zu0Vert = -9.0902769208208L;
    s.P2zu0Hor = 270;
    s.P2zu0Vert = -9.0902769208208L;
    s.PanoFile0 = dir.filePath("s0.bmp");
    s.PanoFile1 = QStringLiteral("/gone/s1.bmp");
    s.PanoFile2 = QString();
    for (int x : {4500, 5000, 5500}) {
      Key(Qt::Key_F2);
      form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, x, 2000);
      Key(Qt::Key_Plus);
      Key(Qt::Key_Return);
    }
    ASSERT_EQ(s.Points.size(), 3u);
  }

  QString Save(const QString& name) {
    const QString path = dir.filePath(name);
    platform.fileAnswers = {path};
    form->Guarded([&] { form->Speichern1Click(); });
    return path;
  }

  bool Load(const QString& path) {
    platform.fileAnswers = {path};
    return form->Guarded([&] { form->Laden1Click(); });
  }
};

TEST_F(Project, SaveAndLoadInAFreshWindowGiveTheWorkBack) {
  WriteFile("s0.bmp", Bitmap24(4, 4, qRgb(9, 8, 7)));
  Survey();
  const WorkingState saved = S();
  const QString path = Save("projekt.txt");
  EXPECT_TRUE(platform.errors.empty());
  EXPECT_EQ(form->Commands().SaveDialog1.FileName, path);
  const QByteArray bytes = Read(path);
  EXPECT_TRUE(bytes.endsWith("\r\nEOF\r\n"));
  EXPECT_TRUE(bytes.contains("P0NPH\xF6he P1v0a/e/m"));

  Open();
  ASSERT_TRUE(Load(path));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Molvan Torbel* V1.07 - ") + path);
  EXPECT_FALSE(Widget<QAction>("Laden1")->isEnabled());
  EXPECT_EQ(form->Commands().SaveDialog1.FileName, path);
  EXPECT_EQ(platform.fileDialogs.back().Title, QStringLiteral("Koordinaten &laden.."));
  EXPECT_EQ(S().PanoFile0, saved.PanoFile0);
  EXPECT_EQ(S().Pano0.size(), QSize(4, 4));
  EXPECT_EQ(S().PanoFile1, QStringLiteral("/gone/s1.bmp"));  // kept, though missing
  EXPECT_TRUE(S().PanoFile2.isEmpty());
  EXPECT_NEAR(S().P0zu1Hor, saved.P0zu1Hor, 1e-15L);
  EXPECT_EQ(S().DistP0P2, 10.25L);
  ASSERT_EQ(S().Points.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    // Fifteen significant digits.
    EXPECT_NEAR(S().Points[i].Hor0, saved.Points[i].Hor0, 1e-13);
    EXPECT_NEAR(S().Points[i].Dist0, saved.Points[i].Dist0, 1e-13);
    EXPECT_NEAR(S().Points[i].Hor2, saved.Points[i].Hor2, 1e-12);
  }
  EXPECT_EQ(Widget<QLabel>("LblP0zu1")->text(), QStringLiteral("0,33° -9,09° 10,00m"));
  EXPECT_EQ(Widget<QLabel>("LblP0zu2")->text(), QStringLiteral("90,00° -9,09° 10,25m"));
  EXPECT_EQ(Widget<QLabel>("LblP1zu0")->text(), QStringLiteral("180,00° -9,09°"));
  EXPECT_EQ(Widget<QLabel>("LblP0NP")->text(),
            QStringLiteral("LblP0NP"));  // the load does not set it
  EXPECT_EQ(Grid()->Cell(0, 0), QStringLiteral(".0"));
  EXPECT_EQ(Grid()->Cell(2, 0), QStringLiteral(".2"));
  EXPECT_EQ(Grid()->Cell(2, 3), QStringLiteral("5,03"));
  EXPECT_EQ(S().SelIndex, 3);  // nothing highlighted

  // Saved again, the file is the same byte for byte.
  EXPECT_EQ(Read(Save("again.txt")), bytes);
}

TEST_F(Project, AFailedLoadChangesNothing) {
  Survey();
  const QString good = Save("good.txt");
  QByteArray broken = Read(good);
  broken.replace("\r\nEOF\r\n", "\r\n1;2;3;4;5;6\r\nEOF\r\n");
  const QString bad = WriteFile("bad.txt", broken);

  Open();
  Key(Qt::Key_F9);
  Key(Qt::Key_Escape);
  S().P0zu1Hor = 5;
  form->PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, 4500, 2000);
  EXPECT_FALSE(Load(bad));
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], QStringLiteral("'' ist kein gültiger Gleitkommawert."));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Molvan Torbel* V1.07"));
  EXPECT_TRUE(Widget<QAction>("Laden1")->isEnabled());
  EXPECT_TRUE(form->Commands().SaveDialog1.FileName.isEmpty());
  EXPECT_EQ(S().P0zu1Hor, 5);
  EXPECT_TRUE(S().Points.empty());
  EXPECT_EQ(Grid()->PointRows(), 0);
  EXPECT_TRUE(S().PanoFile1.isEmpty());

  // Mended, it loads; a missing file says so and changes nothing either.
  EXPECT_FALSE(Load(dir.filePath("nowhere.txt")));
  EXPECT_EQ(platform.errors.back(), QStringLiteral("Datei nicht gefunden."));
  EXPECT_TRUE(Widget<QAction>("Laden1")->isEnabled());
  EXPECT_TRUE(Load(good));
  EXPECT_EQ(S().Points.size(), 3u);
}

TEST_F(Project, ALoadAddsRowsOnlyForThePointsItRead) {
  Survey();
  const QString path = Save("p.txt");
  Open();
  S() = WorkingState();
  Survey();  // three points of this session, three in the file
  ASSERT_TRUE(Load(path));
  EXPECT_EQ(S().Points.size(), 6u);
  EXPECT_EQ(Grid()->PointRows(), 6);
  EXPECT_EQ(Grid()->Cell(5, 0), QStringLiteral(".5"));
}

TEST_F(Project, ADamagedPanoramaIsReportedWhileThePointsLoad) {
  Survey();
  S().PanoFile2 = WriteFile("damaged.bmp", QByteArray("GIF89a"));
  const QString path = Save("p.txt");
  Open();
  ASSERT_TRUE(Load(path));
  EXPECT_EQ(S().Points.size(), 3u);
  EXPECT_EQ(S().PanoFile2, dir.filePath("damaged.bmp"));
  EXPECT_TRUE(S().Pano2.isNull());
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0],
            QStringLiteral("Bitmap ist ungültig: ") + dir.filePath("damaged.bmp"));
}

TEST_F(Project, AFailedSaveLeavesTheOldFileAsItWas) {
  Survey();
  const QString path = Save("p.txt");
  const QByteArray old = Read(path);
  ASSERT_FALSE(old.isEmpty());

  // A write that fails part-way: files may not grow past a few hundred bytes.
  std::vector<PointRec> many(500, S().Points[0]);
  S().Points.Assign(many);
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = static_cast<rlim_t>(old.size() + 100);
  setrlimit(RLIMIT_FSIZE, &small);
  Save("p.txt");
  setrlimit(RLIMIT_FSIZE, &before);
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], QStringLiteral("E/A-Fehler 27."));  // EFBIG
  EXPECT_EQ(Read(path), old);

  // A folder that cannot be written to.
  if (geteuid() != 0) {
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    Save("p.txt");
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(platform.errors.back(), QStringLiteral("Dateizugriff verweigert."));
    EXPECT_EQ(Read(path), old);
  }
  // A folder that is not there.
  platform.fileAnswers = {dir.filePath("gone/p.txt")};
  form->Guarded([&] { form->Speichern1Click(); });
  EXPECT_EQ(platform.errors.back(), QStringLiteral("Datei nicht gefunden."));
}

TEST_F(Project, ADecimalCommaFileLoadsUnderADecimalPoint) {
  Survey();
  const QString path = Save("komma.txt");
  ASSERT_TRUE(Read(path).contains("\r\n10,25\r\n"));
  Open('.');
  ASSERT_TRUE(Load(path));
  EXPECT_EQ(S().DistP0P2, 10.25L);
  EXPECT_EQ(Widget<QLabel>("LblP0zu2")->text(), QStringLiteral("90.00° -9.09° 10.25m"));
  // Written again, it takes this locale's separator.
  EXPECT_TRUE(Read(Save("punkt.txt")).contains("\r\n10.25\r\n"));
}

TEST_F(Project, TheSettingsFileOffersTheLastProjectAtStart) {
  Survey();
  const QString path = Save("p.txt");
  // Closing writes the remembered project path; the close-time save is cancelled.
  platform.fileAnswers = {std::nullopt};
  EXPECT_TRUE(form->close());
  const QString settings = dir.filePath("MolvanQuv.ini");
  EXPECT_EQ(Read(settings), QFile::encodeName(path) + "\r\n");

  // The next start shows the open dialog with it; cancelled, the load command stays.
  platform.fileDialogs.clear();
  platform.fileAnswers = {std::nullopt};
  Open();
  ASSERT_EQ(platform.fileDialogs.size(), 1u);
  EXPECT_EQ(platform.fileDialogs[0].FileName, path);
  EXPECT_TRUE(Widget<QAction>("Laden1")->isEnabled());
  EXPECT_TRUE(S().Points.empty());

  // Only the first line counts; confirmed, the project loads.
  WriteFile("MolvanQuv.ini", QFile::encodeName(path) + "\r\nmore\r\n");
  platform.fileAnswers = {path};
  Open();
  EXPECT_EQ(S().Points.size(), 3u);
  EXPECT_FALSE(Widget<QAction>("Laden1")->isEnabled());
}

TEST_F(Project, AVanishedProjectIsReportedAndChangesNothing) {
  const QString gone = dir.filePath("weg.txt");
  WriteFile("MolvanQuv.ini", QFile::encodeName(gone) + "\r\n");
  platform.fileAnswers = {gone};
  Open();
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], QStringLiteral("Datei nicht gefunden."));
  EXPECT_TRUE(Widget<QAction>("Laden1")->isEnabled());
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Molvan Torbel* V1.07"));
}

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
       QStringLiteral("Dateizugriff verweigert.")},
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
