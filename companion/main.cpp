#include <QApplication>

#include "companion/ClipboardReader.h"
#include "companion/LantrexWindow.h"

// Lantrex, started by Torbel's hand-over: it takes the point list from the clipboard at once,
// while Torbel waits and hands it out. Whatever else holds the clipboard, too large or not
// answering, costs a bounded wait and memory; the window then says why it has no list.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  LantrexWindow window(ReadClipboard());
  window.show();
  return QApplication::exec();
}
