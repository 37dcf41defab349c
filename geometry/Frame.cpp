#include "geometry/Frame.h"

#include "geometry/Solver.h"

frame::Measured<Real> MeasuredOf(const SolverState& s) {
  const Tilts& t = s.PanoTilt;
  return {s.NodalHeight,
          {s.P0zu1Hor, s.P0zu2Hor},
          {s.P0zu1Vert, s.P0zu2Vert},
          {s.DistP0P1, s.DistP0P2},
          {s.P1zu0Hor, s.P2zu0Hor},
          {s.P1zu0Vert, s.P2zu0Vert},
          {t[0].Pitch, t[1].Pitch, t[2].Pitch},
          {t[0].Roll, t[1].Roll, t[2].Roll}};
}

std::array<frame::Station<Real>, 3> FrameOf(const SolverState& s) {
  const std::array<frame::Station<Real>, 3> stations = frame::Build(MeasuredOf(s));
  for (const frame::Station<Real>& st : stations) {
    for (const Real v :
         {st.lens.x, st.lens.y, st.lens.z, st.ground.x, st.ground.y, st.ground.z, st.heading}) {
      if (!std::isfinite(v)) RaiseInvalidOp();
    }
  }
  return stations;
}
