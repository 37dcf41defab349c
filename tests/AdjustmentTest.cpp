#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "adjust/Adjustment.h"
#include "tests/TiedSurvey.h"

namespace {

const Tilts kTilts = {Tilt{0.21L, -0.32L}, Tilt{0.47L, 0.26L}, Tilt{-0.38L, 0.44L}};

// The angles, the tilts and the tapes' ratio (which only the tie points set right) come out near
// the truth. Gravity shows only in the aims at the ground marks and each camera's turn only in the
// tie points. Trusted as far as their own scatter says, not by the half pixel assumed for both,
// marks set to a tenth of a pixel (4x zoomed in) and aims to a hundredth put every tilt within 0.03
// degrees; coarser marks hold the tilts to what the adjustment reports.
TEST(Adjustment, FindsTheStationFrameOfATiltedSurvey) {
  const struct {
    int ties;
    double tiePx, aimPx, tiltDeg;
    bool assumed = false;  // the half pixel assumed for both, not the true scatter
  } cases[] = {{8, 0.1, 0.01, 0.03, true}, {12, 0.25, 0.1, INFINITY}, {12, 0.025, 0.01, 0.03}};
  for (const auto& c : cases) {
    TiedSurvey t = MakeTiedSurvey(kTilts, c.ties, 7, c.tiePx, c.aimPx);
    if (c.assumed) t.input.tiePx = t.input.aimPx = 0.5;
    const adjust::Report r = adjust::Adjust(t.input);
    ASSERT_EQ(r.failure, "");
    for (int v = 0; v < adjust::kValueCount; ++v) {
      const double bar =
          v < adjust::kPitch0 ? 0.05 : std::min(c.tiltDeg, adjust::kCritical * r.sigmaAfter[v]);
      if (v != adjust::kDistP0P1 && v != adjust::kDistP0P2) {
        EXPECT_LT(std::abs(r.after[v] - t.truth[v]), bar) << v << " with " << c.ties;
      }
    }
    const double ratio = r.after[adjust::kDistP0P1] / r.after[adjust::kDistP0P2];
    EXPECT_NEAR(ratio / (t.truth[adjust::kDistP0P1] / t.truth[adjust::kDistP0P2]), 1, 0.002);
  }
}

// Tie points found in the tilted demo's pictures: clouds, which lie at infinity, as the recorded
// frame (level, aims and tapes as taped) sees them. Placed in metres, such a point runs off along
// its sight lines and the adjustment never settles; held by its direction and inverse distance
// from P0 it settles at infinity, and with the aims they fix the frame's turns and tilts.
TEST(Adjustment, TiePointsAtInfinitySettle) {
  adjust::Values recorded{113.749411764706, -9.864264705882, 15.04,
                          7.207941176471,   -2.82,           12.79,
                          155.424264705882, -1.877205882353, 283.476176470588,
                          -11.610441176471};
  adjust::Input input;
  input.recorded = adjust::MeasuredFrom(recorded, 1.6);
  input.pixPerDeg = {kClassicPixPerDeg, kClassicPixPerDeg, kClassicPixPerDeg};
  input.ties = {{105,
                 {307.165414838, 168.842476051, 43.316146794},
                 {26.929851150, 27.332762362, 27.264342226}},
                {106,
                 {313.308481233, 175.055028833, 49.512931954},
                 {33.220603331, 33.583047507, 33.486758345}},
                {107,
                 {314.264612360, 176.003617889, 50.460385077},
                 {26.900877958, 27.308589471, 27.252687702}},
                {108,
                 {320.585794238, 182.316248512, 56.778302328},
                 {31.713658166, 32.101314248, 32.094117418}},
                {109,
                 {325.893289272, 187.670630668, 62.124362998},
                 {31.760083589, 32.142720613, 32.102135416}},
                {110,
                 {340.189916297, 202.057406234, 76.497445454},
                 {36.954252600, 37.304144899, 37.278337745}},
                {111,
                 {186.870567772, 47.367933007, 282.208825424},
                 {75.113276915, 74.890069826, 74.879963847}}};
  const adjust::Report r = adjust::Adjust(input);
  EXPECT_EQ(r.failure, "");
}

// An aim at the wrong tripod, 2 degrees off, fails worse than any mark where the tie points are
// many: it is left out and named, and the frame comes out as the tie points and the other aims
// put it.
TEST(Adjustment, LeavesOutAndNamesARecordedAimThatIsABlunder) {
  TiedSurvey t = MakeTiedSurvey(kTilts, 24, 7, 0.1, 0.01);
  adjust::Values recorded = adjust::ValuesOf(t.input.recorded);
  recorded[adjust::kP0zu1Hor] += 2;
  t.input.recorded = adjust::MeasuredFrom(recorded, t.input.recorded.nodalHeight);
  const adjust::Report r = adjust::Adjust(t.input);
  ASSERT_EQ(r.failure, "");
  EXPECT_EQ(r.flagged, std::vector<std::string>{"P0zu1Hor"});
  for (int v = 0; v < adjust::kValueCount; ++v) {
    if (v != adjust::kDistP0P1 && v != adjust::kDistP0P2) {
      EXPECT_LT(std::abs(r.after[v] - t.truth[v]), 0.05) << v;
    }
  }
}

// A mark 5 px off in P2 fails, and its tie point alone is left out: the sixth of twelve, 150 to 180
// degrees round from P0, off the lines through two stations (where a third mark goes unchecked).
TEST(Adjustment, LeavesOutATiePointWithABlunder) {
  TiedSurvey t = MakeTiedSurvey(kTilts, 12, 11);
  t.input.ties[5].hor[2] += 5 / kClassicPixPerDeg;
  const adjust::Report r = adjust::Adjust(t.input);
  EXPECT_EQ(r.leftOut, std::vector<int>{6});
  EXPECT_EQ(r.used, (std::vector<int>{1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12}));
}

// On clean marks the test flags about as many as its 0.1 % (for either part of a mark) lets
// through; it flags none where residuals are not divided by their own spread.
TEST(Adjustment, FlagsFewCleanMarks) {
  int flagged = 0, marks = 0;
  for (unsigned seed = 1000; seed < 1200; ++seed) {
    for (const adjust::Residual& r :
         adjust::FirstResiduals(MakeTiedSurvey(kTilts, 12, seed).input)) {
      marks += r.kind == adjust::Residual::Kind::Tie;
      flagged +=
          r.kind == adjust::Residual::Kind::Tie && std::abs(r.normalised) > adjust::kCritical;
    }
  }
  EXPECT_GT(flagged, 0);
  EXPECT_LT(flagged, 0.005 * marks);
}

// Where the tie points cannot carry the frame, the report says why and holds nothing else.
TEST(Adjustment, RefusesWhatCannotBeAdjusted) {
  const char* const tooFew = "Zu wenige Verknüpfungspunkte: mindestens 5 nötig, es sind 4.";
  const struct {
    int ties;
    bool line;  // all on one line
    double blunderPx, tape;
    const char* failure;
  } cases[] = {
      {4, false, 0, 0, tooFew},
      {6, true, 0, 0,
       "Die Verknüpfungspunkte liegen auf einer Linie; Punkte an anderen Stellen markieren."},
      {5, false, 8, 0, tooFew},  // one of five left out
      {12, false, 0, 0.5,
       "Die Ausgleichung konvergiert nicht; die Messungen der Stationen prüfen."},
  };
  for (const auto& c : cases) {
    TiedSurvey t = MakeTiedSurvey(kTilts, c.ties, 3);
    for (int i = 0; c.line && i < c.ties; ++i) {
      for (int k = 0; k < 3; ++k) {
        const auto seen = t.survey.Seen(k, {-4 + 2.5L * i, 14 + 0.5L * i, 1});
        t.input.ties[i].hor[k] = double(seen[0]), t.input.ties[i].vert[k] = double(seen[1]);
      }
    }
    t.input.ties[2].vert[1] += c.blunderPx / kClassicPixPerDeg;
    if (c.tape > 0) t.input.recorded.dist[1] = c.tape;
    const adjust::Report r = adjust::Adjust(t.input);
    EXPECT_EQ(r.failure, c.failure);
    EXPECT_TRUE(r.used.empty() && r.leftOut.empty() && r.flagged.empty() && r.largest.empty() &&
                r.covariance.empty() && r.sigma0 == 0 && r.after == adjust::Values{})
        << c.failure;
  }
}

}  // namespace
