// Loading a panorama against reading its file from the page cache, and against Qt's own reader,
// side by side in one process; and the peak memory of three loaded panoramas in a window.
//   load_bench [file.bmp]      timing (a panorama is generated when no file is given)
//   load_bench --memory        peak memory, window included (run under xvfb-run or offscreen)
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/TForm1.h"
#include "bench/Bench.h"
#include "bench/BenchPlatform.h"
#include "commands/Views.h"
#include "io/Bitmap.h"

namespace {

using bench::Median;
using bench::Millis;

long PeakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

int Timing(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  std::vector<char> buffer(std::size_t(QFile(path).size()));
  const auto readFile = [&] {
    const int fd = ::open(name.constData(), O_RDONLY);
    std::size_t at = 0;
    for (ssize_t n; (n = ::read(fd, buffer.data() + at, buffer.size() - at)) > 0;) at += n;
    ::close(fd);
  };
  std::vector<double> read, load, qt, loadRatio, qtRatio;
  for (int round = 0; round < 11; ++round) {
    const double r = Millis(readFile);
    const double l = Millis([&] { LoadBitmap(path); });
    const double q = Millis([&] { QImageReader(path).read(); });
    if (round == 0) continue;  // warms the cache and the allocator
    read.push_back(r);
    load.push_back(l);
    qt.push_back(q);
    loadRatio.push_back(l / r);
    qtRatio.push_back(q / l);
  }
  bench::Row("loading one 8160 x 3060 24-bit panorama", Median(load), "ms",
             "reading the file from the page cache", Median(read), Median(loadRatio), "at most 4");
  bench::Row("QImageReader on the same file", Median(qt), "ms", "our loading", Median(load),
             Median(qtRatio), "at least 2");
  return 0;
}

int Memory(int argc, char** argv, const QString& path) {
  QApplication app(argc, argv);
  BenchPlatform platform;
  TForm1 form(platform, ',');
  form.resize(1920, 1080);
  form.show();
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  const long before = PeakKiB();
  WorkingState& s = form.State();
  s.Pano0 = LoadBitmap(path);
  s.Pano1 = LoadBitmap(path);
  s.Pano2 = LoadBitmap(path);
  CenterViews(form.Commands(), true);
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  const long after = PeakKiB();
  const double pixelKiB = 3.0 * 8160 * 3060 * 4 / 1024;
  bench::Row("peak memory with three panoramas loaded, above the empty window",
             double(after - before) / 1024, "MiB", "their pixel bytes", pixelKiB / 1024,
             (after - before) / pixelKiB, "at most 1.1");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool memory = argc > 1 && std::strcmp(argv[1], "--memory") == 0;
  QTemporaryDir dir;
  QString path = !memory && argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  if (path.isEmpty()) {
    path = dir.filePath(QStringLiteral("pano.bmp"));
    bench::WritePanorama(path);
  }
  return memory ? Memory(argc, argv, path) : Timing(path);
}
