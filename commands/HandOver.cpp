#include "commands/HandOver.h"

#include <algorithm>

#include "core/Errors.h"
#include "io/PointList.h"

void HandOver(Context& c) {
  c.Memo1.clear();
  const int start = c.window.SelectedRow();
  c.Memo1 = PointListText(c.s.Points, static_cast<std::size_t>(std::max(start, 0)), c.separator);
  c.platform.SetClipboardText(c.Memo1);

  const QString exeDir = c.platform.ExeDir();
  if (!c.platform.StartProgram(exeDir + QStringLiteral("Lantrex.exe"), exeDir)) {
    c.platform.ShowMessage(QString::fromUtf8(kMsgCompanionMissing) + exeDir);
    return;
  }
  c.window.Minimise();
  c.platform.WaitForProgram();
  c.window.Maximise();
}
