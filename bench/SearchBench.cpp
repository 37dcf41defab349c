// The distance search on the demo survey: for every target of its truth table, aim at the
// target's pixel in P0, search, and compare with the true distance; and the time one search
// takes, against the time of one mouse move's solve.
//   search_bench <demo folder>            the time of one search, as a row of the results table
//   search_bench <demo folder> --targets  and the table of every target
#include <QFile>
#include <QImage>
#include <QTextStream>
#include <cmath>
#include <cstdio>

#include "bench/Bench.h"
#include "geometry/DistanceSearch.h"
#include "geometry/Mapping.h"
#include "io/Bitmap.h"
#include "io/ProjectFile.h"

namespace {

// How far the distance must change at `distance` to move the projection in P1 or P2 by one pixel,
// whichever is finer.
double OnePixel(SolverState s, Real distance) {
  auto columns = [&](Real d) {
    s.CurDist = d;
    SolvePoint(s);
    return std::pair<double, double>(double(ShiftedHor(s.P1Hor) * PixPerDeg),
                                     double(ShiftedHor(s.P2Hor) * PixPerDeg));
  };
  const Real h = distance * 1e-4L;
  const auto a = columns(distance - h), b = columns(distance + h);
  const double rate =
      std::max(std::fabs(b.first - a.first), std::fabs(b.second - a.second)) / double(2 * h);
  return 1 / rate;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: search_bench <demo folder> [--targets]\n");
    return 2;
  }
  const bool targets = argc > 2 && QByteArray(argv[2]) == "--targets";
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QFile project(folder + QStringLiteral("/demo.txt"));
  if (!project.open(QIODevice::ReadOnly)) return 1;
  ProjectLoad load = ReadProject(project.readAll(), SolverState());
  const QImage p0 = LoadBitmap(*load.panoFiles[0]), p1 = LoadBitmap(*load.panoFiles[1]),
               p2 = LoadBitmap(*load.panoFiles[2]);
  const std::array<PanoPixels, 3> panos = {PixelsOf(p0), PixelsOf(p1), PixelsOf(p2)};

  QFile truthFile(folder + QStringLiteral("/truth.txt"));
  if (!truthFile.open(QIODevice::ReadOnly)) return 1;
  QTextStream truth(&truthFile);
  truth.readLine();
  if (targets)
    std::printf(
        "| target | true m | found m | error mm | error px | one pixel mm | score P1 | "
        "score P2 | next best | samples | search ms "
        "|\n|---|---|---|---|---|---|---|---|---|---|---|\n");
  int within = 0, total = 0;
  std::vector<double> times;
  while (!truth.atEnd()) {
    const QStringList f = truth.readLine().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (f.size() < 4) continue;
    SolverState s = load.state;
    s.CurHor = PixelToHor(HorToPixel(f[1].toDouble()));
    s.CurVert = PixelToVert(VertToPixel(f[2].toDouble()));
    const double trueDistance = f[3].toDouble();
    DistanceMatch m;
    const double ms = bench::Millis([&] { m = SearchDistance(s, panos); });
    times.push_back(ms);
    const double pixel = OnePixel(s, trueDistance);
    const double error = double(m.distance) - trueDistance;
    ++total;
    if (m.found && std::fabs(error) <= pixel) ++within;
    if (targets)
      std::printf(
          "| %s | %.3f | %s | %.1f | %.2f | %.1f | %.3f | %.3f | %.3f | %zu | %.1f |\n",
          qPrintable(f[0]), trueDistance,
          m.found ? qPrintable(QString::number(double(m.distance), 'f', 3)) : "(no clear match)",
          error * 1000, error / pixel, pixel * 1000, m.score1, m.score2, m.runnerUp, m.samples, ms);
  }
  if (targets) std::printf("\n%d of %d targets within one pixel's distance.\n\n", within, total);
  bench::Row("distance search (F3), 1 to 55000 m, demo targets", bench::Median(times), "ms",
             "the budget", 100, bench::Median(times) / 100, "well under 1");
  return 0;
}
