#include "io/TextFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "core/Errors.h"
#include "core/PathText.h"

namespace {

// Writes all of `data` at `offset`, going on after short writes and interrupted calls. Returns
// false with errno set when the system refuses a byte.
bool WriteAll(int fd, const char* data, std::size_t size, off_t offset) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, size, offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
    offset += n;
  }
  return true;
}

// Closes the descriptor when it goes out of scope, unless it was closed (and checked) before.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }
  bool Close() {
    const int fd = std::exchange(fd_, -1);
    return ::close(fd) == 0 || errno == EINTR;
  }

 private:
  int fd_;
};

[[noreturn]] void Raise(int errnum) {
  throw FileError(errnum != 0 ? errnum : EIO);
}

// A file larger than the process may write fails with EFBIG part-way; found out before a byte is
// written.
bool WithinFileSizeLimit(std::size_t size) {
  rlimit limit{};
  return ::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
         size <= limit.rlim_cur;
}

struct CloseFolder {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using FolderListing = std::unique_ptr<DIR, CloseFolder>;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether the process is still there; one we may not signal is.
bool ProcessAlive(long pid) {
  return pid > 0 && pid <= std::numeric_limits<pid_t>::max() &&
         (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// A lock no other open file holds: its writer, which holds one for as long as it writes, is gone.
bool Unlocked(int fd) {
  return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

// The part files beside a target are named ".<name>.<pid>.<count>.<8 hex digits>". A writer
// killed before its rename leaves one behind, up to the size of the whole file; the next save of
// the same file removes those whose writer is gone.
void RemoveStaleParts(const std::string& target) {
  const std::string folder = FolderOf(target);
  const std::string prefix = "." + NameOf(target) + ".";
  const FolderListing dir(::opendir(folder.c_str()));
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const char* at = name.c_str() + prefix.size();
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(at, &end, 10);
    if (end == at || *end != '.' || errno != 0 || !std::isdigit(static_cast<unsigned char>(*at))) {
      continue;
    }
    std::size_t count = 0;
    for (at = end + 1; std::isdigit(static_cast<unsigned char>(*at)); ++at) ++count;
    if (count == 0 || *at != '.') continue;
    count = 0;
    for (++at; std::isxdigit(static_cast<unsigned char>(*at)); ++at) ++count;
    if (count != 8 || *at != '\0' || pid == ::getpid() || ProcessAlive(pid)) continue;
    const std::string part = folder + name;
    const Descriptor fd(::open(part.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (fd.get() >= 0 && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && Unlocked(fd.get())) {
      ::unlink(part.c_str());
    }
  }
}

// A new file beside `target`, with a name no one else uses, locked for as long as it is open;
// -1 with errno set when the folder takes no new file.
int CreateBeside(const std::string& target, std::string& name) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, ".%d.%u.%08x", static_cast<int>(::getpid()), counter++,
                  random());
    name = FolderOf(target) + "." + NameOf(target) + suffix;
    // The mode is the umask's, as for any file the user makes.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) ::flock(fd, LOCK_EX);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// 0, or the error number of a folder that could not be synced. Some file systems cannot sync a
// folder at all, which is no failure.
int SyncFolder(const std::string& folder) {
  Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0 && ::fsync(dir.get()) != 0 && errno != EINVAL && errno != EROFS) return errno;
  return 0;
}

// The new file's name is on the disk only once its folder is: where that fails, the save has
// happened, but may not survive a crash of the system, and the user is told so.
void SyncFolderAfterRename(const std::string& path) {
  if (const int errnum = SyncFolder(FolderOf(path)); errnum != 0) {
    throw TorbelError(std::string(kMsgFolderNotSynced) + ": " + FileError(errnum).Message());
  }
}

// The new bytes go into a file of their own, which replaces the target only once all of it is
// on the disk.
bool ReplaceAtomically(const std::string& target, const struct stat* old, const QByteArray& bytes) {
  RemoveStaleParts(target);
  std::string partName;
  Descriptor part(CreateBeside(target, partName));
  if (part.get() < 0) return false;
  const auto fail = [&](int errnum) {
    ::unlink(partName.c_str());
    Raise(errnum);
  };
  if (old != nullptr) {
    // The replacement keeps the old file's permissions and, where we may, its owner.
    if (::fchmod(part.get(), old->st_mode & 07777) != 0) fail(errno);
    if (::fchown(part.get(), old->st_uid, old->st_gid) != 0 && errno != EPERM) fail(errno);
  }
  if (!WriteAll(part.get(), bytes.constData(), static_cast<std::size_t>(bytes.size()), 0) ||
      ::fsync(part.get()) != 0 || !part.Close()) {
    fail(errno);
  }
  if (::rename(partName.c_str(), target.c_str()) != 0) fail(errno);
  SyncFolderAfterRename(target);
  return true;
}

// The whole content of an open file; false with errno set when it cannot be read.
bool ReadAll(int fd, QByteArray& bytes) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  bytes.resize(static_cast<qsizetype>(st.st_size));
  std::size_t got = 0;
  while (got < static_cast<std::size_t>(bytes.size())) {
    const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, off_t(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    got += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes `bytes` over an open file of `oldSize` bytes and cuts it to their length, on the disk
// before it returns; false with errno set. Room for a longer text is claimed before the first old
// byte is overwritten.
bool Overwrite(int fd, const QByteArray& bytes, qsizetype oldSize) {
  const auto size = static_cast<std::size_t>(bytes.size());
  if (bytes.size() > oldSize &&
      ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) != 0 &&
      errno != EOPNOTSUPP && errno != ENOSYS) {
    return false;
  }
  return WriteAll(fd, bytes.constData(), size, 0) &&
         ::ftruncate(fd, static_cast<off_t>(size)) == 0 && ::fsync(fd) == 0;
}

// A rewrite in place is not atomic: killed part-way, it leaves the new text's start over the old
// text's rest. So the new text is first kept whole in a journal in the user's cache folder, and a
// rewrite found unfinished (its journal still there, its writer gone) is finished from it before
// the file is read or rewritten again. The journal holds a magic word, the target's path, the new
// bytes and a checksum over all of it; one that is cut short was never acted on.
constexpr char kJournalMagic[8] = {'T', 'R', 'B', 'L', 'R', 'W', 'J', '1'};

std::uint64_t Fnv1a(const char* data, std::size_t size,
                    std::uint64_t hash = 0xcbf29ce484222325ull) {
  for (std::size_t i = 0; i < size; ++i) {
    hash = (hash ^ static_cast<unsigned char>(data[i])) * 0x100000001b3ull;
  }
  return hash;
}

std::string JournalFolder() {
  // The base directory rules: $XDG_CACHE_HOME where it is absolute, else ~/.cache.
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/torbel/";
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') {
    const passwd* user = ::getpwuid(::getuid());
    home = user != nullptr ? user->pw_dir : "/tmp";
  }
  return std::string(home) + "/.cache/torbel/";
}

std::string JournalOf(const std::string& target) {
  char name[48];
  std::snprintf(name, sizeof name, "rewrite-%016llx.journal",
                static_cast<unsigned long long>(Fnv1a(target.data(), target.size())));
  return JournalFolder() + name;
}

// The folder and the ones above it that are missing, for the user alone.
void MakeFolders(const std::string& folder) {
  for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    ::mkdir(folder.substr(0, slash).c_str(), 0700);
  }
}

void AppendNumber(QByteArray& out, std::uint64_t n) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>(n >> (8 * i) & 0xff);
}

std::uint64_t NumberAt(const QByteArray& in, qsizetype at) {
  std::uint64_t n = 0;
  for (int i = 0; i < 8; ++i) n |= std::uint64_t{static_cast<unsigned char>(in[at + i])} << (8 * i);
  return n;
}

// The journal for rewriting `target` with `bytes`, on the disk and locked against recovery for as
// long as the descriptor stays open.
int WriteJournal(const std::string& journal, const std::string& target, const QByteArray& bytes) {
  const auto fail = [](int errnum) {
    throw TorbelError(std::string(kMsgNoRewriteCopy) + ": " + FileError(errnum).Message());
  };
  MakeFolders(FolderOf(journal));
  Descriptor fd(::open(journal.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (fd.get() < 0) fail(errno);
  ::flock(fd.get(), LOCK_EX);
  QByteArray head(kJournalMagic, sizeof kJournalMagic);
  AppendNumber(head, target.size());
  head += QByteArray::fromStdString(target);
  AppendNumber(head, static_cast<std::uint64_t>(bytes.size()));
  QByteArray sum;
  AppendNumber(sum, Fnv1a(bytes.constData(), static_cast<std::size_t>(bytes.size()),
                          Fnv1a(head.constData(), static_cast<std::size_t>(head.size()))));
  const auto headSize = static_cast<off_t>(head.size());
  if (!WriteAll(fd.get(), head.constData(), static_cast<std::size_t>(head.size()), 0) ||
      !WriteAll(fd.get(), bytes.constData(), static_cast<std::size_t>(bytes.size()), headSize) ||
      !WriteAll(fd.get(), sum.constData(), 8, headSize + static_cast<off_t>(bytes.size())) ||
      ::fsync(fd.get()) != 0) {
    const int errnum = errno;
    ::unlink(journal.c_str());
    fail(errnum);
  }
  if (const int errnum = SyncFolder(FolderOf(journal)); errnum != 0) {
    ::unlink(journal.c_str());
    fail(errnum);
  }
  return fd.Release();
}

// The target's path and new bytes from a whole journal; false for one cut short or damaged.
bool ParseJournal(const QByteArray& journal, std::string& target, QByteArray& bytes) {
  const qsizetype magic = sizeof kJournalMagic;
  if (journal.size() < magic + 24 || !journal.startsWith(QByteArray(kJournalMagic, magic))) {
    return false;
  }
  const std::uint64_t pathSize = NumberAt(journal, magic);
  if (pathSize > static_cast<std::uint64_t>(journal.size() - magic - 24)) return false;
  const qsizetype sizeAt = magic + 8 + static_cast<qsizetype>(pathSize);
  const std::uint64_t size = NumberAt(journal, sizeAt);
  if (size != static_cast<std::uint64_t>(journal.size() - sizeAt - 16)) return false;
  const qsizetype sumAt = journal.size() - 8;
  if (NumberAt(journal, sumAt) != Fnv1a(journal.constData(), static_cast<std::size_t>(sumAt))) {
    return false;
  }
  target.assign(journal.constData() + magic + 8, pathSize);
  bytes = journal.mid(sizeAt + 8, static_cast<qsizetype>(size));
  return true;
}

// Finishes the rewrite a journal describes, when its writer is gone. Returns 0, or the error
// number that kept it from finishing; the journal then stays for the next try.
int FinishRewrite(const std::string& journal) {
  Descriptor fd(::open(journal.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() < 0) return 0;
  struct stat held {
  }, named{};
  // Its writer still at work, or the journal already finished and replaced by a new one.
  if (!Unlocked(fd.get()) || ::fstat(fd.get(), &held) != 0 ||
      ::stat(journal.c_str(), &named) != 0 || held.st_ino != named.st_ino ||
      held.st_dev != named.st_dev) {
    return 0;
  }
  QByteArray content;
  if (!ReadAll(fd.get(), content)) return errno;
  std::string target;
  QByteArray bytes;
  if (ParseJournal(content, target, bytes)) {
    Descriptor file(::open(target.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    // A file removed since is not made anew.
    if (file.get() < 0 && errno != ENOENT) return errno;
    QByteArray now;
    if (file.get() >= 0) {
      if (!ReadAll(file.get(), now)) return errno;
      if (now != bytes && !Overwrite(file.get(), bytes, now.size())) return errno;
    }
  }
  ::unlink(journal.c_str());
  return 0;
}

// The target a path names, by its one true path where it exists (the journal is found by it):
// through a link the file it names is written, not the link.
std::string Target(const QString& path) {
  const std::string target = PathBytes(path).toStdString();
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(target.c_str(), nullptr),
                                                         &std::free);
  return real ? std::string(real.get()) : target;
}

void FinishRewriteOf(const std::string& target) {
  const std::string journal = JournalOf(target);
  if (::access(journal.c_str(), F_OK) != 0) return;
  if (const int errnum = FinishRewrite(journal); errnum != 0) {
    throw TorbelError(std::string(kMsgRewriteUnfinished) + ": " + FileError(errnum).Message());
  }
}

// For a file in a folder that takes no new files: the file is rewritten where it is, with the
// new text kept in the journal until it is whole. Should a write fail, the old bytes are put back.
void RewriteInPlace(const std::string& target, const QByteArray& bytes) {
  FinishRewriteOf(target);
  Descriptor file(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
  if (file.get() < 0) Raise(errno);
  QByteArray old;
  if (!ReadAll(file.get(), old)) Raise(errno);
  if (!WithinFileSizeLimit(static_cast<std::size_t>(bytes.size()))) Raise(EFBIG);
  const std::string journalName = JournalOf(target);
  const Descriptor journal(WriteJournal(journalName, target, bytes));
  if (!Overwrite(file.get(), bytes, old.size())) {
    const int errnum = errno;
    if (Overwrite(file.get(), old, bytes.size())) ::unlink(journalName.c_str());
    Raise(errnum);
  }
  if (!file.Close()) Raise(errno);
  ::unlink(journalName.c_str());
}

}  // namespace

namespace {

// Only a regular file is read: a FIFO would block (it opens without waiting, and is then
// refused), and a device like /dev/zero never ends.
int OpenForReading(const QString& path) {
  Descriptor fd(::open(PathBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) Raise(errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) Raise(errno);
  if (S_ISDIR(st.st_mode)) Raise(EISDIR);
  if (!S_ISREG(st.st_mode)) throw TorbelError(kMsgNotAFile);
  return fd.Release();
}

}  // namespace

QByteArray ReadWholeFile(const QString& path, qint64 limit, const char* tooLarge) {
  FinishInterruptedRewriteOf(path);
  const Descriptor fd(OpenForReading(path));
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) Raise(errno);
  if (st.st_size > limit) throw TorbelError(tooLarge);
  QByteArray bytes;
  if (!ReadAll(fd.get(), bytes)) Raise(errno);
  return bytes;
}

QByteArray ReadFirstLine(const QString& path, qint64 limit) {
  FinishInterruptedRewriteOf(path);
  const Descriptor fd(OpenForReading(path));
  QByteArray line;
  char chunk[4096];
  while (line.size() < limit && !line.contains('\n')) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Raise(errno);
    if (n == 0) break;
    line.append(chunk, n);
  }
  line.truncate(std::min(limit, line.contains('\n') ? line.indexOf('\n') : line.size()));
  while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
  return line;
}

void FinishInterruptedRewriteOf(const QString& path) {
  FinishRewriteOf(Target(path));
}

void FinishInterruptedRewrites() {
  const std::string folder = JournalFolder();
  const FolderListing dir(::opendir(folder.c_str()));
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name.rfind("rewrite-", 0) == 0) FinishRewrite(folder + name);
  }
}

void WriteFileSafely(const QString& path, const QByteArray& bytes) {
  const std::string target = Target(path);
  if (target.empty()) Raise(ENOENT);
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) Raise(errno);
  if (exists && S_ISDIR(st.st_mode)) Raise(EISDIR);
  // A FIFO or a device would be replaced by a plain file.
  if (exists && !S_ISREG(st.st_mode)) throw TorbelError(kMsgNotAFile);
  // A file the user protected stays protected, though its folder would let us replace it.
  if (exists && ::access(target.c_str(), W_OK) != 0) Raise(errno);
  // Beyond the file size limit a write fails part-way, or the signal it raises ends the program.
  if (!WithinFileSizeLimit(static_cast<std::size_t>(bytes.size()))) Raise(EFBIG);

  if (ReplaceAtomically(target, exists ? &st : nullptr, bytes)) return;
  // A write-protected folder may still hold a file the user may write.
  const int errnum = errno;
  if (!exists || (errnum != EACCES && errnum != EPERM)) Raise(errnum);
  RewriteInPlace(target, bytes);
}
