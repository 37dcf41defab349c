// The plan's repaints with 100,000 points: following the current point in point entry (the
// stored points kept as a picture), and after a zoom or pan (drawn afresh), each against a plain
// memcpy of the plan's pixels in the same process. Run on a real window (xvfb-run) or under
// QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QRandomGenerator>
#include <vector>

#include "bench/Bench.h"
#include "tests/Surveys.h"
#include "ui/PlanView.h"

namespace {

// Times `paint` against a memcpy of the plan's pixels.
template <typename Paint>
void Run(PlanView& plan, const char* label, const char* target, Paint paint) {
  const std::size_t bytes = std::size_t(plan.width()) * std::size_t(plan.height()) * 4;
  bench::RowAgainstCopy(label, "memcpy of the plan's pixels", target, bytes, 40, 14, paint);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  WorkingState s;
  static_cast<SolverState&>(s) = LevelSurvey();
  // 100,000 points up to 60 m around P0.
  std::vector<PointRec> points;
  QRandomGenerator random(11);
  for (int i = 0; i < 100000; ++i) {
    PointRec r;
    r.Hor0 = random.bounded(360.0);
    r.Vert0 = random.bounded(20.0) - 10;
    r.Dist0 = 1 + random.bounded(59.0);
    points.push_back(r);
  }
  s.Points.Assign(points);
  s.Mode = Mode::ModePoint;
  s.CurDist = 12;

  PlanView plan(s);
  plan.resize(800, 600);
  plan.show();
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  plan.Refresh();
  plan.repaint();

  // A mouse move in point entry: the current point moves, the plan takes it in and repaints.
  Run(plan, "plan following the current point, 800 x 600, 100,000 points", "at most 2 ms",
      [&](int step) {
        s.CurHor = (step * 7) % 360;
        plan.Refresh();
        plan.repaint();
      });
  // A pan: the stored points are drawn afresh, as after a drag or a wheel turn.
  Run(plan, "plan after a pan (points drawn afresh), 100,000 points", "-", [&](int step) {
    s.CurHor = (step * 7) % 360;
    plan.Refresh();
    plan.PanBy(QPointF(step % 2 == 0 ? 1 : -1, 0));
    plan.repaint();
  });
  return 0;
}
