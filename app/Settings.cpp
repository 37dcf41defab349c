#include <QFile>
#include <QFileInfo>

#include "app/TForm1.h"
#include "io/TextFile.h"

namespace {

const QString kSettingsName = QStringLiteral("MolvanQuv.ini");
// A path is one line; whatever a damaged file holds beyond this is not read.
constexpr qint64 kMaxLine = 64 * 1024;

}  // namespace

// The settings file carries the project path from one run to the next: the next start offers it
// in the open dialog.
void TForm1::ReadSettingsFile() {
  const QString path = platform_.ExeDir() + kSettingsName;
  if (!QFileInfo::exists(path)) return;
  OpenDialog1.FileName = QFile::decodeName(ReadFirstLine(path, kMaxLine));
  Laden1Click();
}

void TForm1::WriteSettingsFile() {
  WriteFileSafely(platform_.ExeDir() + kSettingsName,
                  QFile::encodeName(SaveDialog1.FileName) + QByteArrayLiteral("\r\n"));
}
