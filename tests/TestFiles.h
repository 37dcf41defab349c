#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <string>

#include "geometry/TorbelError.h"

// The message a read raises, or "kein Fehler".
template <typename Read>
std::string ErrorOf(Read read) {
  try {
    read();
  } catch (const TorbelError& e) {
    return e.Message();
  }
  return "kein Fehler";
}

// A 24-bit Windows bitmap, bottom-up, every pixel of the given colour.
inline QByteArray Bitmap24(int width, int height, QRgb colour) {
  const int stride = (width * 3 + 3) & ~3;
  QByteArray b;
  auto put16 = [&](int v) { b.append(char(v & 0xff)).append(char((v >> 8) & 0xff)); };
  auto put32 = [&](qint64 v) {
    put16(int(v & 0xffff));
    put16(int((v >> 16) & 0xffff));
  };
  b.append("BM");
  put32(54 + stride * height);
  put32(0);
  put32(54);
  put32(40);
  put32(width);
  put32(height);
  put16(1);
  put16(24);
  for (int i = 0; i < 6; ++i) put32(0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      b.append(char(qBlue(colour))).append(char(qGreen(colour))).append(char(qRed(colour)));
    }
    b.append(QByteArray(stride - width * 3, '\0'));
  }
  return b;
}

// Writes a file of the test's own into `dir` and returns its path.
inline QString WriteTestFile(const QDir& dir, const QString& name, const QByteArray& bytes) {
  const QString path = dir.filePath(name);
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
  f.write(bytes);
  return path;
}

// A file's bytes, or a text no file of a test holds when there is none to read.
inline QByteArray ReadTestFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}
