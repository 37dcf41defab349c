#pragma once

#include <array>
#include <cmath>

#include "geometry/Frame.h"
#include "geometry/Solver.h"

// A survey on sloping ground whose three cameras stand off level, known exactly: the stations'
// places, headings and tilts are set, and the recorded geometry is what a perfect surveyor would
// aim and tape in those pictures.
struct TiltedSurvey {
  std::array<frame::Station<Real>, 3> truth;
  SolverState recorded;

  // Where a point of the level frame appears in station k's picture, in degrees.
  std::array<Real, 2> Seen(int k, const frame::Vec<Real>& point) const {
    const frame::Vec<Real> d = frame::Seen(truth[static_cast<std::size_t>(k)], point);
    Real hor = frame::HorOf(d);
    if (hor < 0) hor += 360;
    return {hor, frame::VertOf(d)};
  }
};

inline TiltedSurvey MakeTiltedSurvey(const Tilts& tilts) {
  TiltedSurvey t;
  const Real h0 = 1.6L;
  // Lenses over ground marks; the survey stations' cameras stand at heights of their own.
  t.truth[0] = {{0, 0, h0}, {0, 0, 0}, 0, tilts[0].Pitch, tilts[0].Roll};
  t.truth[1] = {
      {7.2L, 9.1L, -0.35L + 1.48L}, {7.2L, 9.1L, -0.35L}, 131.5L, tilts[1].Pitch, tilts[1].Roll};
  t.truth[2] = {
      {-10.4L, 4.3L, 0.42L + 1.71L}, {-10.4L, 4.3L, 0.42L}, -62.25L, tilts[2].Pitch, tilts[2].Roll};
  SolverState& s = t.recorded;
  s.NodalHeight = h0;
  s.PanoTilt = tilts;
  const frame::Vec<Real> origin{0, 0, 0};
  const auto length = [](const frame::Vec<Real>& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  };
  const auto to1 = t.Seen(0, t.truth[1].ground), to2 = t.Seen(0, t.truth[2].ground);
  const auto back1 = t.Seen(1, origin), back2 = t.Seen(2, origin);
  s.P0zu1Hor = to1[0], s.P0zu1Vert = to1[1], s.DistP0P1 = length(t.truth[1].ground);
  s.P0zu2Hor = to2[0], s.P0zu2Vert = to2[1], s.DistP0P2 = length(t.truth[2].ground);
  s.P1zu0Hor = back1[0], s.P1zu0Vert = back1[1];
  s.P2zu0Hor = back2[0], s.P2zu0Vert = back2[1];
  return t;
}
