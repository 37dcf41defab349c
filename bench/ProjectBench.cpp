// Saving and loading a project of 100,000 points through the window (table included), against
// formatting and parsing the same numbers with the C library, side by side in one process.
#include <QApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/TForm1.h"
#include "bench/BenchPlatform.h"
#include "ui/PointTable.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPoints = 100000;

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

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("p.txt"));
  BenchPlatform platform;
  platform.fileAnswer = path;

  std::vector<PointRec> points;
  QRandomGenerator random(3);
  for (int i = 0; i < kPoints; ++i) {
    points.push_back({random.bounded(360.0), random.bounded(90.0) - 45, random.bounded(200.0),
                      random.bounded(360.0), random.bounded(90.0) - 45, random.bounded(360.0),
                      random.bounded(90.0) - 45});
  }
  std::vector<long double> numbers;
  for (const PointRec& p : points) {
    for (double v : {p.Hor0, p.Vert0, p.Dist0, p.Hor1, p.Vert1, p.Hor2, p.Vert2}) {
      numbers.push_back(v);
    }
  }

  std::vector<double> save, print, load, parse, saveRatio, loadRatio;
  for (int round = 0; round < 6; ++round) {
    TForm1 form(platform, '.');
    form.State().NodalHeight = 1.6L;
    form.State().Points.Assign(points);

    std::vector<char> text(numbers.size() * 32);
    const double p = Millis([&] {
      char* at = text.data();
      for (long double x : numbers) at += std::snprintf(at, 32, "%.15Lg;", x);
    });
    const double s = Millis([&] { form.Speichern1Click(); });

    TForm1 fresh(platform, '.');
    long double sum = 0;
    const double r = Millis([&] {
      const char* at = text.data();
      for (std::size_t i = 0; i < numbers.size(); ++i) {
        char* end = nullptr;
        sum += std::strtold(at, &end);
        at = end + 1;
      }
    });
    const double l = Millis([&] { fresh.Laden1Click(); });
    if (fresh.State().Points.size() != points.size() || sum == 0) std::abort();
    if (round == 0) continue;
    save.push_back(s);
    print.push_back(p);
    load.push_back(l);
    parse.push_back(r);
    saveRatio.push_back(s / p);
    loadRatio.push_back(l / r);
  }
  std::printf("%-44s %9s %8s\n", "what", "median", "ratio");
  std::printf("%-44s %7.1f ms\n", "snprintf(\"%.15Lg\") of 700,000 numbers", Median(print));
  std::printf("%-44s %7.1f ms %8.2f\n", "save a 100,000-point project", Median(save),
              Median(saveRatio));
  std::printf("%-44s %7.1f ms\n", "strtold of the same numbers", Median(parse));
  std::printf("%-44s %7.1f ms %8.2f   (%s)\n", "load it, table included", Median(load),
              Median(loadRatio), qPrintable(QGuiApplication::platformName()));
  return 0;
}
