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
#include "bench/BenchPlatform.h"
#include "io/Bitmap.h"

namespace {

using Clock = std::chrono::steady_clock;

// A 24-bit bottom-up panorama of 8160 x 3060 with some structure in it, written row by row so
// that the memory figure does not count it.
void WritePanorama(const QString& path) {
  const int w = 8160, h = 3060, stride = (w * 3 + 3) & ~3;
  std::vector<unsigned char> header(54);
  auto put = [&](std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) header[at + i] = (v >> (8 * i)) & 0xff;
  };
  header[0] = 'B';
  header[1] = 'M';
  put(2, std::uint32_t(54 + stride * h), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, w, 4);
  put(22, h, 4);
  put(26, 1, 2);
  put(28, 24, 2);
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) std::abort();
  f.write(reinterpret_cast<const char*>(header.data()), 54);
  std::vector<char> row(std::size_t(stride), 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w * 3; ++x) row[std::size_t(x)] = static_cast<char>(x * 7 + y * 3);
    f.write(row.data(), stride);
  }
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <typename F>
double Millis(F f) {
  const auto t0 = Clock::now();
  f();
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

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
  std::printf("%-40s %8s %8s\n", "what", "median", "ratio");
  std::printf("%-40s %6.1f ms\n", "read the file (page cache, warm buffer)", Median(read));
  std::printf("%-40s %6.1f ms %8.2f  x the read\n", "LoadBitmap", Median(load), Median(loadRatio));
  std::printf("%-40s %6.1f ms %8.2f  x LoadBitmap\n", "QImageReader", Median(qt), Median(qtRatio));
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
  form.CenterViews(true);
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  const long after = PeakKiB();
  const double pixelKiB = 3.0 * 8160 * 3060 * 4 / 1024;
  std::printf(
      "peak memory: empty window %ld KiB, with three panoramas %ld KiB: %.3f x their %.0f "
      "KiB of pixels (%s)\n",
      before, after, (after - before) / pixelKiB, pixelKiB,
      qPrintable(QGuiApplication::platformName()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool memory = argc > 1 && std::strcmp(argv[1], "--memory") == 0;
  QTemporaryDir dir;
  QString path = !memory && argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  if (path.isEmpty()) {
    path = dir.filePath(QStringLiteral("pano.bmp"));
    WritePanorama(path);
  }
  return memory ? Memory(argc, argv, path) : Timing(path);
}
