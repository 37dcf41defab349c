#pragma once

#include <QByteArray>
#include <QString>

// File names are bytes to the system, and not every name is UTF-8 (an old archive's "M\xFCller.bmp"
// in Latin-1, say). A path is kept as text that gives back its bytes exactly: valid UTF-8 as its
// characters, every other byte b as the lone surrogate U+DC00 + b, which no valid text holds.

// The text of a path's bytes.
QString PathFromBytes(const QByteArray& bytes);
// The bytes of a path's text: UTF-8, with the bytes that stood for themselves put back.
QByteArray PathBytes(const QString& path);
// Whether anything is there, by the path's own bytes.
bool PathExists(const QString& path);

// A path chosen in a file dialog or read from a file, before it is used: one with a line break
// cannot stand on its line of a project or settings file; one that the dialog could only show
// with replacement characters ("M�ller.bmp") names a file that is not there. Both are refused
// with the German message, rather than kept altered.
void CheckPath(const QString& path);
