#include "geometry/Real.h"

#include <cmath>

#include "geometry/TorbelError.h"

void RaiseInvalidOp() {
  throw TorbelError(kMsgInvalidOp);
}
void RaiseZeroDivide() {
  throw TorbelError(kMsgZeroDivide);
}
void RaiseOverflow() {
  throw TorbelError(kMsgOverflow);
}
void RaiseRangeCheck() {
  throw TorbelError(kMsgRangeCheck);
}

Real Finite(Real x) {
  if (std::isnan(x)) RaiseInvalidOp();
  if (std::isinf(x)) RaiseOverflow();
  return x;
}

Real Mul(Real a, Real b) {
  return Finite(Finite(a) * Finite(b));
}

Real Div(Real n, Real d) {
  Finite(n);
  Finite(d);
  if (d == 0) {
    if (n == 0) RaiseInvalidOp();
    RaiseZeroDivide();
  }
  return Finite(n / d);
}

Real Sqrt(Real x) {
  if (Finite(x) < 0) RaiseInvalidOp();
  return std::sqrt(x);
}

Real SinDeg(Real deg) {
  return std::sin(Mul(deg, DegToRad));
}
Real CosDeg(Real deg) {
  return std::cos(Mul(deg, DegToRad));
}

Real ArcSinDeg(Real x) {
  if (Finite(x) < -1 || x > 1) RaiseInvalidOp();
  // The ends are exact right angles, not the rounded product of pi/2 and 180/pi.
  if (x == 1) return 90;
  if (x == -1) return -90;
  return std::asin(x) * RadToDeg;
}

Real ArcCosDeg(Real x) {
  if (Finite(x) < -1 || x > 1) RaiseInvalidOp();
  if (x == 1) return 0;
  if (x == -1) return 180;
  return std::acos(x) * RadToDeg;
}

double ToDouble(Real x) {
  const auto narrowed = static_cast<double>(Finite(x));
  if (std::isinf(narrowed)) RaiseOverflow();
  return narrowed;
}

std::int32_t RoundToInt(Real x) {
  // nearbyint rounds in the current mode, which the program never changes from
  // round-to-nearest-even.
  const Real r = std::nearbyint(x);
  if (!(r >= static_cast<Real>(INT32_MIN) && r <= static_cast<Real>(INT32_MAX))) RaiseRangeCheck();
  return static_cast<std::int32_t>(r);
}
