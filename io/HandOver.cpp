#include "io/HandOver.h"

#include <algorithm>

#include "app/NumberText.h"
#include "app/TForm1.h"

QString PointListText(const PointList& points, std::size_t start, char decimalSeparator) {
  std::string text;
  for (std::size_t i = start; i < points.size(); ++i) {
    const PointRec& p = points[i];
    std::string line = std::to_string(i) + ":" + FixText(p.Hor0, decimalSeparator) + " " +
                       FixText(p.Vert0, decimalSeparator) + " " +
                       FixText(p.Dist0, decimalSeparator);
    // The companion reads decimal points, whatever the locale.
    std::replace(line.begin(), line.end(), ',', '.');
    text += line + "\r\n";
  }
  return QString::fromStdString(text);
}

void TForm1::PunktlisteabCursorerzeugen1Click() {
  Memo1.clear();
  const int start = SelectedGridRow() - 1;
  Memo1 = PointListText(s_.Points, static_cast<std::size_t>(std::max(start, 0)), decimalSeparator_);
  platform_.SetClipboardText(Memo1);

  const QString exeDir = platform_.ExeDir();
  if (!platform_.StartProgram(exeDir + QStringLiteral("Lantrex.exe"), exeDir)) {
    platform_.ShowMessage(QStringLiteral("Fehler: Lantrex nicht gefunden! Pfad:") + exeDir);
    return;
  }
  showMinimized();
  platform_.WaitForProgram();
  showMaximized();
}
