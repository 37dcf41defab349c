#include "commands/Help.h"

#include <QStringList>

#include "core/Errors.h"
#include "io/AboutText.h"

void ShowAbout(Context& c) {
  using B = Platform::Button;
  const B answer = c.platform.InformationBox(
      AboutText(c.window.Caption()), {B::Yes, B::No, B::Ok, B::Cancel, B::Retry, B::Ignore, B::All},
      B::Ok, B::Cancel);
  c.platform.ShowMessage(QString::fromUtf8(answer == B::All ? kMsgAboutAll : kMsgAboutOther));
}

void ShowKeys(Context& c) {
  c.platform.ShowMessage(KeysText());
}
