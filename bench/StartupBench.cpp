// Start-up to the first painted window: Torbel's start against a minimal QMainWindow program,
// each a whole process of its own, run in turn.
//   startup_bench            runs both probes in turn and prints the row
//   startup_bench torbel     one probe: starts like Torbel and exits after the first paint
//   startup_bench minimal    one probe: a bare QMainWindow
//   startup_bench text       one probe: a QMainWindow with one menu title
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>
#include <cstdlib>
#include <cstring>

#include "app/QtPlatform.h"
#include "app/Startup.h"
#include "app/TForm1.h"
#include "bench/Bench.h"

extern char** environ;

namespace {

// Ends the process once the first paint of any widget has been carried out.
struct FirstPaint : QObject {
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen) {
      seen = true;
      // Ends at once: quitting would close Torbel's window, which asks where to save.
      QTimer::singleShot(0, [] { std::_Exit(0); });
    }
    return false;
  }
  bool seen = false;
};

int Probe(int argc, char** argv, const char* which) {
  const bool torbel = std::strcmp(which, "torbel") == 0;
  QApplication app(argc, argv);
  FirstPaint first;
  app.installEventFilter(&first);
  if (torbel) {
    const Startup startup(app);
    QtPlatform platform;
    TForm1 form(platform, startup.DecimalSeparator());
    Startup::ShowMaximised(form);
    return QApplication::exec();
  }
  QMainWindow window;
  // Any text on screen costs the font database's start (fontconfig reads its configuration):
  // most of what separates Torbel from a bare window. This probe pays it too.
  if (std::strcmp(which, "text") == 0) window.menuBar()->addMenu(QStringLiteral("&Datei"));
  window.showMaximized();
  return QApplication::exec();
}

double RunProbe(const char* self, const char* which) {
  return bench::Millis([&] {
    pid_t pid = 0;
    char* args[] = {const_cast<char*>(self), const_cast<char*>(which), nullptr};
    if (posix_spawn(&pid, self, nullptr, nullptr, args, environ) != 0) std::abort();
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) return Probe(argc, argv, argv[1]);
  std::vector<double> ours, minimal, text, ratios, textRatios;
  for (int round = 0; round < 12; ++round) {
    const double t = RunProbe(argv[0], "torbel");
    const double m = RunProbe(argv[0], "minimal");
    const double x = RunProbe(argv[0], "text");
    if (round < 2) continue;
    ours.push_back(t);
    minimal.push_back(m);
    text.push_back(x);
    ratios.push_back(t / m);
    textRatios.push_back(t / x);
  }
  QGuiApplication app(argc, argv);  // for the platform's name in the row
  bench::Row("start-up to the first painted window", bench::Median(ours), "ms",
             "a minimal QMainWindow program", bench::Median(minimal), bench::Median(ratios),
             "at most 1.5");
  bench::Row("the same", bench::Median(ours), "ms", "a minimal QMainWindow with a menu title",
             bench::Median(text), bench::Median(textRatios), "(for comparison)");
  return 0;
}
