#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "geometry/Real.h"
#include "geometry/Solver.h"
#include "geometry/TorbelError.h"
#include "tests/Surveys.h"

namespace {

constexpr Real kFourDecimals = 0.00005L;

Real AtanDeg(Real x) {
  return std::atan(x) * RadToDeg;
}

SolverState Solved(SolverState s, Real hor, Real vert, Real dist) {
  s.CurHor = hor;
  s.CurVert = vert;
  s.CurDist = dist;
  SolvePoint(s);
  return s;
}

std::string FailureOf(SolverState& s) {
  try {
    SolvePoint(s);
  } catch (const TorbelError& e) {
    return e.Message();
  }
  return "no error";
}

// Marks every result field so that a test can tell which ones a failed solve wrote.
void MarkResults(SolverState& s) {
  s.HeightP1 = s.HeightP2 = s.DeltaHor1 = s.P1Hor = s.P1Vert = s.DeltaHor2 = s.P2Hor = s.P2Vert =
      -777;
}

TEST(SolvePoint, WorkedExampleOnLevelGround) {
  const SolverState s = Solved(LevelSurvey(), 45, 0, 10 * std::sqrt(2.0L));
  EXPECT_NEAR(s.HeightP1, 0, kFourDecimals);
  EXPECT_NEAR(s.HeightP2, 0, kFourDecimals);
  EXPECT_NEAR(s.DeltaHor1, 45, kFourDecimals);
  EXPECT_NEAR(s.DeltaHor2, -45, kFourDecimals);
  EXPECT_NEAR(s.P1Hor, 90, kFourDecimals);
  EXPECT_NEAR(s.P1Vert, 0, kFourDecimals);
  EXPECT_NEAR(s.P2Hor, 360, kFourDecimals);  // not brought back to 0
  EXPECT_NEAR(s.P2Vert, 0, kFourDecimals);

  const Real dist = std::sqrt(200 + 2.5L * 2.5L);
  const SolverState raised = Solved(LevelSurvey(), 45, AtanDeg(2.5L / std::sqrt(200.0L)), dist);
  EXPECT_NEAR(raised.CurVert, 10.0250L, kFourDecimals);
  EXPECT_NEAR(raised.P1Hor, 90, kFourDecimals);
  EXPECT_NEAR(raised.P1Vert, 14.0362L, kFourDecimals);
  EXPECT_NEAR(raised.P2Vert, 14.0362L, kFourDecimals);
}

TEST(SolvePoint, BandsAroundTheStationDirection) {
  // Within 0.05 degrees of the station the point is taken to lie beyond it, however near.
  EXPECT_NEAR(Solved(LevelSurvey(), 0.02L, 0, 5).P1Hor, 360, kFourDecimals);
  EXPECT_NEAR(Solved(LevelSurvey(), 0.02L, 0, 20).P1Hor, 360, kFourDecimals);
  EXPECT_NEAR(Solved(LevelSurvey(), 0.06L, 0, 5).P1Hor, 179.94L, kFourDecimals);
  EXPECT_NEAR(Solved(LevelSurvey(), 0.06L, 0, 20).P1Hor, 0.12L, kFourDecimals);

  const SolverState opposite = Solved(LevelSurvey(), 180, 0, 5);
  EXPECT_EQ(opposite.DeltaHor1, 180);
  EXPECT_NEAR(opposite.P1Hor, 180, kFourDecimals);
  EXPECT_NEAR(opposite.DeltaHor2, 90, kFourDecimals);
  EXPECT_NEAR(opposite.P2Hor, 243.4349L, kFourDecimals);

  const SolverState wrapped = Solved(LevelSurvey(), 359, 0, 5);
  EXPECT_NEAR(wrapped.DeltaHor1, -1, kFourDecimals);
  EXPECT_NEAR(wrapped.P1Hor, 180.9997L, kFourDecimals);
}

TEST(SolvePoint, BelowTheHorizonTheElevationIsNegative) {
  const SolverState s = Solved(LevelSurvey(), 45, -10, 14);
  EXPECT_LT(s.P1Vert, 0);
  EXPECT_LT(s.P2Vert, 0);
}

TEST(SolveHeights, StationsOnLevelGroundHaveNoHeight) {
  SolverState s = LevelSurvey();
  s.NodalHeight = 1.4L;
  s.P0zu1Vert = s.P1zu0Vert = -AtanDeg(1.4L / 10);
  s.DistP0P2 = 12;
  s.P0zu2Vert = s.P2zu0Vert = -AtanDeg(1.4L / 12);
  SolveHeights(s);
  EXPECT_NEAR(s.HeightP1, 0, 1e-12L);
  EXPECT_NEAR(s.HeightP2, 0, 1e-12L);
}

TEST(SolveHeights, TheSignFollowsTheGround) {
  // P1's ground point 1 m below P0's.
  SolverState lower = LevelSurvey();
  lower.P0zu1Vert = -AtanDeg(2.6L / 10);
  lower.P1zu0Vert = -AtanDeg(0.6L / 10);
  lower.DistP0P1 = std::sqrt(101.0L);
  lower = Solved(lower, 45, 0, 10 * std::sqrt(2.0L));
  EXPECT_NEAR(lower.HeightP1, -1, kFourDecimals);
  EXPECT_NEAR(lower.P1Vert, 5.7106L, kFourDecimals);

  // P1's ground point 1 m above P0's: its nodal point is 1 m higher, and the point at P0's
  // horizon is seen below P1's.
  SolverState higher = LevelSurvey();
  higher.P0zu1Vert = -AtanDeg(0.6L / 10);
  higher.P1zu0Vert = -AtanDeg(2.6L / 10);
  higher.DistP0P1 = std::sqrt(101.0L);
  higher = Solved(higher, 45, 0, 10 * std::sqrt(2.0L));
  EXPECT_NEAR(higher.HeightP1, 1, kFourDecimals);
  EXPECT_NEAR(higher.P1Vert, -5.7106L, kFourDecimals);
}

TEST(SolvePoint, FailuresKeepTheFieldsNotYetWritten) {
  SolverState zero = LevelSurvey();
  zero.DistP0P1 = zero.DistP0P2 = 0;
  MarkResults(zero);
  EXPECT_EQ(FailureOf(zero), "Gleitkommadivision durch Null");
  EXPECT_EQ(zero.HeightP1, -777);
  EXPECT_EQ(zero.P2Vert, -777);

  zero.NodalHeight = 0;
  EXPECT_EQ(FailureOf(zero), "Ungültige Gleitkommaoperation");
  EXPECT_EQ(zero.HeightP1, -777);

  // P1 solves, P2's distance is missing: HeightP1 is written, nothing after it.
  SolverState half = LevelSurvey();
  half.DistP0P2 = 0;
  MarkResults(half);
  EXPECT_EQ(FailureOf(half), "Gleitkommadivision durch Null");
  EXPECT_NEAR(half.HeightP1, 0, kFourDecimals);
  EXPECT_EQ(half.HeightP2, -777);
  EXPECT_EQ(half.DeltaHor1, -777);

  // The point horizontally on P1: DeltaHor1 is written, then L = 0 stops the solve.
  SolverState atStation = LevelSurvey();
  MarkResults(atStation);
  atStation.CurHor = 0;
  atStation.CurVert = 0;
  atStation.CurDist = 10;
  const std::string message = FailureOf(atStation);
  EXPECT_TRUE(message == "Ungültige Gleitkommaoperation" ||
              message == "Gleitkommadivision durch Null")
      << message;
  EXPECT_EQ(atStation.DeltaHor1, 0);
  EXPECT_EQ(atStation.P1Hor, -777);

  // A sight line straight down: sin(a) = 0 in the height triangle.
  SolverState plumb = LevelSurvey();
  plumb.P0zu1Vert = -90;
  EXPECT_EQ(FailureOf(plumb), "Gleitkommadivision durch Null");

  // The nodal height longer than the station distance allows: arcsine beyond 1.
  SolverState tall = LevelSurvey();
  tall.NodalHeight = 20;
  EXPECT_EQ(FailureOf(tall), "Ungültige Gleitkommaoperation");
}

TEST(SolvePoint, HugeValuesRaiseInsteadOfReachingTheFields) {
  SolverState s = LevelSurvey();
  s.CurDist = 1e4000L;
  MarkResults(s);
  EXPECT_EQ(FailureOf(s), "Gleitkommaüberlauf");
  EXPECT_EQ(s.P1Hor, -777);
}

TEST(DistanceForGuideLine, AgreesWithTheSolverAcrossTheSeamAndRefusesWhatNoDistanceReaches) {
  SolverState seam = LevelSurvey();  // P1 1 m lower, its zero beside P0's; P2 farther, behind
  seam.P0zu1Vert = -AtanDeg(2.6L / 10), seam.P1zu0Vert = -AtanDeg(0.6L / 10), seam.P0zu2Hor = 230;
  seam.DistP0P1 = std::sqrt(101.0L), seam.P1zu0Hor = 359.9L, seam.DistP0P2 = 25, seam.P2zu0Hor = 0;
  for (Real hor : {45.0L, 135.0L, 200.0L, 300.5L, 359.5L})
    for (int k = 0; k < 90; ++k) {  // P1/P2, a turn less, none or more; 3 elevations, 5 distances
      const SolverState s = Solved(seam, hor, k / 6 % 3 * 25 - 20, 1.5L * std::pow(9, k / 18));
      Real SolverState::*guide = k % 2 ? &SolverState::P2Hor : &SolverState::P1Hor;
      const Real d = DistanceForGuideLine(s, 1 + k % 2, s.*guide + (k / 2 % 3 - 1) * 360).value();
      const Real miss = std::remainder(Solved(s, hor, s.CurVert, d).*guide - s.*guide, Real{360});
      EXPECT_LE(std::fabs(miss), 1e-9L) << hor << " " << k;
    }
  // At P1, away from it; 45 degrees right of it, beside 45...180, nearer than 1 m, beyond 55 km.
  const Real refused[][2] = {{0, 0}, {0, 180}, {180, 180}, {45, 200}, {45, 179.99L}, {45, 45.001L}};
  for (const auto& [aim, hor] : refused)
    EXPECT_FALSE(DistanceForGuideLine(Solved(LevelSurvey(), aim, 0, 5), 1, hor)) << aim << hor;
}

}  // namespace
