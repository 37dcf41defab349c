#pragma once

#include <QByteArray>
#include <QString>

// Whole-file reading and writing with the program's German file errors.

// The file's bytes; raises the file error of a file that cannot be opened or read (a directory,
// a FIFO or a device included), and `tooLarge` for a file of more than `limit` bytes.
QByteArray ReadWholeFile(const QString& path, qint64 limit, const char* tooLarge);

// The first line of a file (without its line end), reading no more than `limit` bytes of it.
QByteArray ReadFirstLine(const QString& path, qint64 limit);

// Replaces the file with `bytes` so that no failure loses the old one: the bytes go into a new
// file beside it, every write, the flush and the sync checked, and only a complete new file is
// renamed over the old. In a folder that takes no new files, a file the user may write is
// rewritten in place, with its room claimed first and its old bytes put back should a write fail.
// Refuses a target that is a directory or no regular file. Raises the file error of the operating
// system's error number; the old file is then as it was.
void WriteFileSafely(const QString& path, const QByteArray& bytes);
