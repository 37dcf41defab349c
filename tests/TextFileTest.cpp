// The safe writer against what real disks do: run full, refuse to grow a file, sit in a folder the
// user may not write to. Whatever fails, the old file must stay byte for byte, and the message
// must name the cause.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <optional>
#include <random>
#include <thread>

#include "geometry/TorbelError.h"
#include "io/TextFile.h"
#include "tests/OrdinaryUser.h"
#include "tests/SmallDisk.h"
#include "tests/TestFiles.h"

// Folder syncs fail on demand: no file system here fails them by itself.
namespace {
bool failFolderSyncs = false;
}

extern "C" int fsync(int fd) {
  struct stat st {};
  if (failFolderSyncs && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EIO;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace {

// Around the sizes where buffered writers hand their last block to the system unchecked.
constexpr qsizetype kSizes[] = {5, 4095, 4097, 16383, 16385, 1 << 20};
constexpr qsizetype kPage = 4096;

QByteArray Bytes(qsizetype size, char c) {
  QByteArray b(size, c);
  for (qsizetype i = 0; i < size; i += 97) b[i] = '\n';
  return b;
}

QByteArray Read(const QString& path) {
  return ReadTestFile(path);
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

// The message of the error the writer raised; nothing when it succeeded.
std::optional<std::string> Save(const QString& path, const QByteArray& bytes) {
  try {
    WriteFileSafely(path, bytes);
    return std::nullopt;
  } catch (const TorbelError& e) {
    return e.Message();
  }
}

// The user's cache folder, where rewrites in place keep their journal, for as long as it lives.
struct CacheFolder {
  QTemporaryDir dir;
  QByteArray before = qgetenv("XDG_CACHE_HOME");
  CacheFolder() {
    ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.path()));
  }
  ~CacheFolder() { qputenv("XDG_CACHE_HOME", before); }
};

TEST(SafeWriter, AFullDiskLeavesTheOldFileWholeAndSaysSo) {
  for (const qsizetype size : kSizes) {
    SCOPED_TRACE(size);
    const QByteArray old = Bytes(3896, 'o');
    SmallDisk disk(2 << 20);
    if (!disk.mounted) GTEST_SKIP() << "no small file system can be mounted here (needs root)";
    const QString path = disk.Path("projekt.txt");
    Write(path, old);
    // Room for all but the last page of the new text.
    disk.Fill((size + kPage - 1) / kPage - 1);
    EXPECT_EQ(Save(path, Bytes(size, 'n')), "Zu wenig Speicherplatz");
    EXPECT_TRUE(Read(path) == old);
    EXPECT_EQ(QDir(disk.dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
  }
}

TEST(SafeWriter, AFileSizeLimitLeavesTheOldFileWholeAndSaysSo) {
  const QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("projekt.txt"));
  const auto previous = ::signal(SIGXFSZ, SIG_IGN);
  for (const qsizetype size : kSizes) {
    SCOPED_TRACE(size);
    const QByteArray old = Bytes(size / 2 + 1, 'o');
    Write(path, old);
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = static_cast<rlim_t>(size - 1);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::optional<std::string> message = Save(path, Bytes(size, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_EQ(message, "E/A-Fehler 27");  // EFBIG
    EXPECT_TRUE(Read(path) == old);
  }
  ::signal(SIGXFSZ, previous);
}

TEST(SafeWriter, ReplacesFilesAndLinksButNothingElse) {
  const QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("p.txt"));
  Write(path, "old");
  ASSERT_TRUE(QFile::setPermissions(
      path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
  EXPECT_EQ(Save(path, "new"), std::nullopt);
  EXPECT_EQ(Read(path), "new");
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
  // Through a link the file behind it is written, and the link stays a link.
  const QString link = dir.filePath(QStringLiteral("link.txt"));
  ASSERT_TRUE(QFile::link(path, link));
  EXPECT_EQ(Save(link, "via link"), std::nullopt);
  EXPECT_EQ(Read(path), "via link");
  EXPECT_TRUE(QFileInfo(link).isSymLink());

  const QString fifo = dir.filePath(QStringLiteral("fifo"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  EXPECT_EQ(Save(fifo, "x"), "Keine gewöhnliche Datei");
  EXPECT_TRUE(QFileInfo(fifo).isFile() == false && QFileInfo::exists(fifo));
  // A device node of our own: a failing writer must not replace the system's.
  const QString device = dir.filePath(QStringLiteral("null"));
  if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    EXPECT_EQ(Save(device, "x"), "Keine gewöhnliche Datei");
    EXPECT_FALSE(QFileInfo(device).isFile());
    QFile::remove(device);
  }
  EXPECT_EQ(Save(dir.path(), "x"), "Das ist ein Ordner, keine Datei");
  EXPECT_EQ(Save(dir.filePath(QStringLiteral("gone/p.txt")), "x"), "Datei nicht gefunden");
  // Nothing is left behind by the failures.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 3);
}

TEST(SafeWriter, AWriteProtectedFolderStillTakesItsFilesNewContent) {
  const CacheFolder cache;
  SmallDisk disk(8 * kPage);
  const QTemporaryDir plain;
  const QString folder = disk.mounted ? disk.dir.path() : plain.path();
  const QString path = folder + QStringLiteral("/p.txt");
  const QByteArray old = Bytes(3000, 'o');
  Write(path, old);
  // The file belongs to the user who writes it; the folder takes no new files from them.
  ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0 || geteuid() != 0,
            true);
  ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                QFileDevice::ReadOther | QFileDevice::ExeOther));

  const bool rewritten = AsOrdinaryUser([&] {
    // In place, and whole: a shorter text leaves nothing of the longer old one.
    if (Save(path, "kurz") != std::nullopt || Read(path) != "kurz") return false;
    if (Save(path, old) != std::nullopt || Read(path) != old) return false;
    // No new file may be made there.
    if (Save(folder + QStringLiteral("/new.txt"), "x") != "Dateizugriff verweigert") return false;
    // Where the disk has no room for the longer text, the old one stays.
    return !disk.mounted ||
           (Save(path, Bytes(1 << 20, 'n')) == "Zu wenig Speicherplatz" && Read(path) == old);
  });
  QFile::setPermissions(folder,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  EXPECT_TRUE(rewritten);
  EXPECT_TRUE(Read(path) == old);
}

// The journal of a rewrite in place goes once the rewrite is whole: left behind, it would put its
// text back over whatever another program writes to the file after.
TEST(SafeWriter, ARewriteInPlaceLeavesNoJournalBehind) {
  const CacheFolder cache;
  const QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("p.txt"));
  Write(path, "alt");
  ASSERT_TRUE(::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0 || geteuid() != 0);
  ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
  EXPECT_TRUE(AsOrdinaryUser([&] { return Save(path, "neu") == std::nullopt; }));
  const QDir journals(cache.dir.filePath(QStringLiteral("torbel")));
  EXPECT_EQ(journals.entryList(QDir::Files).join(u' ').toStdString(), "");
  Write(path, "anders");
  EXPECT_EQ(ReadWholeFile(path, 100, "zu groß").toStdString(), "anders");
  ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
}

TEST(SafeWriter, AWriteProtectedFileStaysAsItIs) {
  const QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("p.txt"));
  Write(path, "old");
  ASSERT_TRUE(::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0 || geteuid() != 0);
  ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadOther));
  ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
  EXPECT_TRUE(AsOrdinaryUser([&] { return Save(path, "new") == "Dateizugriff verweigert"; }));
  EXPECT_EQ(Read(path), "old");
}

// Kills a writer that saves `a` and `b` by turns at `path`, as the ordinary user, at a random
// moment of one of its first saves.
void KillWhileSaving(const QString& path, const QByteArray& a, const QByteArray& b,
                     std::chrono::microseconds save, std::mt19937& random) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ready[0]);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(1);
    for (int i = 0;; ++i) {
      if (::write(ready[1], "s", 1) != 1) ::_exit(1);
      Save(path, i % 2 ? a : b);
    }
  }
  ::close(ready[1]);
  // Past the first saves, so that the file is in the middle of its turns.
  for (int saves = std::uniform_int_distribution<int>(1, 3)(random); saves > 0;) {
    char started;
    if (::read(ready[0], &started, 1) != 1) break;
    --saves;
  }
  std::this_thread::sleep_for(
      std::chrono::microseconds(std::uniform_int_distribution<long>(0, save.count())(random)));
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
}

std::chrono::microseconds TimeOfOneSave(const QString& path, const QByteArray& bytes) {
  const auto start = std::chrono::steady_clock::now();
  AsOrdinaryUser([&] { return Save(path, bytes) == std::nullopt; });
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               start);
}

TEST(SafeWriter, KilledWhileRewritingInPlaceTheFileReadsBackWholeOldOrNew) {
  const CacheFolder cache;
  const QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("p.txt"));
  const QByteArray a = Bytes(300000, 'a'), b = Bytes(200000, 'b');
  Write(path, a);
  ASSERT_TRUE(::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0 || geteuid() != 0);
  ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
  const auto save = TimeOfOneSave(path, b) * 2;
  std::mt19937 random(20261207);
  int mixed = 0;
  int kills = 0;
  for (; kills < 100 || (mixed == 0 && kills < 2000); ++kills) {
    SCOPED_TRACE(kills);
    KillWhileSaving(path, a, b, save, random);
    const QByteArray raw = Read(path);
    mixed += raw != a && raw != b;
    QByteArray read;
    EXPECT_TRUE(AsOrdinaryUser([&] {
      read = ReadWholeFile(path, 1 << 20, "zu groß");
      return read == a || read == b;
    }));
  }
  // Killed at random moments, some rewrites were broken off half-way.
  EXPECT_GT(mixed, 0);
  RecordProperty("kills", kills);
  RecordProperty("mixed", mixed);
  ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
}

TEST(SafeWriter, PartsThatKilledWritersLeftAreRemovedByTheNextSave) {
  const QTemporaryDir dir;
  ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
  const QString path = dir.filePath(QStringLiteral("p.txt"));
  const QByteArray a = Bytes(4 << 20, 'a'), b = Bytes(3 << 20, 'b');
  // Files of others that only look alike stay.
  const QStringList others = {QStringLiteral(".p.txt.bak"), QStringLiteral(".p.txt.1.2.zzzzzzzz"),
                              QStringLiteral(".q.txt.1.0.0000abcd")};
  for (const QString& name : others) Write(dir.filePath(name), "x");
  const auto save = TimeOfOneSave(path, a);
  std::mt19937 random(7);
  int left = 0;
  for (int kill = 0; kill < 20 || (left == 0 && kill < 200); ++kill) {
    KillWhileSaving(path, a, b, save, random);
    const QByteArray raw = Read(path);
    EXPECT_TRUE(raw == a || raw == b);
    left += QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() > 1 + others.size();
  }
  ASSERT_GT(left, 0) << "no kill came while a part was written";
  EXPECT_EQ(Save(path, "neu"), std::nullopt);
  QStringList expected = others;
  expected << QStringLiteral("p.txt");
  expected.sort();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
}

TEST(SafeWriter, AFolderThatCannotBeSyncedAfterTheRenameIsReportedAsSuchWithTheFileSaved) {
  const QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("p.txt"));
  Write(path, "alt");
  failFolderSyncs = true;
  const std::optional<std::string> message = Save(path, "neu");
  failFolderSyncs = false;
  EXPECT_EQ(message,
            "Die Datei ist gespeichert, doch ihr Ordner ließ sich nicht auf den Datenträger "
            "schreiben; nach einem Systemabsturz kann die alte Fassung zurückkehren: E/A-Fehler 5");
  EXPECT_EQ(Read(path), "neu");
}

}  // namespace
