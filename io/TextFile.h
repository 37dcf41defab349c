#pragma once

#include <QByteArray>
#include <QString>

// Whole-file reading and writing with the program's German file errors.

// The file's bytes; raises the file error of a file that cannot be opened or read (a directory,
// a FIFO or a device included), and `tooLarge` for a file of more than `limit` bytes.
QByteArray ReadWholeFile(const QString& path, qint64 limit, const char* tooLarge);

// The first line of a file (without its line end), reading no more than `limit` bytes of it.
QByteArray ReadFirstLine(const QString& path, qint64 limit);

// Replaces the file with `bytes` in one step: the new file is written beside it and renamed over
// it only once complete, so a failed write leaves the old file as it was. Raises the file error.
void WriteFileSafely(const QString& path, const QByteArray& bytes);
