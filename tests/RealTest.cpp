#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "geometry/Real.h"
#include "geometry/TorbelError.h"

namespace {

template <typename F>
std::string MessageOf(F f) {
  try {
    f();
  } catch (const TorbelError& e) {
    return e.Message();
  }
  return "no error";
}

TEST(Real, RoundingGoesToTheEvenNeighbour) {
  EXPECT_EQ(RoundToInt(3906.5L), 3906);
  EXPECT_EQ(RoundToInt(3907.5L), 3908);
  EXPECT_EQ(RoundToInt(-0.5L), 0);
  EXPECT_EQ(RoundToInt(-1.5L), -2);
  EXPECT_EQ(RoundToInt(2.4999999L), 2);
}

TEST(Real, RoundingChecksThe32BitRange) {
  EXPECT_EQ(RoundToInt(2147483647.0L), 2147483647);
  EXPECT_EQ(RoundToInt(-2147483648.0L), -2147483647 - 1);
  EXPECT_EQ(RoundToInt(2147483647.4L), 2147483647);
  EXPECT_EQ(MessageOf([] { RoundToInt(2147483647.5L); }), "Fehler bei Bereichsprüfung");
  EXPECT_EQ(MessageOf([] { RoundToInt(-2147483649.0L); }), "Fehler bei Bereichsprüfung");
  EXPECT_EQ(MessageOf([] { RoundToInt(std::numeric_limits<Real>::quiet_NaN()); }),
            "Fehler bei Bereichsprüfung");
}

TEST(Real, FaultsRaiseTheirMessages) {
  const Real inf = std::numeric_limits<Real>::infinity();
  const Real big = std::numeric_limits<Real>::max();
  EXPECT_EQ(MessageOf([] { Div(1, 0); }), "Gleitkommadivision durch Null");
  EXPECT_EQ(MessageOf([] { Div(-1, 0); }), "Gleitkommadivision durch Null");
  EXPECT_EQ(MessageOf([] { Div(0, 0); }), "Ungültige Gleitkommaoperation");
  EXPECT_EQ(MessageOf([] { Sqrt(-1e-30L); }), "Ungültige Gleitkommaoperation");
  EXPECT_EQ(MessageOf([] { ArcSinDeg(1.0000001L); }), "Ungültige Gleitkommaoperation");
  EXPECT_EQ(MessageOf([] { ArcCosDeg(-1.0000001L); }), "Ungültige Gleitkommaoperation");
  EXPECT_EQ(MessageOf([&] { Mul(big, 2); }), "Gleitkommaüberlauf");
  EXPECT_EQ(MessageOf([&] { Div(big, 0.5L); }), "Gleitkommaüberlauf");
  EXPECT_EQ(MessageOf([&] { Sqrt(inf); }), "Gleitkommaüberlauf");
  EXPECT_EQ(MessageOf([&] { Finite(inf - inf); }), "Ungültige Gleitkommaoperation");
}

TEST(Real, TheDomainEndsAreExact) {
  EXPECT_EQ(Sqrt(0), 0);
  EXPECT_EQ(ArcSinDeg(1), 90);
  EXPECT_EQ(ArcSinDeg(-1), -90);
  EXPECT_EQ(ArcCosDeg(1), 0);
  EXPECT_EQ(ArcCosDeg(-1), 180);
  EXPECT_NEAR(ArcSinDeg(0.5L), 30, 1e-15L);
  EXPECT_NEAR(SinDeg(30), 0.5L, 1e-18L);
}

}  // namespace
