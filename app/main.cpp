#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTranslator>

#include "app/QtPlatform.h"
#include "app/TForm1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Torbel"));

  // The program speaks German, and so do the standard buttons of Qt's own dialogs.
  QTranslator qtTexts;
  if (qtTexts.load(QStringLiteral("qtbase_de"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTexts);
  }

  const QString point = QLocale::system().decimalPoint();
  const char separator = point == QStringLiteral(",") ? ',' : '.';

  QtPlatform platform;
  TForm1 form(platform, separator);
  // Without a window manager "maximised" means nothing; the screen's size then stands in for it.
  form.resize(form.screen()->availableGeometry().size());
  form.showMaximized();
  return QApplication::exec();
}
