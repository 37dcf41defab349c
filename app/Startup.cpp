#include "app/Startup.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>

#include "app/TForm1.h"
#include "core/PathText.h"

Startup::Startup(QApplication& app) {
  QApplication::setApplicationName(QStringLiteral("Torbel"));
  // The program speaks German, and so do the standard buttons of Qt's own dialogs.
  if (qtTexts_.load(QStringLiteral("qtbase_de"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    app.installTranslator(&qtTexts_);
  }
  separator_ = QLocale::system().decimalPoint() == QStringLiteral(",") ? ',' : '.';
}

void Startup::ShowMaximised(TForm1& form) {
  // Without a window manager "maximised" means nothing; the screen's size then stands in for it.
  form.resize(form.screen()->availableGeometry().size());
  form.showMaximized();
}

QString Startup::ProjectArgument(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '\0') return {};
  // The name's own bytes: not every file name is UTF-8.
  QByteArray path(argv[1]);
  if (!path.startsWith('/')) path = QFile::encodeName(QDir::currentPath()) + '/' + path;
  return QDir::cleanPath(PathFromBytes(path));
}
