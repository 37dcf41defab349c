#include "app/Startup.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>

#include "app/TForm1.h"

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
