#include "io/TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <sys/stat.h>

#include <cerrno>

#include "app/Errors.h"

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

void WriteFileSafely(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  errno = 0;
  if (!file.open(QIODevice::WriteOnly)) RaiseFileError();
  errno = 0;
  if (file.write(bytes) != bytes.size() || !file.commit()) RaiseFileError();
}
