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
// renamed over the old. Part files that a killed writer left beside the same file are removed.
// In a folder that takes no new files, a file the user may write is rewritten in place: the new
// bytes are kept whole in the user's cache folder first (a rewrite that cannot keep them is
// refused), its room is claimed before the first old byte is overwritten, and its old bytes are
// put back should a write fail. Refuses a target that is a directory or no regular file. Raises
// the file error of the operating system's error number; the old file is then as it was.
void WriteFileSafely(const QString& path, const QByteArray& bytes);

// A rewrite in place that a crash broke off is finished from the copy in the cache folder: by the
// readers above before they read the file, by the next rewrite of it, and for every file at the
// program's start. One whose writer still runs is left alone. Raises when the file cannot be made
// whole now, so that a file half old, half new is never read as if it were whole.
void FinishInterruptedRewriteOf(const QString& path);
void FinishInterruptedRewrites();
