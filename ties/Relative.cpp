#include "ties/Relative.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <random>

namespace ties {

namespace {

// Draws until a sample of eight inliers is found with this certainty, at most kMostDraws times.
constexpr double kCertainty = 0.999;
constexpr int kMostDraws = 4000;

// The linear eight-point solution over the given pairs, made an essential matrix (two equal
// singular values, the third zero); nothing where the pairs leave it undetermined.
std::optional<Essential> Fit(const std::vector<Dir>& a, const std::vector<Dir>& b,
                             const std::vector<std::size_t>& use) {
  if (use.size() < 8) return std::nullopt;
  Eigen::MatrixXd m(static_cast<Eigen::Index>(use.size()), 9);
  for (std::size_t r = 0; r < use.size(); ++r) {
    const Dir &p = a[use[r]], &q = b[use[r]];
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j)
        m(static_cast<Eigen::Index>(r), 3 * i + j) =
            q[static_cast<std::size_t>(i)] * p[static_cast<std::size_t>(j)];
  }
  const Eigen::JacobiSVD<Eigen::MatrixXd> svd(m, Eigen::ComputeFullV);
  const Eigen::VectorXd v = svd.matrixV().col(8);
  Eigen::Matrix3d e;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) e(i, j) = v(3 * i + j);
  const Eigen::JacobiSVD<Eigen::Matrix3d> s(e, Eigen::ComputeFullU | Eigen::ComputeFullV);
  const Eigen::Vector3d sv = s.singularValues();
  if (!(sv(1) > 1e-9)) return std::nullopt;
  const Eigen::Matrix3d made =
      s.matrixU() * Eigen::Vector3d(1, 1, 0).asDiagonal() * s.matrixV().transpose();
  Essential out;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) out[static_cast<std::size_t>(3 * i + j)] = made(i, j);
  return out;
}

int Count(const Essential& e, const std::vector<Dir>& a, const std::vector<Dir>& b,
          double tolerance, std::vector<std::uint8_t>* inlier) {
  int n = 0;
  if (inlier) inlier->assign(a.size(), 0);
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!(EpipolarAngle(e, a[i], b[i]) <= tolerance)) continue;
    ++n;
    if (inlier) (*inlier)[i] = 1;
  }
  return n;
}

}  // namespace

double EpipolarAngle(const Essential& e, const Dir& a, const Dir& b) {
  // The plane's normal through the second station is E a, through the first E' b.
  Dir ea{}, eb{};
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j) {
      ea[i] += e[3 * i + j] * a[j];
      eb[j] += e[3 * i + j] * b[i];
    }
  const double dot = b[0] * ea[0] + b[1] * ea[1] + b[2] * ea[2];
  const double na = std::sqrt(ea[0] * ea[0] + ea[1] * ea[1] + ea[2] * ea[2]);
  const double nb = std::sqrt(eb[0] * eb[0] + eb[1] * eb[1] + eb[2] * eb[2]);
  if (!(na > 1e-15 && nb > 1e-15)) return std::numbers::pi / 2;
  return std::asin(std::min(1.0, std::max(std::fabs(dot) / na, std::fabs(dot) / nb)));
}

Relative EstimateRelative(const std::vector<Dir>& a, const std::vector<Dir>& b, double tolerance,
                          unsigned seed) {
  Relative best;
  const std::size_t n = std::min(a.size(), b.size());
  if (n < 8) return best;
  std::mt19937 random(seed);
  std::vector<std::size_t> all(n), sample(8);
  for (std::size_t i = 0; i < n; ++i) all[i] = i;
  int needed = kMostDraws;
  for (int draw = 0; draw < needed; ++draw) {
    // Eight distinct pairs: the first eight of a partial shuffle.
    for (std::size_t k = 0; k < 8; ++k) {
      std::uniform_int_distribution<std::size_t> pick(k, n - 1);
      std::swap(all[k], all[pick(random)]);
      sample[k] = all[k];
    }
    const std::optional<Essential> e = Fit(a, b, sample);
    if (!e) continue;
    const int inliers = Count(*e, a, b, tolerance, nullptr);
    if (inliers <= best.inliers) continue;
    best.e = *e;
    best.inliers = inliers;
    const double share = static_cast<double>(inliers) / static_cast<double>(n);
    // The chance that a draw holds an outlier; where it rounds to one, the draws go on.
    const double miss = 1 - std::pow(share, 8);
    if (miss <= 0) break;
    if (miss < 1)
      needed = std::min(kMostDraws,
                        static_cast<int>(std::ceil(std::log(1 - kCertainty) / std::log(miss))));
  }
  if (best.inliers < 8) return Relative{};
  // Refitted on all that agree, twice: the inliers may change with the fit.
  for (int round = 0; round < 2; ++round) {
    std::vector<std::uint8_t> mask;
    Count(best.e, a, b, tolerance, &mask);
    std::vector<std::size_t> use;
    for (std::size_t i = 0; i < n; ++i)
      if (mask[i]) use.push_back(i);
    const std::optional<Essential> e = Fit(a, b, use);
    if (!e) break;
    const int inliers = Count(*e, a, b, tolerance, nullptr);
    if (inliers < best.inliers) break;
    best.e = *e;
    best.inliers = inliers;
  }
  best.inliers = Count(best.e, a, b, tolerance, &best.inlier);
  return best;
}

}  // namespace ties
