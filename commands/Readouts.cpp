#include "commands/Readouts.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "geometry/Coordinates.h"
#include "geometry/Firmness.h"

QString CurrentPointText(const Context& c) {
  return c.DirectionText(c.s.CurHor, c.s.CurVert) + QStringLiteral(" Entf.:") + c.Fix(c.s.CurDist);
}

void ShowPosition(Context& c) {
  const WorkingState& s = c.s;
  const LocalPosition at = PositionOf(s.CurHor, s.CurVert, s.CurDist, s.NodalHeight, s.PanoTilt[0]);
  const GuideStrength strength = StrengthOf(s, s.Shapes());
  const QString warning = QStringLiteral(" \u26A0");
  const bool weak = strength.Weak(s.CurDist);
  c.window.SetLabel(Window::Label::Position,
                    QStringLiteral("X ") + c.Fix(at.X) + QStringLiteral(" Y ") + c.Fix(at.Y) +
                        QStringLiteral(" Z ") + c.Fix(at.Z) + (weak ? warning : QString()));
  // Centimetres, or infinitely many where a view fixes nothing.
  const auto cm = [&c](const std::optional<Real>& v) {
    return v ? c.Fix(*v) + QStringLiteral(" cm") : QStringLiteral("\u221E");
  };
  // How firmly F3 found the distance, while the point is the one it found.
  const bool found = c.found && c.found->hor == s.CurHor && c.found->vert == s.CurVert &&
                     c.found->dist == s.CurDist;
  // How firmly the three views fix the place, from the user's pointing uncertainty: the
  // deviations in centimetres, and the angles at which the sight lines meet, suspect below 15
  // degrees even in the better station.
  const Firmness firm = FirmnessOf(s, s.Shapes(), c.pointingPx);
  const auto degrees = [&c](const std::optional<Real>& v) {
    return v ? c.Fix(*v) + QStringLiteral("\u00B0") : QStringLiteral("-");
  };
  const Real better = std::max(firm.AngleP1.value_or(0), firm.AngleP2.value_or(0));
  c.window.SetLabel(
      Window::Label::Strength,
      QStringLiteral("1 px in P1: ") + cm(strength.P1) + QStringLiteral("\n1 px in P2: ") +
          cm(strength.P2) + (weak ? QStringLiteral("\n\u26A0 schwach bestimmt") : QString()) +
          QStringLiteral("\n\u03C3 quer ") + cm(firm.AcrossCm) + QStringLiteral(", l\u00E4ngs ") +
          cm(firm.AlongCm) + QStringLiteral("\nSchnitt P1 ") + degrees(firm.AngleP1) +
          QStringLiteral(", P2 ") + degrees(firm.AngleP2) +
          (better < kMinMeetingAngle ? warning : QString()) +
          (found ? QStringLiteral("\nF3: P1 ") + c.Fix(c.found->score1) + QStringLiteral(", P2 ") +
                       c.Fix(c.found->score2)
                 : QString()));
}

void ShowSelectedPair(Context& c) {
  const std::vector<int> rows = c.window.SelectedRows();
  const int points = c.window.PointRows();
  if (rows.size() != 2 || rows[0] < 0 || rows[1] >= points ||
      static_cast<std::size_t>(rows[1]) >= c.s.Points.size()) {
    c.window.SetLabel(Window::Label::Pair, QString());
    return;
  }
  const WorkingState& s = c.s;
  LocalPosition at[2];
  QString labels[2];
  for (int k = 0; k < 2; ++k) {
    const auto index = static_cast<std::size_t>(rows[static_cast<std::size_t>(k)]);
    const PointRec& p = s.Points[index];
    at[k] = PositionOf(p.Hor0, p.Vert0, p.Dist0, s.NodalHeight, s.PanoTilt[0]);
    labels[k] = QStringLiteral(".%1").arg(s.Points.Label(index));
  }
  const Real dx = at[1].X - at[0].X, dy = at[1].Y - at[0].Y, dz = at[1].Z - at[0].Z;
  const Real level = std::hypot(dx, dy), slope = std::hypot(level, dz);
  c.window.SetLabel(Window::Label::Pair,
                    QStringLiteral("Abstand ") + labels[0] + QStringLiteral(" \u2013 ") +
                        labels[1] + QStringLiteral("\nwaagerecht ") + c.Metres(level) +
                        QStringLiteral("\nschr\u00E4g ") + c.Metres(slope) +
                        QStringLiteral("\nH\u00F6he ") +
                        (dz > 0 ? QStringLiteral("+") : QString()) + c.Metres(dz));
}
