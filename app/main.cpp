#include <QApplication>

#include "app/QtPlatform.h"
#include "app/Startup.h"
#include "app/TForm1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const Startup startup(app);
  QtPlatform platform;
  TForm1 form(platform, startup.DecimalSeparator(), Startup::ProjectArgument(argc, argv));
  Startup::ShowMaximised(form);
  return QApplication::exec();
}
