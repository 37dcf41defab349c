// Saving and loading a project of 100,000 points through the window (table included), against
// formatting and parsing the same numbers with the C library, side by side in one process.
#include <QApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/TForm1.h"
#include "bench/Bench.h"
#include "bench/BenchPlatform.h"
#include "commands/Project.h"
#include "io/PointCsv.h"
#include "io/PointDxf.h"
#include "io/ProjectFile.h"
#include "io/TextFile.h"
#include "ui/PointTable.h"

namespace {

using bench::Median;
using bench::Millis;
constexpr int kPoints = 100000;

// A project naming three panoramas, loaded through the window, against reading the three files.
void ProjectWithPanoramas(BenchPlatform& platform, const QTemporaryDir& dir) {
  QStringList files;
  for (int i = 0; i < 3; ++i) {
    files << dir.filePath(QStringLiteral("s%1.bmp").arg(i));
    bench::WritePanorama(files.back());
  }
  const QString project = dir.filePath(QStringLiteral("panoramas.txt"));
  QFile out(project);
  if (!out.open(QIODevice::WriteOnly)) std::abort();
  out.write(QFile::encodeName(files.join(QStringLiteral("\r\n"))) + "\r\n");
  out.close();
  platform.fileAnswer = project;

  std::vector<char> buffer(80 << 20);
  std::vector<double> ours, reads, ratios;
  for (int round = 0; round < 6; ++round) {
    const double r = Millis([&] {
      for (const QString& f : files) {
        QFile in(f);
        if (!in.open(QIODevice::ReadOnly)) std::abort();
        in.read(buffer.data(), qint64(buffer.size()));
      }
    });
    TForm1 form(platform, '.');
    const double l = Millis([&] { LoadProject(form.Commands()); });
    if (form.State().Pano2.isNull()) std::abort();
    if (round == 0) continue;
    ours.push_back(l);
    reads.push_back(r);
    ratios.push_back(l / r);
  }
  bench::Row("loading a project with its three panoramas", Median(ours), "ms",
             "reading the three files from the page cache", Median(reads), Median(ratios),
             "at most 3");
}

// Two stations 10 m from P0, at right angles, on level ground.
SolverState LevelStations() {
  SolverState stations;
  stations.NodalHeight = 1.6L;
  stations.P0zu1Vert = stations.P0zu2Vert = stations.P1zu0Vert = stations.P2zu0Vert = -9.09L;
  stations.P0zu2Hor = 90;
  stations.P1zu0Hor = 180;
  stations.P2zu0Hor = 270;
  stations.DistP0P1 = stations.DistP0P2 = 10;
  return stations;
}

// The CSV export works out each point's position and the strength of its geometry (two solves):
// set against writing the same points as a project.
void ExportTenThousand(std::vector<PointRec> points, const QTemporaryDir& dir) {
  points.resize(10000);
  PointList list;
  list.Assign(points);
  const SolverState stations = LevelStations();
  std::vector<double> csv, project, ratio;
  for (int round = 0; round < 6; ++round) {
    const double c = Millis([&] {
      WriteFileSafely(dir.filePath(QStringLiteral("p.csv")),
                      PointCsvBytes(list, stations, {}, ','));
    });
    const double p = Millis([&] {
      WriteFileSafely(dir.filePath(QStringLiteral("p10k.txt")),
                      ProjectFileBytes(stations, {}, points, ','));
    });
    if (round == 0) continue;
    csv.push_back(c);
    project.push_back(p);
    ratio.push_back(c / p);
  }
  bench::Row("exporting 10,000 points as CSV", Median(csv), "ms",
             "saving the same points as a project", Median(project), Median(ratio),
             "well under 1 s in all");
}

// The DXF drawing of a 100,000-point project, each point a POINT and a TEXT, the stations
// beside them: set against saving the same points as a project. With the sight lines, three
// lines more a point.
void ExportDxf(const std::vector<PointRec>& points, const QTemporaryDir& dir) {
  PointList list;
  list.Assign(points);
  const SolverState stations = LevelStations();
  for (const bool sightLines : {false, true}) {
    std::vector<double> dxf, project, ratio;
    for (int round = 0; round < 4; ++round) {
      const double d = Millis([&] {
        WriteFileSafely(dir.filePath(QStringLiteral("p.dxf")),
                        PointDxfBytes(list, stations, sightLines));
      });
      const double p = Millis([&] {
        WriteFileSafely(dir.filePath(QStringLiteral("p100k.txt")),
                        ProjectFileBytes(stations, {}, points, ','));
      });
      if (round == 0) continue;
      dxf.push_back(d);
      project.push_back(p);
      ratio.push_back(d / p);
    }
    bench::Row(sightLines ? "exporting 100,000 points as DXF with their sight lines"
                          : "exporting 100,000 points as DXF",
               Median(dxf), "ms", "saving the same points as a project", Median(project),
               Median(ratio), "under 1 s");
  }
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
    const double s = Millis([&] { SaveProject(form.Commands()); });

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
    const double l = Millis([&] { LoadProject(fresh.Commands()); });
    if (fresh.State().Points.size() != points.size() || sum == 0) std::abort();
    if (round == 0) continue;
    save.push_back(s);
    print.push_back(p);
    load.push_back(l);
    parse.push_back(r);
    saveRatio.push_back(s / p);
    loadRatio.push_back(l / r);
  }
  bench::Row("saving a 100,000-point project", Median(save), "ms",
             "snprintf(\"%.15Lg\") of its 700,000 numbers", Median(print), Median(saveRatio),
             "at most 2");
  bench::Row("loading it, table included", Median(load), "ms", "strtold of the same numbers",
             Median(parse), Median(loadRatio), "at most 3");
  ExportTenThousand(points, dir);
  ExportDxf(points, dir);
  ProjectWithPanoramas(platform, dir);
  return 0;
}
