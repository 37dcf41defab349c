#include "io/TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

#include "app/Errors.h"

namespace {

// Qt keeps the operating system's error number in errno; EIO stands in where it left none.
[[noreturn]] void RaiseFileError() {
  throw FileError(errno != 0 ? errno : EIO);
}

void OpenForReading(QFile& file) {
  if (QFileInfo(file.fileName()).isDir()) throw FileError(EISDIR);
  errno = 0;
  if (!file.open(QIODevice::ReadOnly)) RaiseFileError();
}

}  // namespace

QByteArray ReadWholeFile(const QString& path) {
  QFile file(path);
  OpenForReading(file);
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
