#include <QClipboard>
#include <QFile>
#include <QGuiApplication>

// Stands in for the companion in the hand-over test: reads the clipboard as the companion does,
// from another process, and writes what it got into its working directory.
int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  QFile out(QStringLiteral("clipboard.txt"));
  if (!out.open(QIODevice::WriteOnly)) return 1;
  out.write(QGuiApplication::clipboard()->text().toUtf8());
  return 0;
}
