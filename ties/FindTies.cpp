#include "ties/FindTies.h"

#include <opencv2/core.hpp>
#include <opencv2/features2d.hpp>
#include <opencv2/imgproc.hpp>

#include <Eigen/Geometry>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numbers>
#include <set>
#include <thread>

#include "geometry/search/OnCores.h"
#include "ties/Relative.h"
#include "ties/Tiles.h"

namespace ties {

namespace {

constexpr double kRad = std::numbers::pi / 180;
// OpenCV's SIFT reads a picture doubled in size and halves the positions it finds there without
// the half pixel between the two grids' centres: each lies a quarter pixel right of and below the
// feature (a blob drawn at a known place, in both axes, at any size).
constexpr double kSiftOffset = 0.25;

// A panorama's tiles, read at the settings' scale or the panorama's own where that is coarser.
std::vector<Tile> TilesOf(const Panorama& shape, const TieSettings& set) {
  return TilesFor(shape, std::max(set.degPerPix, static_cast<double>(shape.DegPerPix())));
}

// One tile's features that lie in its own cell.
struct TileFeatures {
  std::vector<Dir> dirs;
  std::vector<cv::Point2d> at;
  cv::Mat descriptors;
};

// The tiles' features, each on its own picture of the tile drawn from the panorama.
TileFeatures Detect(const PanoPixels& p, const Tile& tile, const TieSettings& set) {
  TileFeatures out;
  std::vector<std::uint8_t> grey, mask;
  Draw(p, tile, grey, mask);
  const cv::Mat image(tile.height, tile.width, CV_8UC1, grey.data());
  cv::Mat valid(tile.height, tile.width, CV_8UC1, mask.data());
  // Not within a few pixels of where the picture ends: the edge is no feature of the scene.
  cv::erode(valid, valid, cv::Mat(), cv::Point(-1, -1), 4);
  std::vector<cv::KeyPoint> keys;
  cv::Mat described;
  cv::SIFT::create(set.perTile)->detectAndCompute(image, valid, keys, described);
  std::vector<int> kept;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const Dir d = tile.DirectionAt(keys[k].pt.x - kSiftOffset, keys[k].pt.y - kSiftOffset);
    if (!tile.Owns(d)) continue;
    double column, row;
    PositionOf(p.shape, d, column, row);
    out.dirs.push_back(d);
    out.at.emplace_back(column, row);
    kept.push_back(static_cast<int>(k));
  }
  out.descriptors.create(static_cast<int>(kept.size()), described.cols, described.type());
  for (std::size_t k = 0; k < kept.size(); ++k)
    described.row(kept[k]).copyTo(out.descriptors.row(static_cast<int>(k)));
  return out;
}

// One panorama's features: the tiles' in turn.
using Features = TileFeatures;

// The features of the three panoramas, their tiles shared among the cores; each tile's picture is
// drawn and dropped by the worker that reads it. `going` is asked by the calling thread before
// each of its tiles; once it says no, the others stop too. The tiles are nine tenths of the work.
std::array<Features, 3> DetectAll(const std::array<PanoPixels, 3>& panos, const TieSettings& set,
                                  const Progress& going) {
  struct Job {
    std::size_t pano;
    Tile tile;
  };
  std::vector<Job> jobs;
  for (std::size_t k = 0; k < 3; ++k) {
    for (const Tile& tile : TilesOf(panos[k].shape, set)) jobs.push_back({k, tile});
  }
  std::vector<TileFeatures> done(jobs.size());
  std::atomic<bool> stop{false};
  const std::thread::id caller = std::this_thread::get_id();
  const Stage stages[3] = {Stage::Features0, Stage::Features1, Stage::Features2};
  search::OnCores(
      jobs.size(), 1, [] { return 0; },
      [&](std::size_t i, int&) {
        if (stop.load()) return;
        if (std::this_thread::get_id() == caller && going &&
            !going(stages[jobs[i].pano],
                   0.9 * static_cast<double>(i) / static_cast<double>(jobs.size()))) {
          stop.store(true);
          return;
        }
        done[i] = Detect(panos[jobs[i].pano], jobs[i].tile, set);
      });
  std::array<Features, 3> out;
  if (stop.load()) return out;
  std::array<std::vector<cv::Mat>, 3> descriptors;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    Features& f = out[jobs[i].pano];
    f.dirs.insert(f.dirs.end(), done[i].dirs.begin(), done[i].dirs.end());
    f.at.insert(f.at.end(), done[i].at.begin(), done[i].at.end());
    if (done[i].descriptors.rows > 0) descriptors[jobs[i].pano].push_back(done[i].descriptors);
  }
  for (std::size_t k = 0; k < 3; ++k)
    if (!descriptors[k].empty()) cv::vconcat(descriptors[k], out[k].descriptors);
  return out;
}

// The pairs (index in a, index in b) whose descriptors are each other's nearest, clearly nearer
// than the second nearest.
std::vector<std::pair<int, int>> Match(const Features& a, const Features& b, double ratio) {
  std::vector<std::pair<int, int>> out;
  if (a.descriptors.rows < 2 || b.descriptors.rows < 2) return out;
  cv::FlannBasedMatcher matcher;
  std::vector<std::vector<cv::DMatch>> ab, ba;
  matcher.knnMatch(a.descriptors, b.descriptors, ab, 2);
  matcher.knnMatch(b.descriptors, a.descriptors, ba, 2);
  std::vector<int> back(static_cast<std::size_t>(b.descriptors.rows), -1);
  for (const auto& m : ba)
    if (m.size() == 2 && m[0].distance < ratio * m[1].distance)
      back[static_cast<std::size_t>(m[0].queryIdx)] = m[0].trainIdx;
  for (const auto& m : ab)
    if (m.size() == 2 && m[0].distance < ratio * m[1].distance &&
        back[static_cast<std::size_t>(m[0].trainIdx)] == m[0].queryIdx)
      out.emplace_back(m[0].queryIdx, m[0].trainIdx);
  return out;
}

// The matches a pair's relative orientation agrees with, as a map from a's index to b's, and E.
struct Agreed {
  std::map<int, int> pairs;
  Essential e{};
  bool valid = false;
};

Agreed Agree(const Features& a, const Features& b, const std::vector<std::pair<int, int>>& m,
             double tolerance) {
  std::vector<Dir> da, db;
  for (const auto& [i, j] : m) {
    da.push_back(a.dirs[static_cast<std::size_t>(i)]);
    db.push_back(b.dirs[static_cast<std::size_t>(j)]);
  }
  const Relative r = EstimateRelative(da, db, tolerance);
  Agreed out;
  out.e = r.e;
  out.valid = r.inliers >= 8;
  for (std::size_t k = 0; k < m.size() && out.valid; ++k)
    if (r.inlier[k]) out.pairs[m[k].first] = m[k].second;
  return out;
}

// The level frame's sight lines of a panorama's features, and its lens, as the recorded
// geometry places them.
struct Placed {
  std::vector<Dir> level;
  Dir lens{};
};

Placed Place(const Features& f, const frame::Station<double>& s) {
  Placed out;
  out.lens = {s.lens.x, s.lens.y, s.lens.z};
  out.level.reserve(f.dirs.size());
  for (const Dir& d : f.dirs) {
    const frame::Vec<double> w = frame::TurnBy(
        s.heading, frame::ToLevel(s.pitch, s.roll, frame::Vec<double>{d[0], d[1], d[2]}));
    out.level.push_back({w.x, w.y, w.z});
  }
  return out;
}

// The sine of the angle by which b's sight line lies off the plane through the base between the
// lenses and a's sight line, signed by the side it lies on.
double Across(const Dir& da, const Dir& db, const Dir& base) {
  const Dir n = Cross(base, da);
  const double length = std::sqrt(Dot(n, n));
  return length > 1e-12 ? Dot(n, db) / length : 1;
}

Dir Base(const Placed& a, const Placed& b) {
  return {a.lens[0] - b.lens[0], a.lens[1] - b.lens[1], a.lens[2] - b.lens[2]};
}

// A level sight line turned by the small rotation (about x, y, z, radians).
Dir Turned(const Dir& d, const double w[3]) {
  Eigen::Vector3d axis(w[0], w[1], w[2]);
  const double angle = axis.norm();
  if (angle < 1e-15) return d;
  const Eigen::Vector3d v =
      Eigen::AngleAxisd(angle, axis / angle) * Eigen::Vector3d(d[0], d[1], d[2]);
  return {v.x(), v.y(), v.z()};
}

// A pair's relative orientation settled from the recorded one: b's sight lines turned a little
// and the base between the lenses turned a little (`turns`: three angles each, radians).
struct Settled {
  std::vector<std::uint8_t> in;  // per match: within the tolerance at the end
  double turns[6] = {0, 0, 0, 0, 0, 0};
  Dir base{};
  bool valid = false;
  // The sine by which b's sight line `db` lies off the settled plane through a's `da`.
  double Across(const Dir& da, const Dir& db) const {
    return ties::Across(da, Turned(db, turns), Turned(base, turns + 3));
  }
};

// Settled by Gauss-Newton on the matches within a tolerance that narrows from `prior` to
// `tolerance` (radians); those within it at the end are kept. A scene of one wall leaves
// eight-point estimates undetermined, but not this.
Settled Settle(const Placed& a, const Placed& b, const std::vector<std::pair<int, int>>& m,
               double prior, double tolerance) {
  Settled out;
  out.base = Base(a, b);
  const auto residual = [&](const Settled& s, std::size_t k) {
    return s.Across(a.level[static_cast<std::size_t>(m[k].first)],
                    b.level[static_cast<std::size_t>(m[k].second)]);
  };
  out.in.assign(m.size(), 0);
  for (double limit = prior;; limit = std::max(limit / 2, tolerance)) {
    for (int round = 0; round < 3; ++round) {
      Eigen::Matrix<double, 6, 6> normal = Eigen::Matrix<double, 6, 6>::Zero();
      Eigen::Matrix<double, 6, 1> gradient = Eigen::Matrix<double, 6, 1>::Zero();
      int used = 0;
      for (std::size_t k = 0; k < m.size(); ++k) {
        const double r = residual(out, k);
        out.in[k] = std::fabs(r) <= std::sin(limit);
        if (!out.in[k]) continue;
        ++used;
        Eigen::Matrix<double, 6, 1> row;
        for (int j = 0; j < 6; ++j) {
          Settled moved = out;
          moved.turns[j] += 1e-7;
          row(j) = (residual(moved, k) - r) / 1e-7;
        }
        normal += row * row.transpose();
        gradient += row * r;
      }
      if (used < 8) {
        out.in.assign(m.size(), 0);
        return out;
      }
      // A little damping: what the matches leave open (the base's turn along itself) stays put.
      normal += 1e-6 * (normal.trace() / 6 + 1e-12) * Eigen::Matrix<double, 6, 6>::Identity();
      const Eigen::Matrix<double, 6, 1> step = normal.ldlt().solve(-gradient);
      for (int j = 0; j < 6; ++j) out.turns[j] += step(j);
    }
    if (limit <= tolerance) break;
  }
  for (std::size_t k = 0; k < m.size(); ++k)
    out.in[k] = std::fabs(residual(out, k)) <= std::sin(tolerance);
  out.valid = true;
  return out;
}

}  // namespace

std::vector<adjust::TiePoint> SpreadOver(const std::vector<adjust::TiePoint>& ties, int most) {
  if (static_cast<int>(ties.size()) <= most) return ties;
  std::map<std::pair<int, int>, std::vector<std::size_t>> cells;
  for (std::size_t i = 0; i < ties.size(); ++i)
    cells[{static_cast<int>(std::floor(ties[i].hor[0] / 30)),
           static_cast<int>(std::floor(ties[i].vert[0] / 15))}]
        .push_back(i);
  std::vector<adjust::TiePoint> out;
  for (std::size_t round = 0; static_cast<int>(out.size()) < most; ++round) {
    bool any = false;
    for (const auto& [cell, members] : cells) {
      if (round >= members.size() || static_cast<int>(out.size()) >= most) continue;
      out.push_back(ties[members[round]]);
      any = true;
    }
    if (!any) break;
  }
  return out;
}

std::vector<std::array<double, 2>> FeaturesAt(const PanoPixels& pano, const TieSettings& set) {
  std::vector<std::array<double, 2>> out;
  for (const Tile& tile : TilesOf(pano.shape, set)) {
    const TileFeatures f = Detect(pano, tile, set);
    for (const cv::Point2d& at : f.at) out.push_back({at.x, at.y});
  }
  return out;
}

Found FindTies(const std::array<PanoPixels, 3>& panos,
               const std::optional<frame::Measured<double>>& recorded, const TieSettings& set,
               const Progress& progress) {
  Found found;
  bool going = true;
  const Progress tell = [&](Stage s, double done) {
    going = going && (!progress || progress(s, done));
    return going;
  };
  const std::array<Features, 3> features = DetectAll(panos, set, tell);
  if (!going || !tell(Stage::Matching, 0.9)) {
    found.cancelled = true;
    return found;
  }
  // The tolerance in radians, at the tiles' scale of the coarser panorama.
  double coarsest = set.degPerPix;
  for (const PanoPixels& p : panos)
    coarsest = std::max(coarsest, static_cast<double>(p.shape.DegPerPix()));
  const double tolerance = set.tolerancePx * coarsest * kRad;
  const std::pair<std::size_t, std::size_t> pairs[3] = {{0, 1}, {0, 2}, {1, 2}};
  std::array<Agreed, 3> agreed;
  std::array<Placed, 3> placed;
  std::array<Settled, 3> settled;
  bool prior = false;
  if (recorded) {
    const std::array<frame::Station<double>, 3> stations = frame::Build(*recorded);
    prior = std::isfinite(stations[1].lens.x) && std::isfinite(stations[2].lens.x);
    for (std::size_t k = 0; prior && k < 3; ++k) placed[k] = Place(features[k], stations[k]);
  }
  for (std::size_t k = 0; k < 3; ++k) {
    if (k > 0 && !tell(Stage::Matching, 0.9 + 0.03 * static_cast<double>(k))) {
      found.cancelled = true;
      return found;
    }
    const std::size_t a = pairs[k].first, b = pairs[k].second;
    auto m = Match(features[a], features[b], set.ratio);
    if (prior)
      std::erase_if(m, [&](const std::pair<int, int>& ij) {
        return !(std::fabs(Across(placed[a].level[static_cast<std::size_t>(ij.first)],
                                  placed[b].level[static_cast<std::size_t>(ij.second)],
                                  Base(placed[a], placed[b]))) <= std::sin(set.priorDeg * kRad));
      });
    if (prior) {
      settled[k] = Settle(placed[a], placed[b], m, set.priorDeg * kRad, tolerance);
      for (std::size_t j = 0; j < m.size(); ++j)
        if (settled[k].in[j]) agreed[k].pairs[m[j].first] = m[j].second;
    } else {
      agreed[k] = Agree(features[a], features[b], m, tolerance);
    }
    found.pairs[k].matched = static_cast<int>(m.size());
    found.pairs[k].agreed = static_cast<int>(agreed[k].pairs.size());
  }
  // Tracks: a feature of P0 matched in P1 and in P2, where P1's and P2's features lie on each
  // other's epipolar planes as well (or were matched to each other directly).
  // SIFT gives a blob with two strong orientations twice, at one place: it is one tie point.
  std::set<std::pair<long long, long long>> taken;
  for (const auto& [i, j] : agreed[0].pairs) {
    const auto k = agreed[1].pairs.find(i);
    if (k == agreed[1].pairs.end()) continue;
    const cv::Point2d& at0 = features[0].at[static_cast<std::size_t>(i)];
    if (!taken.insert({std::llround(at0.x * 100), std::llround(at0.y * 100)}).second) continue;
    const auto direct = agreed[2].pairs.find(j);
    const Dir& d1 = features[1].dirs[static_cast<std::size_t>(j)];
    const Dir& d2 = features[2].dirs[static_cast<std::size_t>(k->second)];
    bool closes = false;
    if (direct != agreed[2].pairs.end())
      closes = direct->second == k->second;
    else if (prior)
      closes = settled[2].valid &&
               std::fabs(settled[2].Across(placed[1].level[static_cast<std::size_t>(j)],
                                           placed[2].level[static_cast<std::size_t>(k->second)])) <=
                   std::sin(tolerance);
    else
      closes = agreed[2].valid && EpipolarAngle(agreed[2].e, d1, d2) <= tolerance;
    if (!closes) continue;
    adjust::TiePoint t;
    const int index[3] = {i, j, k->second};
    for (std::size_t v = 0; v < 3; ++v) {
      const cv::Point2d& at = features[v].at[static_cast<std::size_t>(index[v])];
      t.hor[v] = static_cast<double>(panos[v].shape.HorAt(static_cast<Real>(at.x)));
      t.vert[v] = static_cast<double>(panos[v].shape.VertAt(static_cast<Real>(at.y)));
    }
    found.ties.push_back(t);
  }
  found.tracks = static_cast<int>(found.ties.size());
  found.ties = SpreadOver(found.ties, set.mostTies);
  for (std::size_t k = 0; k < found.ties.size(); ++k)
    found.ties[k].label = set.firstLabel + static_cast<int>(k);
  return found;
}

}  // namespace ties
