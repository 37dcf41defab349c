#include "adjust/Adjustment.h"

#include <ceres/ceres.h>

#include <Eigen/Cholesky>
#include <Eigen/Dense>
#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace adjust {
namespace {

using Point = std::array<double, 3>;
using Frame = std::array<frame::Station<double>, 3>;

constexpr int kLeastTies = 5;
// Where a tie point's sight rays from P0 and P1 do not cross in front of both, its start lies
// this far along P0's ray (metres): about where marked points stand.
constexpr double kStartDistance = 20;
// A recorded value is left out only where this many tie points carry the frame without it, and
// no more than this many values are.
constexpr std::size_t kTiesToDrop = 12;
constexpr long kMostDropped = 2;
// The robust start's Huber loss takes a mark in one panorama at face value up to this many
// standard deviations (of its horizontal and vertical parts together), and linearly beyond.
constexpr double kHuberSigmas = 2;
// Tie points whose positions spread across less than this share of their length lie on a line:
// they leave the frame free to turn about it.
constexpr double kLineSpread = 0.02;
// The trust in the marks and the aims is estimated from their scatter at most this many times,
constexpr int kTrustRounds = 6;
// and kept once it changes by less than this share,
constexpr double kTrustSettled = 0.05;
// from a kind's residuals that share at least this much of the redundancy between them,
constexpr double kLeastGroupRedundancy = 1.0;
// within these bounds, in pixels: a mark set at the deepest zoom, and one beside the point.
constexpr double kFinestPx = 0.05, kCoarsestPx = 3;
// An observation whose redundancy number is below this is not controlled by the others, and so
// cannot be tested.
constexpr double kLeastRedundancy = 1e-9;

const char* const kTooFew = "Zu wenige Verknüpfungspunkte: mindestens 5 nötig, es sind ";
const char* const kOnALine =
    "Die Verknüpfungspunkte liegen auf einer Linie; Punkte an anderen Stellen markieren.";
const char* const kNoConvergence =
    "Die Ausgleichung konvergiert nicht; die Messungen der Stationen prüfen.";

// The recorded values a parameter block holds, as the frame reads them.
template <typename T>
frame::Measured<T> MeasuredOf(const T* v, const T& nodalHeight) {
  frame::Measured<T> m;
  m.nodalHeight = nodalHeight;
  for (int j = 0; j < kValueCount; ++j) frame::ValueAt(m, j) = v[j];
  return m;
}

double Plain(double x) {
  return x;
}
template <int N>
double Plain(const ceres::Jet<double, N>& x) {
  return x.a;
}

// A horizontal angle's difference brought into -180 ... 180: 0 and 360 degrees are one direction.
template <typename T>
T Wrapped(const T& degrees) {
  return degrees - T(360 * std::round(Plain(degrees) / 360));
}

// A tie point's mark in one panorama: where the frame shows the point, less where it was marked,
// in that panorama's pixels over the mark's standard deviation.
// A tie point is held as its level direction from P0's lens (horizontal and vertical angle,
// degrees) and its inverse distance from there: a point a kilometre off, which the sight lines
// from three lenses a few metres apart barely tell apart from one at infinity, stays as well
// placed as a near one, where its place in metres would run off along the sight line.
struct TieMark {
  int station;
  double hor, vert, nodalHeight, scale;

  template <typename T>
  bool operator()(const T* values, const T* point, T* residual) const {
    using std::isfinite;
    const std::array<frame::Station<T>, 3> st = frame::Build(MeasuredOf(values, T(nodalHeight)));
    const frame::Station<T>& s = st[static_cast<std::size_t>(station)];
    // The sight line from the station, scaled by the inverse distance: finite at infinity.
    const frame::Vec<T> seen = frame::Unit(point[0], point[1]) + (st[0].lens - s.lens) * point[2];
    const frame::Vec<T> d = frame::ToPicture(s.pitch, s.roll, frame::TurnBy(-s.heading, seen));
    residual[0] = Wrapped(frame::HorOf(d) - T(hor)) * T(scale);
    residual[1] = (frame::VertOf(d) - T(vert)) * T(scale);
    return isfinite(residual[0]) && isfinite(residual[1]);
  }
};

bool Horizontal(int v) {
  return v == kP0zu1Hor || v == kP0zu2Hor || v == kP1zu0Hor || v == kP2zu0Hor;
}

// How far a recorded value is trusted: its standard deviation in the units it is reported in (a
// panorama's pixels for an aim, metres for a tape, degrees for a tilt), that unit's size in the
// value's own (pixels per degree, or 1), and the panorama it belongs to.
struct Trust {
  Residual::Kind kind;
  double sigma, unitsPerValue;
  int station;
};

Trust TrustOf(const Input& in, int v) {
  if (v >= kPitch0) return {Residual::Kind::Tilt, in.tiltDeg, 1, (v - kPitch0) / 2};
  if (v == kDistP0P1 || v == kDistP0P2) {
    return {Residual::Kind::Tape, in.tapeM, 1, v == kDistP0P1 ? 1 : 2};
  }
  const int station = v < kP1zu0Hor ? 0 : v < kP2zu0Hor ? 1 : 2;
  return {Residual::Kind::Aim, in.aimPx, in.pixPerDeg[static_cast<std::size_t>(station)], station};
}

// The recorded values and the tilts as observations of the values adjusted.
struct RecordedValues {
  Values recorded, scale;

  template <typename T>
  bool operator()(const T* values, T* residual) const {
    for (int v = 0; v < kValueCount; ++v) {
      const std::size_t i = static_cast<std::size_t>(v);
      const T d = values[v] - T(recorded[i]);
      residual[v] = (Horizontal(v) ? Wrapped(d) : d) * T(scale[i]);
    }
    return true;
  }
};

bool Finite(const Frame& st) {
  for (const frame::Station<double>& s : st) {
    for (const double x :
         {s.lens.x, s.lens.y, s.lens.z, s.ground.x, s.ground.y, s.ground.z, s.heading}) {
      if (!std::isfinite(x)) return false;
    }
  }
  return true;
}

double Dot(const frame::Vec<double>& a, const frame::Vec<double>& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Where P0's and P1's sight rays to a tie point come closest, in the recorded frame; 20 m along
// P0's ray where they do not meet in front of both.
Point StartOf(const Frame& st, const TiePoint& t) {
  const frame::Vec<double> a = frame::Sight(st[0], t.hor[0], t.vert[0]);
  const frame::Vec<double> b = frame::Sight(st[1], t.hor[1], t.vert[1]);
  const frame::Vec<double> w = st[0].lens - st[1].lens;
  const double ab = Dot(a, b), aw = Dot(a, w), bw = Dot(b, w), across = 1 - ab * ab;
  if (across > 1e-8) {
    const double s = (ab * bw - aw) / across, u = (bw - ab * aw) / across;
    if (s > 0 && u > 0) {
      const frame::Vec<double> mid = (st[0].lens + a * s + st[1].lens + b * u) * 0.5;
      return {mid.x, mid.y, mid.z};
    }
  }
  const frame::Vec<double> p = st[0].lens + a * kStartDistance;
  return {p.x, p.y, p.z};
}

std::vector<Point> StartsOf(const Frame& st, const std::vector<TiePoint>& ties) {
  std::vector<Point> points;
  points.reserve(ties.size());
  for (const TiePoint& t : ties) points.push_back(StartOf(st, t));
  return points;
}

// A point's direction and inverse distance from P0's lens, as the tie marks hold it.
Point HeldFrom(const Frame& st, const Point& p) {
  const frame::Vec<double> r = frame::Vec<double>{p[0], p[1], p[2]} - st[0].lens;
  return {frame::HorOf(r), frame::VertOf(r), 1 / std::sqrt(Dot(r, r))};
}

bool OnALine(const std::vector<Point>& points) {
  Eigen::Vector3d mean = Eigen::Vector3d::Zero();
  for (const Point& p : points) mean += Eigen::Vector3d(p[0], p[1], p[2]);
  mean /= static_cast<double>(points.size());
  Eigen::Matrix3d scatter = Eigen::Matrix3d::Zero();
  for (const Point& p : points) {
    const Eigen::Vector3d d = Eigen::Vector3d(p[0], p[1], p[2]) - mean;
    scatter += d * d.transpose();
  }
  // The centred positions' singular values are the square roots of the scatter's eigenvalues,
  // which come smallest first.
  const Eigen::Vector3d e =
      Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d>(scatter, Eigen::EigenvaluesOnly).eigenvalues();
  return std::sqrt(std::max(e[1], 0.0)) < kLineSpread * std::sqrt(std::max(e[2], 0.0));
}

// One adjustment with every tie point given: the values, their cofactors (the inverse of the
// whitened normal matrix) and every observation's residual.
struct Pass {
  bool solved = false;
  Values values{};
  Eigen::MatrixXd cofactors;
  std::vector<Residual> residuals;
  double sigma0 = 0;
  std::array<double, 3> rmsPx{};
  int iterations = 0;
  // For the tie points' marks (0) and the aims (1): the sums of their whitened residuals'
  // squares and of their redundancy numbers, whose ratio estimates how far off the trust given
  // each kind is.
  std::array<double, 2> squares{}, redundancy{};
  std::vector<Point> points;  // the tie points where the adjustment put them
};

// `from`, where given, is a pass over the same tie points with another trust: its solution is
// the start, and the robust start is not needed again.
Pass AdjustAll(const Input& in, const Pass* from = nullptr) {
  Pass pass;
  const Frame recorded = frame::Build(in.recorded);
  if (!Finite(recorded)) return pass;
  std::vector<Point>& points = pass.points;
  if (from) {
    points = from->points;
  } else {
    points = StartsOf(recorded, in.ties);
    for (Point& p : points) p = HeldFrom(recorded, p);
  }
  Values& values = pass.values;
  values = from ? from->values : ValuesOf(in.recorded);

  // One loss for every mark, robust for the start and then squared.
  ceres::LossFunctionWrapper loss(new ceres::HuberLoss(kHuberSigmas), ceres::TAKE_OWNERSHIP);
  ceres::Problem::Options problemOptions;
  problemOptions.loss_function_ownership = ceres::DO_NOT_TAKE_OWNERSHIP;
  ceres::Problem problem(problemOptions);
  std::vector<ceres::ResidualBlockId> blocks;
  const std::size_t n = in.ties.size();
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = 0; k < 3; ++k) {
      const TiePoint& t = in.ties[i];
      auto* mark = new TieMark{static_cast<int>(k), t.hor[k], t.vert[k], in.recorded.nodalHeight,
                               in.pixPerDeg[k] / in.tiePx};
      blocks.push_back(problem.AddResidualBlock(
          new ceres::AutoDiffCostFunction<TieMark, 2, kValueCount, 3>(mark), &loss, values.data(),
          points[i].data()));
    }
  }
  RecordedValues* prior = new RecordedValues{ValuesOf(in.recorded), {}};
  for (int v = 0; v < kValueCount; ++v) {
    const Trust trust = TrustOf(in, v);
    const bool dropped = v < kPitch0 && in.dropped[static_cast<std::size_t>(v)];
    prior->scale[static_cast<std::size_t>(v)] = dropped ? 0 : trust.unitsPerValue / trust.sigma;
  }
  blocks.push_back(problem.AddResidualBlock(
      new ceres::AutoDiffCostFunction<RecordedValues, kValueCount, kValueCount>(prior), nullptr,
      values.data()));

  ceres::Solver::Options options;
  options.linear_solver_type = ceres::DENSE_SCHUR;
  options.max_num_iterations = 100;
  options.function_tolerance = 1e-10;
  options.parameter_tolerance = 1e-10;
  options.logging_type = ceres::SILENT;
  ceres::Solver::Summary summary;
  if (!from) {
    ceres::Solve(options, &problem, &summary);
    pass.iterations += static_cast<int>(summary.iterations.size());
  }
  loss.Reset(nullptr, ceres::TAKE_OWNERSHIP);
  ceres::Solve(options, &problem, &summary);
  pass.iterations += static_cast<int>(summary.iterations.size());
  if (summary.termination_type != ceres::CONVERGENCE) return pass;
  if (!Finite(frame::Build(MeasuredFrom(values, in.recorded.nodalHeight)))) return pass;

  // The whitened residuals and Jacobian at the solution, the values' columns first.
  ceres::Problem::EvaluateOptions evaluate;
  evaluate.parameter_blocks.push_back(values.data());
  for (Point& p : points) evaluate.parameter_blocks.push_back(p.data());
  evaluate.residual_blocks = blocks;
  evaluate.apply_loss_function = false;
  double cost = 0;
  std::vector<double> e;
  ceres::CRSMatrix jacobian;
  if (!problem.Evaluate(evaluate, &cost, &e, nullptr, &jacobian)) return pass;
  const auto rowBegin = [&](std::size_t r) { return static_cast<std::size_t>(jacobian.rows[r]); };
  Eigen::MatrixXd normal = Eigen::MatrixXd::Zero(jacobian.num_cols, jacobian.num_cols);
  for (std::size_t r = 0; r < e.size(); ++r) {
    for (std::size_t a = rowBegin(r); a < rowBegin(r + 1); ++a) {
      for (std::size_t b = rowBegin(r); b < rowBegin(r + 1); ++b) {
        normal(jacobian.cols[a], jacobian.cols[b]) += jacobian.values[a] * jacobian.values[b];
      }
    }
  }
  const Eigen::LLT<Eigen::MatrixXd> cholesky(normal);
  if (cholesky.info() != Eigen::Success) return pass;
  const Eigen::MatrixXd q = cholesky.solve(Eigen::MatrixXd::Identity(normal.rows(), normal.cols()));

  // Each residual over its own standard deviation: its whitened value over the square root of
  // its redundancy number, 1 - J_i Q J_i'.
  std::vector<double> w(e.size(), 0.0);
  double vPv = 0;
  for (std::size_t r = 0; r < e.size(); ++r) {
    double taken = 0;
    for (std::size_t a = rowBegin(r); a < rowBegin(r + 1); ++a) {
      for (std::size_t b = rowBegin(r); b < rowBegin(r + 1); ++b) {
        taken += jacobian.values[a] * jacobian.values[b] * q(jacobian.cols[a], jacobian.cols[b]);
      }
    }
    const double redundancy = 1 - taken;
    if (redundancy > kLeastRedundancy) w[r] = e[r] / std::sqrt(redundancy);
    vPv += e[r] * e[r];
    const bool tie = r < 6 * n;
    if (tie || TrustOf(in, static_cast<int>(r - 6 * n)).kind == Residual::Kind::Aim) {
      pass.squares[tie ? 0 : 1] += e[r] * e[r];
      pass.redundancy[tie ? 0 : 1] += std::max(redundancy, 0.0);
    }
  }

  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = 0; k < 3; ++k) {
      const std::size_t r = 2 * (3 * i + k);
      const double px = std::hypot(e[r], e[r + 1]) * in.tiePx;
      pass.rmsPx[k] += px * px;
      pass.residuals.push_back({Residual::Kind::Tie, in.ties[i].label, static_cast<int>(k),
                                kP0zu1Hor, px,
                                std::abs(w[r]) >= std::abs(w[r + 1]) ? w[r] : w[r + 1]});
    }
  }
  for (double& rms : pass.rmsPx) rms = std::sqrt(rms / static_cast<double>(n));
  for (int v = 0; v < kValueCount; ++v) {
    const std::size_t r = 6 * n + static_cast<std::size_t>(v);
    const Trust trust = TrustOf(in, v);
    pass.residuals.push_back(
        {trust.kind, -1, trust.station, static_cast<Value>(v), e[r] * trust.sigma, w[r]});
  }
  // Each tie point adds three unknowns and six observations.
  pass.sigma0 = std::sqrt(vPv / static_cast<double>(3 * n));
  pass.cofactors = q.topLeftCorner(kValueCount, kValueCount);
  pass.solved = true;
  return pass;
}

// How finely a set of angles was taken: a click between pixels lands on a grid of whole,
// half, quarter ... pixels, as the view's zoom allowed, and can be no surer than that grid's
// rounding (its step over the square root of 12). The coarsest grid that holds every angle
// (to a thousandth of a pixel) counts; angles on no grid down to a sixteenth leave kFinestPx.
double Floor(const std::vector<std::pair<double, double>>& pixels) {
  for (const double step : {1.0, 0.5, 0.25, 0.125, 0.0625}) {
    const bool all = std::all_of(pixels.begin(), pixels.end(), [&](const auto& p) {
      for (const double v : {p.first, p.second}) {
        if (std::abs(v / step - std::round(v / step)) * step > 1e-3) return false;
      }
      return true;
    });
    if (all) return std::max(step / std::sqrt(12.0), kFinestPx);
  }
  return kFinestPx;
}

// Column and row (unrounded, without the crop, which shifts whole pixels only as tags give
// them) of a direction in a panorama `pixPerDeg` pixels a degree.
std::pair<double, double> PixelOf(double hor, double vert, double pixPerDeg) {
  return {hor * pixPerDeg, (90 - vert) * pixPerDeg};
}

double TieFloor(const Input& in) {
  std::vector<std::pair<double, double>> pixels;
  for (const TiePoint& t : in.ties) {
    for (std::size_t k = 1; k < 3; ++k)
      pixels.push_back(PixelOf(t.hor[k], t.vert[k], in.pixPerDeg[k]));
  }
  return Floor(pixels);
}

double AimFloor(const Input& in) {
  const frame::Measured<double>& m = in.recorded;
  return Floor({PixelOf(m.toHor[0], m.toVert[0], in.pixPerDeg[0]),
                PixelOf(m.toHor[1], m.toVert[1], in.pixPerDeg[0]),
                PixelOf(m.backHor[0], m.backVert[0], in.pixPerDeg[1]),
                PixelOf(m.backHor[1], m.backVert[1], in.pixPerDeg[2])});
}

Report Failure(std::string text) {
  Report report;
  report.failure = std::move(text);
  return report;
}

Report TooFew(std::size_t count) {
  return Failure(kTooFew + std::to_string(count) + ".");
}

}  // namespace

static_assert(kValueCount == frame::kFrameValues, "the frame's values in one order");

Values ValuesOf(const frame::Measured<double>& m) {
  frame::Measured<double> copy = m;
  Values v{};
  for (int j = 0; j < kValueCount; ++j) v[static_cast<std::size_t>(j)] = frame::ValueAt(copy, j);
  return v;
}

frame::Measured<double> MeasuredFrom(const Values& v, double nodalHeight) {
  return MeasuredOf(v.data(), nodalHeight);
}

std::string NameOf(Value v) {
  static const char* const names[kValueCount] = {
      "P0zu1Hor",   "P0zu1Vert",  "DistP0P1",   "P0zu2Hor",  "P0zu2Vert",  "DistP0P2",
      "P1zu0Hor",   "P1zu0Vert",  "P2zu0Hor",   "P2zu0Vert", "Neigung P0", "Neigung P0",
      "Neigung P1", "Neigung P1", "Neigung P2", "Neigung P2"};
  return names[v];
}

std::vector<Residual> FirstResiduals(const Input& input) {
  return AdjustAll(input).residuals;
}

Report Adjust(const Input& input) {
  Input in = input;
  std::vector<int> leftOut;
  int iterations = 0;
  int rounds = 0;
  Pass last;
  bool warm = false;
  const std::array<double, 2> floors = {TieFloor(input), AimFloor(input)};
  // Data snooping: the tie point with the worst mark goes, one at a time, until every mark passes.
  // Then the marks' and the aims' own scatter says how far each kind is to be trusted (a
  // variance component estimate: their residuals' squares over their share of the redundancy),
  // and the test runs again with that trust, until it stays.
  for (;;) {
    if (in.ties.size() < kLeastTies) return TooFew(in.ties.size());
    const Frame recorded = frame::Build(input.recorded);
    if (!Finite(recorded)) return Failure(kNoConvergence);
    if (OnALine(StartsOf(recorded, in.ties))) return Failure(kOnALine);
    // After a change of trust alone, the last solution is the start.
    const Pass pass = AdjustAll(in, warm ? &last : nullptr);
    warm = false;
    if (!pass.solved) return Failure(kNoConvergence);
    iterations += pass.iterations;

    const Residual* worst = nullptr;
    for (const Residual& r : pass.residuals) {
      if (r.kind == Residual::Kind::Tie &&
          (worst == nullptr || std::abs(r.normalised) > std::abs(worst->normalised))) {
        worst = &r;
      }
    }
    // A recorded aim or tape that fails worse than any mark is a blunder of its own, where the
    // tie points are enough to carry the frame without it: it is left out, and named.
    const Residual* value = nullptr;
    for (const Residual& r : pass.residuals) {
      if ((r.kind == Residual::Kind::Aim || r.kind == Residual::Kind::Tape) &&
          (value == nullptr || std::abs(r.normalised) > std::abs(value->normalised))) {
        value = &r;
      }
    }
    if (value != nullptr && std::abs(value->normalised) > kCritical &&
        std::abs(value->normalised) > std::abs(worst->normalised) &&
        in.ties.size() >= kTiesToDrop &&
        std::count(in.dropped.begin(), in.dropped.end(), true) < kMostDropped) {
      in.dropped[static_cast<std::size_t>(value->value)] = true;
      continue;
    }
    if (std::abs(worst->normalised) > kCritical) {
      const int label = worst->label;
      leftOut.push_back(label);
      std::erase_if(in.ties, [label](const TiePoint& t) { return t.label == label; });
      continue;
    }
    bool retrusted = false;
    for (int kind = 0; kind < 2 && rounds < kTrustRounds; ++kind) {
      const auto k = static_cast<std::size_t>(kind);
      if (!(pass.redundancy[k] >= kLeastGroupRedundancy)) continue;
      const double factor = std::sqrt(pass.squares[k] / pass.redundancy[k]);
      double& px = kind == 0 ? in.tiePx : in.aimPx;
      const double trusted = std::clamp(px * factor, floors[k], kCoarsestPx);
      if (std::abs(trusted / px - 1) > kTrustSettled) {
        px = trusted;
        retrusted = true;
      }
    }
    if (retrusted) {
      ++rounds;
      last = pass;
      warm = true;
      continue;
    }

    Report report;
    for (const TiePoint& t : in.ties) report.used.push_back(t.label);
    report.leftOut = std::move(leftOut);
    for (int v = 0; v < kPitch0; ++v)
      if (in.dropped[static_cast<std::size_t>(v)]) report.flagged.push_back(NameOf(Value(v)));
    for (const Residual& r : pass.residuals) {
      if (r.kind == Residual::Kind::Tie || std::abs(r.normalised) <= kCritical) continue;
      const std::string name = NameOf(r.value);
      if (std::find(report.flagged.begin(), report.flagged.end(), name) == report.flagged.end()) {
        report.flagged.push_back(name);
      }
    }
    report.sigma0 = pass.sigma0;
    report.rmsPx = pass.rmsPx;
    report.largest = pass.residuals;
    const auto larger = [](const Residual& a, const Residual& b) {
      return std::abs(a.normalised) > std::abs(b.normalised);
    };
    const std::size_t shown = std::min<std::size_t>(5, report.largest.size());
    std::partial_sort(report.largest.begin(), report.largest.begin() + static_cast<long>(shown),
                      report.largest.end(), larger);
    report.largest.resize(shown);
    report.before = ValuesOf(input.recorded);
    report.after = pass.values;
    // The observations' own scatter widens the values' uncertainty where it exceeds the trust
    // given; where it falls short, that is mostly chance on few observations, and the trust given
    // stands rather than a frame that looks firmer than its measurements.
    const double scale = std::max(pass.sigma0, 1.0);
    for (int v = 0; v < kValueCount; ++v) {
      report.sigmaAfter[static_cast<std::size_t>(v)] = scale * std::sqrt(pass.cofactors(v, v));
      for (int u = 0; u < kValueCount; ++u) {
        report.covariance.push_back(scale * scale * pass.cofactors(v, u));
      }
    }
    report.iterations = iterations;
    return report;
  }
}

}  // namespace adjust
