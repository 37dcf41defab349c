#include "io/TextFile.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "core/Errors.h"

namespace {

// Qt keeps the operating system's error number in errno; EIO stands in where it left none.
[[noreturn]] void RaiseFileError() {
  throw FileError(errno != 0 ? errno : EIO);
}

void OpenForReading(QFile& file) {
  // Only a regular file is opened: a FIFO would block the open, and a device like /dev/zero
  // never ends.
  struct stat st {};
  if (::stat(QFile::encodeName(file.fileName()).constData(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) throw FileError(EISDIR);
    if (!S_ISREG(st.st_mode)) throw TorbelError(kMsgNotAFile);
  }
  errno = 0;
  if (!file.open(QIODevice::ReadOnly)) RaiseFileError();
}

}  // namespace

QByteArray ReadWholeFile(const QString& path, qint64 limit, const char* tooLarge) {
  QFile file(path);
  OpenForReading(file);
  if (file.size() > limit) throw TorbelError(tooLarge);
  errno = 0;
  QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) RaiseFileError();
  return bytes;
}

QByteArray ReadFirstLine(const QString& path, qint64 limit) {
  QFile file(path);
  OpenForReading(file);
  errno = 0;
  QByteArray line = file.readLine(limit);
  if (file.error() != QFileDevice::NoError) RaiseFileError();
  while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
  return line;
}

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

// A new file beside `target`, with a name no one else uses; -1 with errno set when the folder
// takes no new file.
int CreateBeside(const std::string& target, std::string& name) {
  const std::size_t slash = target.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%d.%u.%08x", static_cast<int>(::getpid()), counter++,
                  random());
    name = folder + "." + base + suffix;
    // The mode is the umask's, as for any file the user makes.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

void SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // Some file systems cannot sync a folder; the rename has happened all the same.
  if (dir.get() >= 0 && ::fsync(dir.get()) != 0 && errno != EINVAL && errno != EROFS) Raise(errno);
}

// The new bytes go into a file of their own, which replaces the target only once all of it is
// on the disk.
bool ReplaceAtomically(const std::string& target, const struct stat* old, const QByteArray& bytes) {
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
  SyncFolderOf(target);
  return true;
}

// For a file in a folder that takes no new files: the file is rewritten where it is. Room for the
// new bytes is claimed before the first old byte is overwritten, and should a write fail all the
// same, the old bytes are put back.
void RewriteInPlace(const std::string& target, const QByteArray& bytes) {
  Descriptor file(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
  if (file.get() < 0) Raise(errno);
  QByteArray old;
  {
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) Raise(errno);
    old.resize(static_cast<qsizetype>(st.st_size));
    std::size_t got = 0;
    while (got < static_cast<std::size_t>(old.size())) {
      const ssize_t n = ::pread(file.get(), old.data() + got, old.size() - got, off_t(got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) Raise(n < 0 ? errno : EIO);
      got += static_cast<std::size_t>(n);
    }
  }
  const auto size = static_cast<std::size_t>(bytes.size());
  if (!WithinFileSizeLimit(size)) Raise(EFBIG);
  if (bytes.size() > old.size() &&
      ::fallocate(file.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) != 0 &&
      errno != EOPNOTSUPP && errno != ENOSYS) {
    Raise(errno);
  }
  if (!WriteAll(file.get(), bytes.constData(), size, 0) ||
      ::ftruncate(file.get(), static_cast<off_t>(size)) != 0 || ::fsync(file.get()) != 0) {
    const int errnum = errno;
    if (WriteAll(file.get(), old.constData(), static_cast<std::size_t>(old.size()), 0) &&
        ::ftruncate(file.get(), static_cast<off_t>(old.size())) == 0) {
      ::fsync(file.get());
    }
    Raise(errnum);
  }
  if (!file.Close()) Raise(errno);
}

}  // namespace

void WriteFileSafely(const QString& path, const QByteArray& bytes) {
  std::string target = QFile::encodeName(path).toStdString();
  if (target.empty()) Raise(ENOENT);
  struct stat st {};
  // Through a link the file it names is replaced, not the link.
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(target.c_str(), nullptr),
                                                           &std::free);
    if (real) target = real.get();
  }
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
