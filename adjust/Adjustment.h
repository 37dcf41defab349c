#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "geometry/Frame.h"

// The station frame estimated from the pictures: the recorded station geometry (aims and tapes),
// the tilts as they stand and the tie points (points marked by hand in all three panoramas) as
// weighted observations, adjusted by least squares on angular residuals in each panorama's own
// pixels; each observation then tested, and tie points that fail left out.
namespace adjust {

// A tie point: where P0's, P1's and P2's pictures show it, in their angles (degrees), with the
// label the table gives it.
struct TiePoint {
  int label = 0;
  std::array<double, 3> hor{}, vert{};
};

// What the adjustment starts from and how much each kind of observation is trusted (one
// standard deviation).
struct Input {
  frame::Measured<double> recorded{};  // as the project holds it; its tilts are the start
  std::array<double, 3> pixPerDeg{};   // each panorama's scale
  std::vector<TiePoint> ties;
  double tiePx = 0.5;    // a careful click on a mark
  double aimPx = 0.5;    // an aim at a station's ground mark
  double tapeM = 0.01;   // a taped distance
  double tiltDeg = 0.5;  // how level a camera's own levelling holds it
  // Recorded values (of the ten) left out: the adjustment leaves out one that the tie points
  // show to be a blunder (an aim at the wrong tripod, a tape misread), and names it.
  std::array<bool, 10> dropped{};
};

// The index of each value in `Values`: the ten recorded station values, then the six tilts.
enum Value : int {
  kP0zu1Hor,
  kP0zu1Vert,
  kDistP0P1,
  kP0zu2Hor,
  kP0zu2Vert,
  kDistP0P2,
  kP1zu0Hor,
  kP1zu0Vert,
  kP2zu0Hor,
  kP2zu0Vert,
  kPitch0,
  kRoll0,
  kPitch1,
  kRoll1,
  kPitch2,
  kRoll2,
  kValueCount
};
using Values = std::array<double, kValueCount>;

Values ValuesOf(const frame::Measured<double>& m);
frame::Measured<double> MeasuredFrom(const Values& v, double nodalHeight);
// The name a recorded value goes by in `flagged`: its field's name ("P0zu1Hor", "DistP0P1"), and
// "Neigung P1" for either of P1's tilts.
std::string NameOf(Value v);

// One observation's residual after the adjustment.
struct Residual {
  enum class Kind { Tie, Aim, Tape, Tilt } kind = Kind::Tie;
  int label = -1;           // the tie point's label, for Kind::Tie
  int station = 0;          // the panorama (0, 1, 2) it was made in
  Value value = kP0zu1Hor;  // the recorded value, for the other kinds
  double px = 0;  // its size in that panorama's pixels (metres for a tape, degrees for a tilt)
  double normalised = 0;  // divided by its own standard deviation after the adjustment
};

struct Report {
  // Empty when the adjustment worked; otherwise the German text that says why not, and nothing
  // below holds.
  std::string failure;

  std::vector<int> used, leftOut;    // the tie points' labels
  std::vector<std::string> flagged;  // recorded values that fail the test, by name ("P0zu1Hor")
  double sigma0 = 0;                 // a posteriori, against the trust given
  std::array<double, 3> rmsPx{};     // tie points' residuals per panorama
  std::vector<Residual> largest;     // the five largest, by normalised size
  Values before{}, after{}, sigmaAfter{};
  // The covariance of the sixteen values after the adjustment (row-major, kValueCount squared),
  // for what the frame's own uncertainty adds to a point.
  std::vector<double> covariance;
  int iterations = 0;  // the solver's, over every solve: robust starts and re-adjustments
};

// Critical value of the normalised residual at alpha = 0.1 % (two-sided).
inline constexpr double kCritical = 3.29;

Report Adjust(const Input& input);

// Every observation's residual after one adjustment with all the tie points, before any is left
// out: each tie point's marks a residual per panorama (`px` its length, `normalised` the larger
// of its horizontal and vertical parts), then the sixteen values in their order. Empty where
// that adjustment fails.
std::vector<Residual> FirstResiduals(const Input& input);

}  // namespace adjust
