// The project and settings commands against real files, without a window.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QSysInfo>
#include <functional>

#include "commands/Panoramas.h"
#include "core/PathText.h"
#include "io/ProjectFile.h"
#include "tests/CommandsFixture.h"
#include "tests/MemoryLimit.h"
#include "tests/OrdinaryUser.h"

namespace {

struct ProjectCommands : Commands {
  // A small survey entered by hand: station values and three points.
  void Survey() {
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
      Key(VkF2);
      MoveOver(0, x, 2000);
      Key(VkOemPlus);
      Key(VkReturn);
    }
    ASSERT_EQ(s.Points.size(), 3u);
  }

  QString Save(const QString& name) {
    const QString path = dir.filePath(name);
    platform.fileAnswers = {path};
    Run([&] { SaveProject(c); });
    return path;
  }

  bool Load(const QString& path) {
    platform.fileAnswers = {path};
    return Run([&] { LoadProject(c); });
  }

  // A new start of the program, with the settings file as it is; the user answers the open
  // dialog as queued.
  void Open(char separator = ',', const QString& project = {}) {
    s = WorkingState();
    window = FakeWindow();
    c.separator = separator;
    StartSession(c);
    Run([&] { OpenAtStart(c, project); });
  }
};

TEST_F(ProjectCommands, SaveAndLoadInAFreshWindowGiveTheWorkBack) {
  WriteFile("s0.bmp", Bitmap24(4, 4, qRgb(9, 8, 7)));
  Survey();
  const WorkingState saved = s;
  const QString path = Save("projekt.txt");
  EXPECT_TRUE(platform.errors.empty());
  EXPECT_EQ(c.SaveDialog1.FileName, path);
  const QByteArray bytes = Read(path);
  EXPECT_TRUE(bytes.endsWith("\r\nEOF\r\n"));
  EXPECT_TRUE(bytes.contains("P0NPH\xF6he P1v0a/e/m"));

  Open();
  ASSERT_TRUE(Load(path));
  EXPECT_EQ(window.caption, QStringLiteral("Molvan Torbel* V1.07 - ") + path);
  EXPECT_FALSE(window.loadEnabled);
  EXPECT_EQ(c.SaveDialog1.FileName, path);
  EXPECT_EQ(platform.fileDialogs.back().Title, QStringLiteral("Koordinaten &laden.."));
  EXPECT_EQ(s.PanoFile0, saved.PanoFile0);
  EXPECT_EQ(s.Pano0.Image.size(), QSize(4, 4));
  EXPECT_EQ(s.PanoFile1, QStringLiteral("/gone/s1.bmp"));  // kept, though missing
  EXPECT_TRUE(s.PanoFile2.isEmpty());
  EXPECT_NEAR(s.P0zu1Hor, saved.P0zu1Hor, 1e-15L);
  EXPECT_EQ(s.DistP0P2, 10.25L);
  ASSERT_EQ(s.Points.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    // Fifteen significant digits.
    EXPECT_NEAR(s.Points[i].Hor0, saved.Points[i].Hor0, 1e-13);
    EXPECT_NEAR(s.Points[i].Dist0, saved.Points[i].Dist0, 1e-13);
    EXPECT_NEAR(s.Points[i].Hor2, saved.Points[i].Hor2, 1e-12);
  }
  EXPECT_EQ(Label(Window::Label::P0zu1), QStringLiteral("0,33° -9,09° 10,00m"));
  EXPECT_EQ(Label(Window::Label::P0zu2), QStringLiteral("90,00° -9,09° 10,25m"));
  EXPECT_EQ(Label(Window::Label::P1zu0), QStringLiteral("180,00° -9,09°"));
  EXPECT_EQ(Label(Window::Label::P0NP), QStringLiteral("1,60"));  // the height in use
  EXPECT_EQ(Cell(0, 0), QStringLiteral(".0"));
  EXPECT_EQ(Cell(2, 0), QStringLiteral(".2"));
  EXPECT_EQ(Cell(2, 3), QStringLiteral("5,03"));
  EXPECT_EQ(s.SelIndex, 3);  // nothing highlighted

  // Saved again, the file is the same byte for byte.
  EXPECT_EQ(Read(Save("again.txt")), bytes);
}

// The file format holds tilts and marks (ProjectFileTest); the load carries them into the work.
TEST_F(ProjectCommands, TiltsAndMarksTravelWithTheProject) {
  Survey();
  s.PanoTilt[2] = Tilt{1.5L, -0.5L};
  PointRec tie = s.Points[1];
  tie.Mark1 = tie.Mark2 = Mark{10.5, -2};
  s.Points.Replace(1, tie);
  const QString path = Save("projekt.txt");
  Open();
  s.FrameCovariance = std::make_shared<std::array<double, 256>>();  // a frame taken over before the
                                                                    // load is not the loaded one's
  ASSERT_TRUE(Load(path));
  EXPECT_TRUE(s.PanoTilt[2] == (Tilt{1.5L, -0.5L}) && s.Points[1].Mark2 == tie.Mark2);
  EXPECT_TRUE(Cell(1, 4) == QStringLiteral("P1 P2") && s.FrameCovariance == nullptr);
}

TEST_F(ProjectCommands, AFailedLoadChangesNothing) {
  Survey();
  const QString good = Save("good.txt");
  QByteArray broken = Read(good);
  broken.replace("\r\nEOF\r\n", "\r\n1;2;3;4;5;6\r\nEOF\r\n");
  const QString bad = WriteFile("bad.txt", broken);

  Open();
  Key(VkF9);
  Key(VkEscape);
  s.P0zu1Hor = 5;
  MoveOver(0, 4500, 2000);
  EXPECT_FALSE(Load(bad));
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], QStringLiteral("'' ist kein gültiger Gleitkommawert."));
  EXPECT_EQ(window.caption, QStringLiteral("Molvan Torbel* V1.07"));
  EXPECT_TRUE(window.loadEnabled);
  EXPECT_TRUE(c.SaveDialog1.FileName.isEmpty());
  EXPECT_EQ(s.P0zu1Hor, 5);
  EXPECT_TRUE(s.Points.empty());
  EXPECT_EQ(window.PointRows(), 0);
  EXPECT_TRUE(s.PanoFile1.isEmpty());

  // Mended, it loads; a missing file says so and changes nothing either.
  EXPECT_FALSE(Load(dir.filePath("nowhere.txt")));
  EXPECT_EQ(platform.errors.back(), QStringLiteral("Datei nicht gefunden."));
  EXPECT_TRUE(window.loadEnabled);
  EXPECT_TRUE(Load(good));
  EXPECT_EQ(s.Points.size(), 3u);
}

TEST_F(ProjectCommands, ALoadAddsRowsOnlyForThePointsItRead) {
  Survey();
  const QString path = Save("p.txt");
  Open();
  s = WorkingState();
  Survey();  // three points of this session, three in the file
  ASSERT_TRUE(Load(path));
  EXPECT_EQ(s.Points.size(), 6u);
  EXPECT_EQ(window.PointRows(), 6);
  EXPECT_EQ(Cell(5, 0), QStringLiteral(".5"));
}

TEST_F(ProjectCommands, ALoadOpensTheViewsOnTheLastPointOrTheHorizonStraightAhead) {
  const QString empty = Save("empty.txt");
  Survey();
  const QString path = Save("p.txt");
  for (const QString& project : {empty, path}) {
    Open();
    ASSERT_TRUE(Load(project));
    const bool none = project == empty;
    for (int station = 0; station < 3; ++station) {
      const FakeView& view = window.views[static_cast<std::size_t>(station)];
      const Real hor = none ? 360 : s.Points[2].HorIn(station);
      const Real vert = none ? 0 : s.Points[2].VertIn(station);
      EXPECT_EQ(view.x, RoundToInt(Panorama().Column(hor) - view.width / 2.0L)) << station;
      EXPECT_EQ(view.y, RoundToInt(Panorama().Row(vert) - view.height / 2.0L)) << station;
    }
  }
}

TEST_F(ProjectCommands, ADamagedPanoramaIsReportedWhileThePointsLoad) {
  Survey();
  s.PanoFile2 = WriteFile("damaged.bmp", QByteArray("GIF89a"));
  const QString path = Save("p.txt");
  Open();
  ASSERT_TRUE(Load(path));
  EXPECT_EQ(s.Points.size(), 3u);
  EXPECT_EQ(s.PanoFile2, dir.filePath("damaged.bmp"));
  EXPECT_TRUE(s.Pano2.isNull());
  ASSERT_EQ(platform.errors.size(), 1u);
  // A GIF is no panorama kind, whatever its name says.
  EXPECT_EQ(platform.errors[0], QString::fromUtf8(kMsgUnknownPictureFormat) + QStringLiteral(": ") +
                                    dir.filePath("damaged.bmp"));
}

TEST_F(ProjectCommands, AFailedSaveLeavesTheOldFileAsItWas) {
  Survey();
  const QString path = Save("p.txt");
  const QByteArray old = Read(path);
  ASSERT_FALSE(old.isEmpty());

  // A write that fails part-way: files may not grow past a few hundred bytes.
  std::vector<PointRec> many(500, s.Points[0]);
  s.Points.Assign(many);
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
  Run([&] { SaveProject(c); });
  EXPECT_EQ(platform.errors.back(), QStringLiteral("Datei nicht gefunden."));
}

TEST_F(ProjectCommands, ADecimalCommaFileLoadsUnderADecimalPoint) {
  Survey();
  const QString path = Save("komma.txt");
  ASSERT_TRUE(Read(path).contains("\r\n10,25\r\n"));
  Open('.');
  ASSERT_TRUE(Load(path));
  EXPECT_EQ(s.DistP0P2, 10.25L);
  EXPECT_EQ(Label(Window::Label::P0zu2), QStringLiteral("90.00° -9.09° 10.25m"));
  // Written again, it takes this locale's separator.
  EXPECT_TRUE(Read(Save("punkt.txt")).contains("\r\n10.25\r\n"));
}

TEST_F(ProjectCommands, ClosingAsksBeforeChangesThatNoFileHoldsAreLost) {
  Survey();
  const QString path = Save("p.txt");
  // What is done after the survey's load, and whether closing then asks (no file chosen, "Nein").
  const std::pair<std::function<void()>, bool> cases[] = {
      {[] {}, false},
      {[&] { StorePoint(4600, 2000); }, true},
      {[&] { StorePoint(4600, 2000), Run([&] { Undo(c); }); }, false},
      {[&] { StorePoint(4600, 2000), Save("q.txt"); }, false},
      {[&] { Key(VkF11), MoveOver(1, 99, 2000), Key(VkReturn); }, true},
      {[&] { Open(), s.Points.Append({}), Load(path); }, true},  // a point no file holds
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    Open(), Load(path), cases[i].first();
    platform.boxAnswers = {Platform::Button::No};
    EXPECT_EQ(SaveAtClose(c), !cases[i].second);
  }
  EXPECT_EQ(platform.informations.back(), QString::fromUtf8(kMsgDiscardChanges));
}

TEST_F(ProjectCommands, TheSettingsFileOffersTheLastProjectAtStart) {
  Survey();
  const QString path = Save("p.txt");
  // Closing writes the remembered project path.
  EXPECT_TRUE(Run([&] { WriteSettingsFile(c); }));
  const QString settings = dir.filePath("MolvanQuv.ini");
  EXPECT_EQ(Read(settings), QFile::encodeName(path) + "\r\n");

  // The next start shows the open dialog with it; cancelled, the load command stays.
  platform.fileDialogs.clear();
  platform.fileAnswers = {std::nullopt};
  Open();
  ASSERT_EQ(platform.fileDialogs.size(), 1u);
  EXPECT_EQ(platform.fileDialogs[0].FileName, path);
  EXPECT_TRUE(window.loadEnabled);
  EXPECT_TRUE(s.Points.empty());

  // Only the first line counts; confirmed, the project loads.
  WriteFile("MolvanQuv.ini", QFile::encodeName(path) + "\r\nmore\r\n");
  platform.fileAnswers = {path};
  Open();
  EXPECT_EQ(s.Points.size(), 3u);
  EXPECT_FALSE(window.loadEnabled);
}

TEST_F(ProjectCommands, AProjectOpensInAnotherTorbelWithItsPathOnTheCommandLine) {
  platform.fileAnswers = {"/p.txt", "/p.txt"};
  EXPECT_TRUE(Run([&] { OpenInNewWindow(c); }));
  platform.programStarts = false;
  EXPECT_FALSE(Run([&] { OpenInNewWindow(c); }));
  EXPECT_EQ(platform.detached[0], std::pair(platform.ExeFile(), QStringList{"/p.txt"}));
  EXPECT_EQ(platform.errors, std::vector{QString::fromUtf8(kMsgNoNewWindow) + "."});
}

TEST_F(ProjectCommands, AProjectOpenInAnotherTorbelIsNamedBeforeItIsSavedOver) {
  Survey();
  const QString path = Save("p.txt");
  Open();  // which gives up the lock the save took
  // Another Torbel holds it: a live process, of the name its lock gives.
  QProcess other;
  other.start(QStringLiteral("sleep"), {QStringLiteral("600")});
  ASSERT_TRUE(other.waitForStarted());
  const QString host = QSysInfo::machineHostName();
  WriteFile("p.txt.lock",
            QByteArray::number(other.processId()) + "\nsleep\n" + host.toUtf8() + "\n");
  // Named on the command line, it loads without a dialog, in place of the one the settings offer.
  WriteFile("MolvanQuv.ini", "/anders.txt\r\n");
  const std::size_t dialogs = platform.fileDialogs.size();
  Open(',', path);
  EXPECT_EQ(platform.fileDialogs.size(), dialogs);
  StorePoint(4600, 2000);
  const QByteArray before = Read(path);
  platform.boxAnswers = {Platform::Button::No};
  Save("p.txt");
  EXPECT_EQ(Read(path), before);
  ASSERT_EQ(platform.informations.size(), 2u);  // at the load, and before the save
  EXPECT_TRUE(platform.informations[1].startsWith(
      QString::fromUtf8(kMsgOpenElsewhere).arg(path, QString::number(other.processId()), host)));
  // Its holder gone, as after a crash, the lock is taken over without a word.
  other.kill();
  other.waitForFinished();
  Save("p.txt");
  EXPECT_EQ(platform.informations.size(), 2u);
  EXPECT_TRUE(Read(path + ".lock").startsWith(QByteArray::number(getpid()) + "\n"));
  Save("q.txt");  // saved under another name, the project's old lock is given up
  EXPECT_FALSE(QFileInfo::exists(path + ".lock"));
}

// A lock marks a live Torbel however old it is; one whose holder is gone is no mark, also for a
// user who may not write in the project's folder and so cannot take it over.
TEST(ProjectLockTest, OnlyALiveHolderCounts) {
  QTemporaryDir dir;
  ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
  const QString project = dir.filePath(QStringLiteral("p.txt"));
  const QString host = QSysInfo::machineHostName();
  const auto holdBy = [&](qint64 pid) {
    QFile lock(project + QStringLiteral(".lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
    lock.write(QByteArray::number(pid) + "\nsleep\n" + host.toUtf8() + "\n");
    lock.flush();
    lock.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                     QFileDevice::FileModificationTime);
  };
  QProcess other;
  other.start(QStringLiteral("sleep"), {QStringLiteral("600")});
  ASSERT_TRUE(other.waitForStarted());
  const qint64 pid = other.processId();
  holdBy(pid);
  ProjectLock lock;
  const std::optional<ProjectLock::Holder> live = lock.Take(project);
  ASSERT_TRUE(live.has_value());
  EXPECT_EQ(live->pid, pid);
  EXPECT_EQ(live->host, host);

  other.kill();
  other.waitForFinished();
  holdBy(pid);
  EXPECT_TRUE(AsOrdinaryUser([&] { return !ProjectLock().Take(project).has_value(); }));
  EXPECT_FALSE(lock.Take(project).has_value());
  EXPECT_TRUE(ReadTestFile(project + ".lock").startsWith(QByteArray::number(getpid()) + "\n"));
}

TEST_F(ProjectCommands, TheSettingsLiveBesideTheProgramOrInTheUsersConfigurationFolder) {
  const QString program = dir.filePath("program") + QLatin1Char('/');
  const QString config = dir.filePath("config/home") + QLatin1Char('/');
  const QString beside = program + QStringLiteral("MolvanQuv.ini");
  const QString own = config + QStringLiteral("torbel/MolvanQuv.ini");
  struct Case {
    bool programFolderWritable;
    const char* besideNames;  // nullptr: no file
    const char* ownNames;
    const char* offered;  // the project in the open dialog at start; nullptr: none
  };
  const Case cases[] = {
      {true, "/a.txt", "/b.txt", "/a.txt"}, {true, nullptr, "/b.txt", nullptr},
      {false, "/a.txt", nullptr, "/a.txt"}, {false, "/a.txt", "/b.txt", "/b.txt"},
      {false, nullptr, nullptr, nullptr},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(testing::Message() << t.programFolderWritable << " " << (t.besideNames != nullptr)
                                    << " " << (t.ownNames != nullptr));
    QDir(program).removeRecursively();
    QDir(dir.filePath("config")).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(program));
    platform.exeDir = program;
    platform.configDir = config;
    platform.readOnlyFolders.clear();
    if (!t.programFolderWritable) platform.readOnlyFolders << program;
    if (t.besideNames) WriteFile("program/MolvanQuv.ini", QByteArray(t.besideNames) + "\r\n");
    if (t.ownNames) {
      ASSERT_TRUE(QDir().mkpath(config + QStringLiteral("torbel")));
      WriteFile("config/home/torbel/MolvanQuv.ini", QByteArray(t.ownNames) + "\r\n");
    }

    platform.fileDialogs.clear();
    platform.fileAnswers = {std::nullopt};
    Open();
    if (t.offered) {
      ASSERT_EQ(platform.fileDialogs.size(), 1u);
      EXPECT_EQ(platform.fileDialogs[0].FileName, QString::fromLatin1(t.offered));
    } else {
      EXPECT_TRUE(platform.fileDialogs.empty());
    }

    // Written where it is read, the other file left as it was.
    c.SaveDialog1.FileName = QStringLiteral("/neu.txt");
    ASSERT_TRUE(Run([&] { WriteSettingsFile(c); }));
    const bool writesOwn = !t.programFolderWritable;
    EXPECT_EQ(Read(writesOwn ? own : beside), "/neu.txt\r\n");
    const char* untouched = writesOwn ? t.besideNames : t.ownNames;
    const QString other = writesOwn ? beside : own;
    EXPECT_EQ(QFileInfo::exists(other), untouched != nullptr);
    if (untouched) {
      EXPECT_EQ(Read(other), QByteArray(untouched) + "\r\n");
    }
  }
  // Folders made for it are the user's alone.
  for (const QString& made : {dir.filePath("config/home"), dir.filePath("config/home/torbel")}) {
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(made).constData(), &st), 0) << made.toStdString();
    EXPECT_EQ(st.st_mode & 0777, 0700u) << made.toStdString();
  }
}

TEST_F(ProjectCommands, AVanishedProjectIsReportedAndChangesNothing) {
  const QString gone = dir.filePath("weg.txt");
  WriteFile("MolvanQuv.ini", QFile::encodeName(gone) + "\r\n");
  platform.fileAnswers = {gone};
  Open();
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], QStringLiteral("Datei nicht gefunden."));
  EXPECT_TRUE(window.loadEnabled);
  EXPECT_EQ(window.caption, QStringLiteral("Molvan Torbel* V1.07"));
}

// How a load ended in a process with `budget` bytes of address space beyond what it had: 'A' all
// loaded, 'N' nothing changed and the German message shown, anything else as it happened.
std::string LoadWithin(ProjectCommands& t, const QString& path, long long budget) {
  return WithinMemory(budget, [&] {
    const bool loaded = t.Load(path);
    if (loaded && t.s.Points.size() == 100000 && t.window.rows.size() == 100000 &&
        t.s.NodalHeight == 1.25L && t.window.caption.endsWith(path)) {
      return std::string("A");
    }
    if (!loaded && t.platform.errors == std::vector{QStringLiteral("Zu wenig Arbeitsspeicher.")} &&
        t.s.Points.empty() && t.window.rows.empty() && t.s.NodalHeight == 0 &&
        !t.window.caption.contains(path) && t.window.loadEnabled &&
        t.c.SaveDialog1.FileName.isEmpty()) {
      return std::string("N");
    }
    return "points " + std::to_string(t.s.Points.size()) + ", rows " +
           std::to_string(t.window.rows.size()) + ", caption " + t.window.caption.toStdString() +
           ", " + (t.platform.errors.empty() ? "" : t.platform.errors[0].toStdString());
  });
}

TEST_F(ProjectCommands, ALoadThatRunsOutOfMemoryChangesNothingAndSaysSoInGerman) {
  if (kAddressSanitizer) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
  QByteArray text = ProjectFileBytes(SolverState{.NodalHeight = 1.25L}, {}, {}, ',');
  text.chop(5);  // "EOF"
  for (int i = 0; i < 100000; ++i) text += "1;2;3;4;5;6;7\r\n";
  const QString path = WriteFile("gross.txt", text + "EOF\r\n");
  int loaded = 0, refused = 0;
  for (long long budget = 0; budget <= (100ll << 20); budget += 4ll << 20) {
    SCOPED_TRACE(budget);
    const std::string outcome = LoadWithin(*this, path, budget);
    EXPECT_TRUE(outcome == "A" || outcome == "N") << outcome;
    loaded += outcome == "A";
    refused += outcome == "N";
  }
  // Both ends were reached: too little for the project, and enough.
  EXPECT_GT(refused, 0);
  EXPECT_GT(loaded, 0);
  RecordProperty("refused", refused);
  RecordProperty("loaded", loaded);
}

TEST_F(ProjectCommands, APictureNamedTwiceIsReadAndHeldOnce) {
  const QString pano = WriteFile("s.bmp", Bitmap24(16, 6, qRgb(1, 2, 3)));
  s.PanoFile0 = s.PanoFile2 = pano;
  const QString path = Save("p.txt");
  Open();
  ASSERT_TRUE(Load(path));
  EXPECT_EQ(s.Pano0.Image.size(), QSize(16, 6));
  EXPECT_EQ(s.Pano0.Image.constBits(), s.Pano2.Image.constBits());
}

TEST_F(ProjectCommands, NamesThatAreNoUtf8ReachTheDiskAndTheFilesUnchanged) {
  // Latin-1 names from an old archive: the folder holds the bytes "M\xFCller".
  const QByteArray folder = QFile::encodeName(dir.path()) + '/';
  const QString pano = PathFromBytes(folder + "M\xFCller.bmp");
  const QString project = PathFromBytes(folder + "Vermessung \xE4lt.txt");
  WriteTestFile(QDir(dir.path()), "y.bmp", Bitmap24(8, 4, qRgb(1, 2, 3)));
  ASSERT_EQ(::rename(folder + "y.bmp", folder + "M\xFCller.bmp"), 0);
  s.PanoFile1 = pano;
  platform.fileAnswers = {project};
  Run([&] { SaveProject(c); });
  ASSERT_TRUE(platform.errors.empty()) << platform.errors.front().toStdString();
  // The project's own name and the panorama's line are the bytes on the disk.
  QByteArray bytes;
  {
    const int fd = ::open(folder + "Vermessung \xE4lt.txt", O_RDONLY);
    ASSERT_GE(fd, 0);
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
    ::close(fd);
  }
  EXPECT_TRUE(bytes.startsWith("\r\n" + folder + "M\xFCller.bmp\r\n"))
      << bytes.left(200).toStdString();
  Run([&] { WriteSettingsFile(c); });

  // The next start offers that project, and it loads with its panorama.
  platform.fileAnswers = {std::nullopt};
  Open();
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front().toStdString();
  EXPECT_EQ(PathBytes(platform.fileDialogs.back().FileName), folder + "Vermessung \xE4lt.txt");
  ASSERT_TRUE(Load(project));
  EXPECT_EQ(s.PanoFile1, pano);
  EXPECT_EQ(s.Pano1.Image.size(), QSize(8, 4));
  // Qt's own file functions cannot name them.
  ::unlink(folder + "M\xFCller.bmp");
  ::unlink(folder + "Vermessung \xE4lt.txt");
}

TEST_F(ProjectCommands, NamesAFileCannotHoldAreRefusedWhenChosen) {
  const QString lineBreak = WriteFile("zwei\nZeilen.bmp", Bitmap24(8, 4, qRgb(1, 2, 3)));
  const QString shown = dir.filePath(QStringLiteral("M\uFFFDller.bmp"));  // the dialog's Latin-1
  for (const QString& chosen : {lineBreak, shown}) {
    SCOPED_TRACE(chosen.toStdString());
    platform.errors.clear();
    platform.fileAnswers = {chosen};
    Run([&] { LoadPanorama(c, 1); });
    EXPECT_TRUE(s.PanoFile1.isEmpty());
    EXPECT_TRUE(s.Pano1.isNull());
    platform.fileAnswers = {chosen};
    Run([&] { SaveProject(c); });
    EXPECT_TRUE(c.SaveDialog1.FileName.isEmpty());
    ASSERT_EQ(platform.errors.size(), 2u);
    EXPECT_TRUE(platform.errors[0].startsWith(chosen == shown ? "Der Dateiname enthält Zeichen"
                                                              : "Ein Dateiname mit Zeilenumbruch"));
  }
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

}  // namespace
