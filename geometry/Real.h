#pragma once

#include <cstdint>
#include <limits>

// All geometry runs in x87 extended precision, as the measuring method was designed for it.
using Real = long double;
static_assert(std::numeric_limits<Real>::digits == 64, "Real needs a 64-bit significand");

// The extended values nearest to pi/180 and 180/pi.
inline constexpr Real DegToRad = 0.01745329251994329576923690768488612713L;
inline constexpr Real RadToDeg = 57.29577951308232087679815481410517033L;

// Checked arithmetic. Every operation that could produce NaN or infinity checks its operands (or
// its result) and raises TorbelError with the message the user sees, so that no undefined number
// ever reaches a field:
//   0/0, sqrt(<0), asin/acos beyond +-1, a NaN operand -> "Ungültige Gleitkommaoperation"
//   x/0 with x != 0                                      -> "Gleitkommadivision durch Null"
//   a result or operand that is infinite                 -> "Gleitkommaüberlauf"
[[noreturn]] void RaiseInvalidOp();
[[noreturn]] void RaiseZeroDivide();
[[noreturn]] void RaiseOverflow();
[[noreturn]] void RaiseRangeCheck();

// Passes a finite value through; raises for infinity (overflow) and NaN (invalid).
Real Finite(Real x);
Real Mul(Real a, Real b);
Real Div(Real n, Real d);
Real Sqrt(Real x);
// Trigonometry in degrees.
Real SinDeg(Real deg);
Real CosDeg(Real deg);
Real ArcSinDeg(Real x);
Real ArcCosDeg(Real x);

// A value narrowed to a double, as stored points hold it; raises "Gleitkommaüberlauf" where it is
// beyond a double's range (it would be stored as infinity, and saved as a text no load reads).
double ToDouble(Real x);

// Rounds to the nearest integer, ties to even; raises "Fehler bei Bereichsprüfung" when the
// result does not fit a signed 32-bit integer (NaN included).
std::int32_t RoundToInt(Real x);
