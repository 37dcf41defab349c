// Mouse moves in point entry against a plain memcpy of the visible view pixels, side by side in
// one process. Run on a real window (xvfb-run) or under QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QGuiApplication>
#include <QMenuBar>
#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/TForm1.h"
#include "bench/Bench.h"
#include "bench/BenchPlatform.h"
#include "commands/Views.h"
#include "tests/Surveys.h"
#include "ui/PanoramaView.h"

namespace {

QImage NoisePanorama(quint32 seed, int width = 8160, int height = 3060) {
  QImage image(width, height, QImage::Format_RGB32);
  QRandomGenerator random(seed);
  for (int y = 0; y < image.height(); ++y) {
    random.fillRange(reinterpret_cast<quint32*>(image.scanLine(y)), image.width());
  }
  return image;
}

// `top`: the row the sweep starts at, near the horizon.
void Run(TForm1& form, int points, const char* label, const char* target, int top = 1600) {
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
  for (PanoramaView* v : {form.findChild<PanoramaView*>(QStringLiteral("ScrollBox1")),
                          form.findChild<PanoramaView*>(QStringLiteral("ScrollBox2")),
                          form.findChild<PanoramaView*>(QStringLiteral("ScrollBox3"))}) {
    visibleBytes += std::size_t(v->ClientWidth()) * std::size_t(v->ClientHeight()) * 4;
  }
  bench::RowAgainstCopy(label, "memcpy of the visible view pixels", target, visibleBytes, 40, 14,
                        [&](int step) {
                          // Sweeps across the visible part of the P0 view.
                          const int x = 3000 + (step * 7) % 600, y = top + (step * 3) % 300;
                          form.PaintBox1MouseMove(Qt::NoModifier, Qt::NoButton, x, y);
                          QApplication::processEvents();
                        });
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
  static_cast<SolverState&>(s) = LevelSurvey();
  s.CurDist = 12;
  s.Mode = Mode::ModePoint;
  form.findChild<PanoramaView*>(QStringLiteral("ScrollBox1"))->SetHorizontalPosition(2900);
  form.findChild<PanoramaView*>(QStringLiteral("ScrollBox1"))->SetVerticalPosition(1500);

  Run(form, 1000, "mouse move in point entry, 1920 x 1080, 1,000 points", "at most 1.3");
  Run(form, 10000, "the same with 10,000 points", "at most 2");

  // The largest camera's panoramas: a move costs what it costs at the classic size.
  s.Pano0 = NoisePanorama(1, 11968, 5984);
  s.Pano1 = NoisePanorama(2, 11968, 5984);
  s.Pano2 = NoisePanorama(3, 11968, 5984);
  for (int station = 0; station < 3; ++station) form.Commands().window.MarkViewForRepaint(station);
  s.CurVert = 0;
  form.findChild<PanoramaView*>(QStringLiteral("ScrollBox1"))->SetHorizontalPosition(2900);
  form.findChild<PanoramaView*>(QStringLiteral("ScrollBox1"))->SetVerticalPosition(2700);
  Run(form, 1000, "the same at 11968 x 5984, 1,000 points", "at most 1.3", 2800);

  // Magnified 4x: the aim moves a quarter pixel a screen pixel, every marker with it.
  s.Pano0 = NoisePanorama(1);
  s.Pano1 = NoisePanorama(2);
  s.Pano2 = NoisePanorama(3);
  PanoramaView* views[] = {form.findChild<PanoramaView*>(QStringLiteral("ScrollBox1")),
                           form.findChild<PanoramaView*>(QStringLiteral("ScrollBox2")),
                           form.findChild<PanoramaView*>(QStringLiteral("ScrollBox3"))};
  for (PanoramaView* v : views) {
    v->MarkForRepaint();
    v->ZoomBy(2, v->viewport()->rect().center());
  }
  views[0]->CentreOn(QPointF(3300, 1900));
  std::size_t visibleBytes = 0;
  for (PanoramaView* v : views) {
    visibleBytes += std::size_t(v->ClientWidth()) * std::size_t(v->ClientHeight()) * 4;
  }
  bench::RowAgainstCopy("mouse move in point entry, all views 4x, 1,000 points",
                        "memcpy of the visible view pixels", "at most 2", visibleBytes, 40, 14,
                        [&](int step) {
                          const QPoint p(300 + (step * 7) % 600, 300 + (step * 3) % 300);
                          const QPointF aim = views[0]->AimAt(p);
                          form.PaintBoxMouseMove(0, Qt::NoModifier, Qt::NoButton,
                                                 MouseAt{Real{aim.x()}, Real{aim.y()}, 0, 0});
                          QApplication::processEvents();
                        });
  // A zoom step of the largest view, in and out, painted whole.
  const std::size_t p0Bytes =
      std::size_t(views[0]->ClientWidth()) * std::size_t(views[0]->ClientHeight()) * 4;
  bench::RowAgainstCopy("a zoom step of the P0 view (4x and 8x), painted", "memcpy of its pixels",
                        "within a frame, 16 ms", p0Bytes, 10, 10, [&](int step) {
                          views[0]->ZoomBy(step % 2 == 0 ? 1 : -1,
                                           views[0]->viewport()->rect().center());
                          views[0]->viewport()->repaint();
                        });
  return 0;
}
