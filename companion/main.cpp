#include <QApplication>
#include <QClipboard>

#include "companion/LantrexWindow.h"

// Lantrex, started by Torbel's hand-over: it takes the point list from the clipboard at once,
// while Torbel waits and hands it out.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  LantrexWindow window(QGuiApplication::clipboard()->text());
  window.show();
  return QApplication::exec();
}
