// Mouse moves in point entry against a plain memcpy of the visible view pixels, side by side in
// one process. Run on a real window (xvfb-run) or under QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QGuiApplication>
#include <QMenuBar>
#include <QRandomGenerator>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/TForm1.h"
#include "bench/BenchPlatform.h"
#include "ui/PanoramaView.h"

namespace {

using Clock = std::chrono::steady_clock;

QImage NoisePanorama(quint32 seed) {
  QImage image(8160, 3060, QImage::Format_RGB32);
  QRandomGenerator random(seed);
  for (int y = 0; y < image.height(); ++y) {
    random.fillRange(reinterpret_cast<quint32*>(image.scanLine(y)), image.width());
  }
  return image;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Run(TForm1& form, int points, const char* label) {
  WorkingState& s = form.State();
  std::vector<PointRec> list;
  QRandomGenerator random(7);
  for (int i = 0; i < points; ++i) {
    PointRec r;
    r.Hor0 = random.bounded(360.0);
    r.Vert0 = random.bounded(135.0) - 45;
    r.Hor1 = random.bounded(360.0);
    r.Vert1 = random.bounded(135.0) - 45;
    r.Hor2 = random.bounded(360.0);
    r.Vert2 = random.bounded(135.0) - 45;
    list.push_back(r);
  }
  s.Points.Assign(std::move(list));
  s.SelIndex = 0;

  std::size_t visibleBytes = 0;
  for (PanoramaView* v : {form.ScrollBox1, form.ScrollBox2, form.ScrollBox3}) {
    visibleBytes += std::size_t(v->ClientWidth()) * std::size_t(v->ClientHeight()) * 4;
  }
  std::vector<char> from(visibleBytes, 1), to(visibleBytes, 2);

  constexpr int kMoves = 40, kRounds = 15;
  std::vector<double> moveTimes, copyTimes, ratios;
  int step = 0;
  for (int round = 0; round < kRounds; ++round) {
    const auto t0 = Clock::now();
    for (int i = 0; i < kMoves; ++i, ++step) {
      // Sweeps across the visible part of the P0 view.
      const int x = 3000 + (step * 7) % 600, y = 1600 + (step * 3) % 300;
      form.PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, x, y);
      QApplication::processEvents();
    }
    const auto t1 = Clock::now();
    for (int i = 0; i < kMoves; ++i) {
      std::memcpy(to.data(), from.data(), visibleBytes);
      from[std::size_t(i) % visibleBytes] = char(i);  // keeps the copies from being merged
    }
    const auto t2 = Clock::now();
    const double move = std::chrono::duration<double, std::micro>(t1 - t0).count() / kMoves;
    const double copy = std::chrono::duration<double, std::micro>(t2 - t1).count() / kMoves;
    if (round == 0) continue;  // warm-up
    moveTimes.push_back(move);
    copyTimes.push_back(copy);
    ratios.push_back(move / copy);
  }
  std::printf("%-34s %8.0f us %10.0f us %8.2f   (%s, %zu visible bytes)\n", label,
              Median(moveTimes), Median(copyTimes), Median(ratios),
              qPrintable(QGuiApplication::platformName()), visibleBytes);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  BenchPlatform platform;
  TForm1 form(platform, ',');
  form.resize(1920, 1080);
  form.show();
  for (int i = 0; i < 20; ++i) QApplication::processEvents();

  WorkingState& s = form.State();
  s.Pano0 = NoisePanorama(1);
  s.Pano1 = NoisePanorama(2);
  s.Pano2 = NoisePanorama(3);
  // Two stations 10 m away on level ground, at a right angle.
  s.NodalHeight = 1.6L;
  s.P0zu1Hor = 0;
  s.P0zu2Hor = 90;
  s.P1zu0Hor = 180;
  s.P2zu0Hor = 270;
  s.DistP0P1 = s.DistP0P2 = 10;
  s.P0zu1Vert = s.P0zu2Vert = s.P1zu0Vert = s.P2zu0Vert = -9.090276920822;
  s.CurDist = 12;
  s.Mode = ModePoint;
  form.ScrollBox1->SetHorizontalPosition(2900);
  form.ScrollBox1->SetVerticalPosition(1500);

  std::printf("%-34s %11s %13s %8s\n", "what", "median", "memcpy", "ratio");
  Run(form, 1000, "mouse move, point entry, 1000 pts");
  Run(form, 10000, "mouse move, point entry, 10000 pts");
  return 0;
}
