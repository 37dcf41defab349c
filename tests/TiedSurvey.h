#pragma once

#include <cmath>
#include <random>
#include <vector>

#include "adjust/Adjustment.h"
#include "tests/TiltedSurvey.h"

// The tilted survey as the adjustment gets it from classic 8160-pixel panoramas: tie points all
// round P0 marked in the three pictures with Gaussian noise, the aims with noise of their own, the
// tapes off by +1.8 and -1.2 cm, and the tilts not known (level to start).
inline constexpr double kClassicPixPerDeg = 8160.0 / 360;

struct TiedSurvey {
  TiltedSurvey survey;
  adjust::Values truth{};
  adjust::Input input;
  std::vector<frame::Vec<Real>> points;  // where the tie points truly stand
};

inline TiedSurvey MakeTiedSurvey(const Tilts& tilts, int ties, unsigned seed, double tiePx = 0.25,
                                 double aimPx = 0.1) {
  TiedSurvey t{MakeTiltedSurvey(tilts), {}, {}, {}};
  const SolverState& s = t.survey.recorded;
  t.truth = {
      double(s.P0zu1Hor),     double(s.P0zu1Vert),   double(s.DistP0P1),     double(s.P0zu2Hor),
      double(s.P0zu2Vert),    double(s.DistP0P2),    double(s.P1zu0Hor),     double(s.P1zu0Vert),
      double(s.P2zu0Hor),     double(s.P2zu0Vert),   double(tilts[0].Pitch), double(tilts[0].Roll),
      double(tilts[1].Pitch), double(tilts[1].Roll), double(tilts[2].Pitch), double(tilts[2].Roll)};
  std::mt19937 random(seed);
  std::normal_distribution<double> gauss;
  const auto off = [&](double px) { return px * gauss(random) / kClassicPixPerDeg; };
  adjust::Values recorded{};
  for (int v = 0; v < adjust::kPitch0; ++v) recorded[v] = t.truth[v] + off(aimPx);
  recorded[adjust::kDistP0P1] = t.truth[adjust::kDistP0P1] + 0.018;
  recorded[adjust::kDistP0P2] = t.truth[adjust::kDistP0P2] - 0.012;
  adjust::Input& in = t.input;
  in.recorded = adjust::MeasuredFrom(recorded, double(s.NodalHeight));
  in.pixPerDeg = {kClassicPixPerDeg, kClassicPixPerDeg, kClassicPixPerDeg};
  in.tiePx = tiePx, in.aimPx = aimPx;
  std::uniform_real_distribution<double> uniform(0, 1);
  for (int i = 0; i < ties; ++i) {
    const double hor = (i + uniform(random)) * 2 * M_PI / ties, dist = 6 + 20 * uniform(random);
    const frame::Vec<Real> x{dist * std::sin(hor), dist * std::cos(hor), -1 + 4 * uniform(random)};
    adjust::TiePoint tie{i + 1, {}, {}};
    for (std::size_t k = 0; k < 3; ++k) {
      const auto seen = t.survey.Seen(static_cast<int>(k), x);
      tie.hor[k] = double(seen[0]) + off(tiePx);
      tie.vert[k] = double(seen[1]) + off(tiePx);
    }
    in.ties.push_back(tie);
    t.points.push_back(x);
  }
  return t;
}
