#include "commands/StationFrame.h"

#include "commands/Readouts.h"
#include "commands/Views.h"

std::array<QString, 4> StationLabels(const Context& c, const SolverState& s) {
  const auto withDistance = [&c](Real hor, Real vert, Real dist) {
    return c.DirectionText(hor, vert) + QStringLiteral(" ") + c.Fix(dist) + QStringLiteral("m");
  };
  return {withDistance(s.P0zu1Hor, s.P0zu1Vert, s.DistP0P1),
          withDistance(s.P0zu2Hor, s.P0zu2Vert, s.DistP0P2),
          c.DirectionText(s.P1zu0Hor, s.P1zu0Vert), c.DirectionText(s.P2zu0Hor, s.P2zu0Vert)};
}

void PutFrame(Context& c, const frame::Measured<Real>& m, const std::vector<PointRec>& points,
              const FrameCovarianceRef& covariance) {
  WorkingState& s = c.s;
  SetStationValues(s, m);
  for (std::size_t i = 0; i < points.size() && i < s.Points.size(); ++i) {
    s.Points.Replace(i, points[i]);
  }
  s.FrameCovariance = covariance;
  SolvePoint(s);
  const std::array<QString, 4> labels = StationLabels(c, s);
  const Window::Label labelled[] = {Window::Label::P0zu1, Window::Label::P0zu2,
                                    Window::Label::P1zu0, Window::Label::P2zu0};
  for (std::size_t i = 0; i < labels.size(); ++i) c.window.SetLabel(labelled[i], labels[i]);
  ShowPosition(c);
  RepaintAll(c);
}
