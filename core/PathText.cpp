#include "core/PathText.h"

#include <sys/stat.h>

#include "core/Errors.h"

namespace {

constexpr char16_t kEscape = 0xDC00;

// The length of the valid UTF-8 sequence at `at`, or 0.
int SequenceAt(const QByteArray& b, qsizetype at) {
  const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(b[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  int length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
  } else {
    return 0;
  }
  if (at + length > b.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (int i = 2; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

}  // namespace

QString PathFromBytes(const QByteArray& bytes) {
  QString text;
  text.reserve(bytes.size());
  qsizetype at = 0;
  while (at < bytes.size()) {
    const int length = SequenceAt(bytes, at);
    if (length == 0) {
      text += QChar(static_cast<char16_t>(kEscape + static_cast<unsigned char>(bytes[at])));
      ++at;
    } else {
      text += QString::fromUtf8(bytes.constData() + at, length);
      at += length;
    }
  }
  return text;
}

QByteArray PathBytes(const QString& path) {
  QByteArray bytes;
  bytes.reserve(path.size());
  qsizetype from = 0;
  for (qsizetype i = 0; i <= path.size(); ++i) {
    const bool escaped = i < path.size() && path[i].unicode() >= kEscape + 0x80 &&
                         path[i].unicode() <= kEscape + 0xFF &&
                         (i == 0 || !path[i - 1].isHighSurrogate());
    if (i < path.size() && !escaped) continue;
    bytes += QStringView(path).mid(from, i - from).toUtf8();
    if (escaped) bytes += static_cast<char>(path[i].unicode() - kEscape);
    from = i + 1;
  }
  return bytes;
}

bool PathExists(const QString& path) {
  struct stat st {};
  return ::stat(PathBytes(path).constData(), &st) == 0;
}

void CheckPath(const QString& path) {
  if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'))) {
    throw TorbelError(std::string(kMsgLineBreakInPath) + ": " + path.toStdString());
  }
  if (path.contains(QChar::ReplacementCharacter) && !PathExists(path)) {
    throw TorbelError(std::string(kMsgUndecodablePath) + ": " + path.toStdString());
  }
}
