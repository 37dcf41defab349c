#include "geometry/search/DistanceSearch.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "geometry/Mapping.h"
#include "geometry/TorbelError.h"

namespace {

constexpr double kNearest = 1;
constexpr double kFarthest = 55000;
constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180;

struct V3 {
  double x = 0, y = 0, z = 0;
};
inline V3 operator-(V3 a, V3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline V3 operator*(V3 a, double s) {
  return {a.x * s, a.y * s, a.z * s};
}
inline double Dot(V3 a, V3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Grey value of a 0xAARRGGBB pixel, weighted as the eye weighs the channels.
inline int Grey(std::uint32_t p) {
  return static_cast<int>(((p >> 16 & 255) * 77 + (p >> 8 & 255) * 150 + (p & 255) * 29) >> 8);
}

// A panorama's grey values, smoothed by a 3 x 3 binomial so that they can be read between the
// pixels and a little beside the true place without the match falling apart, and with part of the
// sensor noise gone. A search reads a thin band along two curves: the values are worked out in
// blocks as they are first read. A picture that spans the full turn is stored with a margin on
// either side that repeats the other end, so that a patch may cross the seam.
class GreyImage {
 public:
  explicit GreyImage(const PanoPixels& p) : p_(p), turn_(p.shape.Width()) {
    if (p.bits == nullptr || p.width <= 0 || p.height <= 0) return;
    wraps_ = p.originX == 0 && p.width >= turn_;
    left_ = wraps_ ? -kMargin : p.originX;
    width_ = wraps_ ? turn_ + 2 * kMargin : p.width;
    top_ = p.originY;
    height_ = p.height;
    blocksX_ = (width_ + kBlockW - 1) / kBlockW;
    blocksY_ = (height_ + kBlockH - 1) / kBlockH;
    // Left unset: only the blocks a search reads are ever filled, and so only their pages used.
    values_.reset(new float[static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)]);
    ready_.assign(static_cast<std::size_t>(blocksX_) * static_cast<std::size_t>(blocksY_), 0);
  }

  // Makes the pixels x0..x1, y0..y1 (panorama coordinates, inclusive) readable; false where some
  // lie outside the picture.
  bool Prepare(int x0, int y0, int x1, int y1) {
    if (!values_ || x0 < left_ || y0 < top_ || x1 >= left_ + width_ || y1 >= top_ + height_)
      return false;
    for (int by = (y0 - top_) / kBlockH; by <= (y1 - top_) / kBlockH; ++by) {
      for (int bx = (x0 - left_) / kBlockW; bx <= (x1 - left_) / kBlockW; ++bx) {
        std::uint8_t& ready = ready_[static_cast<std::size_t>(by) * blocksX_ + bx];
        if (!ready) Fill(bx, by);
        ready = 1;
      }
    }
    return true;
  }
  // The caller has prepared the pixels read.
  float At(int x, int y) const { return values_[Index(x - left_, y - top_)]; }
  float Bilinear(double x, double y) const {
    x -= left_;
    y -= top_;
    const int ix = static_cast<int>(x), iy = static_cast<int>(y);
    const float fx = static_cast<float>(x - ix), fy = static_cast<float>(y - iy);
    const float* a = &values_[Index(ix, iy)];
    const float* b = a + width_;
    const float top = a[0] + (a[1] - a[0]) * fx, bottom = b[0] + (b[1] - b[0]) * fx;
    return top + (bottom - top) * fy;
  }
  // Shifts a column by whole turns so that it lies within half a turn of `near`.
  double Near(double column, double near) const {
    return column - turn_ * std::round((column - near) / turn_);
  }
  // Pixels in a full turn.
  int Turn() const { return turn_; }

 private:
  static constexpr int kMargin = 256, kBlockW = 32, kBlockH = 16;

  std::size_t Index(int column, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(column);
  }
  // The source's grey value for a stored column and row, beyond the picture's edge the edge's.
  int Source(int column, int row) const {
    int x = column + left_ - p_.originX;
    if (wraps_) {
      x = ((x % turn_) + turn_) % turn_;
    } else {
      x = std::clamp(x, 0, p_.width - 1);
    }
    const int y = std::clamp(row, 0, p_.height - 1);
    return Grey(p_.bits[y * p_.stride + x]);
  }
  void Fill(int bx, int by) {
    const int c0 = bx * kBlockW, c1 = std::min(c0 + kBlockW, width_);
    const int r0 = by * kBlockH, r1 = std::min(r0 + kBlockH, height_);
    const int w = c1 - c0 + 2, h = r1 - r0 + 2;
    int grey[(kBlockW + 2) * (kBlockH + 2)];
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) grey[j * w + i] = Source(c0 + i - 1, r0 + j - 1);
    int across[kBlockW * (kBlockH + 2)];
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w - 2; ++i)
        across[j * (w - 2) + i] = grey[j * w + i] + 2 * grey[j * w + i + 1] + grey[j * w + i + 2];
    for (int j = 0; j < h - 2; ++j)
      for (int i = 0; i < w - 2; ++i)
        values_[Index(c0 + i, r0 + j)] =
            static_cast<float>(across[j * (w - 2) + i] + 2 * across[(j + 1) * (w - 2) + i] +
                               across[(j + 2) * (w - 2) + i]) /
            16.0f;
  }

  const PanoPixels& p_;
  int turn_;
  bool wraps_ = false;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0, blocksX_ = 0, blocksY_ = 0;
  std::unique_ptr<float[]> values_;
  std::vector<std::uint8_t> ready_;
};

// A survey station as the solver places it: its nodal point in P0's frame (x towards P0's 90
// degrees, y towards its 0 degrees, z up, metres) and the angle its panorama adds to a direction
// of that frame.
struct Station {
  V3 centre;
  double turn = 0;  // degrees
};

// Where a direction seen from a station falls in its panorama, in pixels; the column unwrapped.
struct Pixel {
  double column = 0, row = 0;
};
// A panorama's scale and crop, as the search's doubles.
struct Scale {
  explicit Scale(const Panorama& p)
      : pixPerDeg(p.Width() / 360.0), degPerPix(360.0 / p.Width()), top(double(p.Top())) {}
  double pixPerDeg, degPerPix, top;
};
inline Pixel PixelOf(V3 w, double turn, const Scale& scale) {
  const double horizontal = std::sqrt(w.x * w.x + w.y * w.y);
  return {(std::atan2(w.x, w.y) / kRad + turn + 180) * scale.pixPerDeg,
          (90 - std::atan2(w.z, horizontal) / kRad) * scale.pixPerDeg - scale.top};
}
// The sight line of a pixel position.
inline V3 RayOf(double column, double row, const Scale& scale) {
  const double az = (column * scale.degPerPix - 180) * kRad,
               el = (90 - (row + scale.top) * scale.degPerPix) * kRad;
  return {std::cos(el) * std::sin(az), std::cos(el) * std::cos(az), std::sin(el)};
}

// A surface the aimed patch is assumed to lie on: its normal, and the patch's 3 x 3 control
// points on it for a point at unit distance (at distance d they lie d times as far).
struct Plane {
  V3 normal;
  double facing = 0;  // the normal along the aimed sight line
  V3 control[9];
  bool square = false;  // no plane: the survey patch is the aimed patch's square, unturned
};

// How a patch's samples lie in P0. Where a survey view sees the place smaller than P0 does, P0
// pixels a step apart fall within one of its pixels: the patch then compares little picture, and
// any smooth spot matches it. So the samples are spaced along two perpendicular axes of P0, the
// first turned by `turn` steps of 15 degrees, 2^(stretch / 2) pixels apart, so that each step
// moves about a pixel in the survey view too; and each sample averages P0 over its spacing, as
// the survey view's pixel does.
struct Footprint {
  static constexpr int kTurns = 72, kStretches = 9;  // up to 16 pixels apart
  int turn = 0;
  int stretch[2] = {0, 0};
  int Index() const { return (turn * kStretches + stretch[0]) * kStretches + stretch[1]; }
  bool Unit() const { return stretch[0] == 0 && stretch[1] == 0; }
  // The P0 offsets of one step along either axis.
  void Axes(double& ax, double& ay, double& bx, double& by) const {
    const double t = turn * kPi / kTurns;
    const double a = std::exp2(stretch[0] / 2.0), b = std::exp2(stretch[1] / 2.0);
    ax = a * std::cos(t);
    ay = a * std::sin(t);
    bx = -b * std::sin(t);
    by = b * std::cos(t);
  }
};
constexpr int kFootprints = Footprint::kTurns * Footprint::kStretches * Footprint::kStretches;

// The sample steps of a patch, per axis, with each step's weights of the quadratic through the
// three control steps -half, 0, +half.
struct Layout {
  int half = 0;
  std::vector<int> offsets;
  std::vector<std::array<double, 3>> weights;
  // The aimed patch's values at the samples of each footprint, zero mean and unit length; worked
  // out when first needed, and left empty where P0 has too little picture around the aim.
  std::vector<std::vector<double>> references = std::vector<std::vector<double>>(kFootprints);
  std::vector<std::int8_t> known = std::vector<std::int8_t>(kFootprints, 0);
  Layout(int h, int count) : half(h) {
    for (int k = 0; k < count; ++k) {
      const int o = -h + static_cast<int>(std::lround(2.0 * h * k / (count - 1)));
      const double t = static_cast<double>(o) / h;
      offsets.push_back(o);
      weights.push_back({t * (t - 1) / 2, 1 - t * t, t * (t + 1) / 2});
    }
  }
};

// Where the 3 x 3 control points fall in a survey view.
struct Grid {
  Pixel p[9];
  int half = 0;  // the control points' offset from the centre, in aimed pixels
};

// Whether a patch laid out as `grid` holds enough of the survey picture to compare: squeezed to a
// sliver, it holds too little of it; spread over more than eight pixels to a sample, a different
// part of it, from which the samples pick single pixels. A survey view near the place sees it
// larger one way as it sees it smaller the other, and up to that is left to compare.
bool Holds(const Grid& grid);

// Survey pixels per aimed pixel, as an area, from the control points' spread.
double Determinant(const Grid& grid) {
  const double a = grid.p[5].column - grid.p[3].column, c = grid.p[5].row - grid.p[3].row;
  const double b = grid.p[7].column - grid.p[1].column, d = grid.p[7].row - grid.p[1].row;
  return (a * d - b * c) / (4.0 * grid.half * grid.half);
}

// What depends on the aimed patch's size: its half side, and the sight lines of each footprint's
// control points at that size, worked out when first needed. The search keeps one for its patch;
// a check on the smaller aimed patch makes one of its own.
struct Patch {
  explicit Patch(int h) : half(h) {}
  int half;
  std::vector<std::array<V3, 9>> rays = std::vector<std::array<V3, 9>>(kFootprints);
  std::vector<std::uint8_t> known = std::vector<std::uint8_t>(kFootprints, 0);
};

class Search {
 public:
  Search(const SolverState& s, const std::array<PanoPixels, 3>& panos, const SearchSettings& set)
      : state_(s),
        set_(set),
        shape0_(panos[0].shape),
        scale0_(panos[0].shape),
        scales_{Scale(panos[1].shape), Scale(panos[2].shape)},
        // The first pass steps through the distances by angles the classic panorama's pixel
        // wide at most: it only finds the places to refine, and on finer pixels it would score
        // more places, taking longer, without finding more.
        coarse_{std::max(1.0, panos[1].shape.Width() / double(Panorama::kClassicWidth)),
                std::max(1.0, panos[2].shape.Width() / double(Panorama::kClassicWidth))},
        p0_(panos[0]),
        views_{GreyImage(panos[1]), GreyImage(panos[2])} {}

  // With `half` 0 the patch size follows the texture; else it is `half`.
  DistanceMatch Run(int half);

 private:
  struct Candidate {
    double u = 0;  // the inverse of the distance
    Pixel centre[2];
    double score = -2;
  };
  struct Scored {
    double combined = -2;  // the views' weighed correlations, averaged
    // The same averaged as Fisher's z, in which a near-perfect match in one view moves more than
    // a middling one in the other: where along the line the place lies and how its plane turns.
    double fit = -2;
    double score[2] = {-2, -2};  // each view's correlation
    double sure[2] = {-2, -2};   // and the bound, as Fisher's z, it stays above with some certainty
    int plane = -1;              // Best: the plane that gave them
  };

  bool MakeStations();
  // The aimed patch's values on a footprint; null where P0 lacks the picture.
  const std::vector<double>* Reference(Layout& layout, const Footprint& footprint);
  // The footprint that spaces the samples about a survey pixel apart, where the unit footprint's
  // control points fall on `grid`.
  static Footprint FootprintOf(const Grid& grid);
  // The sight lines of the patch's 3 x 3 control points in P0.
  void AimRays(Patch& patch) const;
  void MakePlanes();
  // A plane with normal `n` (any length) through the candidate point, its control points those of
  // `patch`; false where P0 sees it too flat to hold the patch.
  bool MakePlane(const Patch& patch, V3 n, Plane& plane) const;
  // The plane turned by small steps about two axes in it while that fits better at `u`.
  Plane Tuned(Patch& patch, const Plane& plane, double u, Layout& layout, Scored& scored);
  Pixel Centre(int view, double u) const;
  // Pixels the place moves in a view as the inverse distance goes from u to u + du.
  double Moved(int view, double u, double du) const;
  bool Project(Patch& patch, const Plane& plane, const Footprint& footprint, int view, double u,
               Grid& grid);
  // The survey patch read `shift` pixels beside the grid; `values`, where given, receives its
  // samples.
  double Correlation(int view, const Grid& grid, const Layout& layout,
                     const std::vector<double>& reference, Pixel shift,
                     std::vector<double>* values = nullptr);
  // Both views on one plane, each slid up to `slide` pixels across the line along which the place
  // moves in it, to where it fits best; NaN where a view has no picture there.
  // `settle`: each correlation weighed by how alike neighbouring samples are, not only by their
  // number (slower; for the places a decision is made on).
  Scored Score(Patch& patch, const Plane& plane, double u, Layout& layout, int slide,
               bool settle = false);
  // The best plane's scores.
  Scored Best(Patch& patch, const std::vector<Plane>& planes, double u, Layout& layout, int slide,
              bool settle = false);
  // `coarse`: in the first pass's pixels, those of the classic turn where a view's are finer.
  double Movement(const Candidate& a, const Candidate& b, bool coarse = false) const;
  // The stages of a search. The patch size: false where P0 lacks the picture or the patch is
  // flat (the refusal then in `result`).
  bool ChoosePatch(int forced, DistanceMatch& result);
  // Every place along the line, scored on sparse patches.
  std::vector<Candidate> FirstPass();
  // The places worth refining; `nextBest`, the best score of the rest.
  std::vector<std::size_t> Peaks(const std::vector<Candidate>& samples, double& nextBest);
  struct Refined {
    Candidate place;
    Scored scores;
    Plane plane;
  };
  // The best of the refined peaks; `runnerUp` rises to the best of the others.
  Refined RefinePeaks(const std::vector<Candidate>& samples, const std::vector<std::size_t>& peaks,
                      double& runnerUp);
  // Whether the best place is answered, and if not, why.
  Refusal Decide(const Refined& best, double runnerUp);
  // Whether `best` still fits better than `second` on a patch a growth step larger (the largest
  // patch: smaller), each on its own plane.
  bool KeepsItsLead(const Refined& best, const Refined& second);
  // The best place within two pixels of a first-pass candidate, on whole patches.
  Candidate Refine(const Candidate& c, Layout& fine, Layout& tuning, Scored& scored, Plane& chosen);
  // Whether the smallest patch around the aim, laid on `plane` at `u`, matches both views better
  // than chance.
  bool Agrees(const Plane& plane, double u);
  // Whether a survey view compares the patch at `r` with samples spread over more of P0 than the
  // largest patch, along both axes.
  bool Spread(const Refined& r);

  SolverState state_;
  SearchSettings set_;
  Panorama shape0_;
  Scale scale0_, scales_[2];
  double coarse_[2];  // a view's pixels in one of the first pass's
  GreyImage p0_;
  GreyImage views_[2];
  Station stations_[2];
  V3 aimed_;
  V3 ground_{0, 0, 1};  // the ground's normal
  int cx_ = 0, cy_ = 0;
  Patch patch_{0};
  std::vector<Plane> planes_;  // the planes the aimed patch is laid on
  Refined second_;             // the best of the refined places but one
};

bool Search::MakeStations() {
  try {
    SolveHeights(state_);
    const Real heights[2] = {state_.HeightP1, state_.HeightP2};
    const Real dists[2] = {state_.DistP0P1, state_.DistP0P2};
    const Real hors[2] = {state_.P0zu1Hor, state_.P0zu2Hor};
    const Real backs[2] = {state_.P1zu0Hor, state_.P2zu0Hor};
    for (int k = 0; k < 2; ++k) {
      // As the solver has it: the station stands B away along P0's sight line to its ground
      // mark, `height` above P0's nodal point, and sees P0 at its own measured angle.
      const double b =
          static_cast<double>(Sqrt(Mul(dists[k], dists[k]) - Mul(heights[k], heights[k])));
      const double a = static_cast<double>(hors[k]) * kRad;
      stations_[k].centre = {b * std::sin(a), b * std::cos(a), static_cast<double>(heights[k])};
      stations_[k].turn = static_cast<double>(backs[k] - hors[k]) - 180;
    }
    // The ground as the three stations' marks lay it (each a nodal height below its lens, so
    // that the marks lie as the lenses do): where the site slopes, level ground laid on a patch
    // that spans metres of it fits nowhere. Marks almost in line with P0's say nothing of the
    // slope across them, and a site steeper than ground one walks on is not taken from them.
    const V3 a = stations_[0].centre, b = stations_[1].centre;
    V3 up{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    if (up.z < 0) up = up * -1;
    const double length = std::sqrt(Dot(up, up));
    ground_ = length > 0.1 * std::sqrt(Dot(a, a) * Dot(b, b)) && up.z > std::cos(10 * kRad) * length
                  ? up * (1 / length)
                  : V3{0, 0, 1};
  } catch (const TorbelError&) {
    return false;  // stations that cannot be solved: nothing to search along
  }
  return true;
}

Pixel Search::Centre(int view, double u) const {
  return PixelOf(aimed_ - stations_[view].centre * u, stations_[view].turn, scales_[view]);
}

double Search::Moved(int view, double u, double du) const {
  const Pixel a = Centre(view, u), b = Centre(view, u + du);
  return std::hypot(views_[view].Near(b.column, a.column) - a.column, b.row - a.row);
}

const std::vector<double>* Search::Reference(Layout& layout, const Footprint& footprint) {
  const auto key = static_cast<std::size_t>(footprint.Index());
  if (layout.known[key] == 0) {
    layout.known[key] = -1;
    double ax, ay, bx, by;
    footprint.Axes(ax, ay, bx, by);
    // Each sample averages P0 over its spacing, in a few steps a pixel or so apart.
    const int taps[2] = {std::min(1 << ((footprint.stretch[0] + 1) / 2), 8),
                         std::min(1 << ((footprint.stretch[1] + 1) / 2), 8)};
    const double reach = layout.half + 1;
    const int across = static_cast<int>(std::ceil(reach * (std::fabs(ax) + std::fabs(bx)))) + 2;
    const int down = static_cast<int>(std::ceil(reach * (std::fabs(ay) + std::fabs(by)))) + 2;
    if (!p0_.Prepare(cx_ - across, cy_ - down, cx_ + across, cy_ + down)) return nullptr;
    std::vector<double> values;
    values.reserve(layout.offsets.size() * layout.offsets.size());
    double sum = 0;
    for (int j : layout.offsets)
      for (int i : layout.offsets) {
        double v = 0;
        if (footprint.Unit()) {
          v = p0_.At(cx_ + i, cy_ + j);
        } else {
          for (int tb = 0; tb < taps[1]; ++tb)
            for (int ta = 0; ta < taps[0]; ++ta) {
              const double s = i + (ta + 0.5) / taps[0] - 0.5, t = j + (tb + 0.5) / taps[1] - 0.5;
              v += p0_.Bilinear(cx_ + s * ax + t * bx, cy_ + s * ay + t * by);
            }
          v /= taps[0] * taps[1];
        }
        values.push_back(v);
        sum += v;
      }
    const double mean = sum / static_cast<double>(values.size());
    double squares = 0;
    for (double& v : values) {
      v -= mean;
      squares += v * v;
    }
    const double norm = std::sqrt(squares);
    for (double& v : values) v = norm > 1e-9 ? v / norm : 0;
    layout.references[key] = std::move(values);
    layout.known[key] = 1;
  }
  return layout.known[key] > 0 ? &layout.references[key] : nullptr;
}

Footprint Search::FootprintOf(const Grid& grid) {
  // The survey pixels one P0 pixel moves along either axis, and the directions in which it moves
  // least and most: from the eigenvalues of J^T J of the local map J.
  const double span = 2.0 * grid.half;
  const double a = (grid.p[5].column - grid.p[3].column) / span;
  const double c = (grid.p[5].row - grid.p[3].row) / span;
  const double b = (grid.p[7].column - grid.p[1].column) / span;
  const double d = (grid.p[7].row - grid.p[1].row) / span;
  const double p = a * a + c * c, q = a * b + c * d, r = b * b + d * d;
  const double root = std::sqrt((p - r) * (p - r) / 4 + q * q);
  const double least = std::max((p + r) / 2 - root, 1e-12),
               most = std::max((p + r) / 2 + root, 1e-12);
  Footprint f;
  auto step = [](double squared) {
    // Half octaves of the spacing that makes a step a survey pixel, none where it is one already.
    const double spacing = std::max(1.0, 1 / std::sqrt(squared));
    return std::clamp(static_cast<int>(std::lround(2 * std::log2(spacing))), 0,
                      Footprint::kStretches - 1);
  };
  f.stretch[0] = step(least);
  f.stretch[1] = step(most);
  if (f.Unit()) return f;
  // The eigenvector of the least eigenvalue: (q, least - p), or an axis where q vanishes.
  const double ex = std::fabs(q) > 1e-12 ? q : (p < r ? 1 : 0);
  const double ey = std::fabs(q) > 1e-12 ? least - p : (p < r ? 0 : 1);
  double turn = std::atan2(ey, ex);
  if (turn < 0) turn += kPi;
  f.turn = static_cast<int>(std::lround(turn / (kPi / Footprint::kTurns))) % Footprint::kTurns;
  return f;
}

bool Search::MakePlane(const Patch& patch, V3 n, Plane& plane) const {
  const double length = std::sqrt(Dot(n, n));
  plane.normal = n * (1 / length);
  plane.facing = Dot(plane.normal, aimed_);
  // Seen almost edge-on from P0, a plane holds the patch over a depth the search cannot use; but
  // ground ten metres away, which P0 sees 9 degrees below the horizon, is still ground to find.
  if (std::fabs(plane.facing) < 0.1) return false;
  for (int g = 0; g < 9; ++g) {
    const V3 ray = patch.rays[0][static_cast<std::size_t>(g)];
    const double along = Dot(plane.normal, ray);
    if (along * plane.facing <= 0 || std::fabs(along) < 0.05) return false;
    plane.control[g] = ray * (plane.facing / along);
  }
  return true;
}

void Search::AimRays(Patch& patch) const {
  for (int g = 0; g < 9; ++g)
    patch.rays[0][static_cast<std::size_t>(g)] =
        RayOf(cx_ + (g % 3 - 1) * patch.half, cy_ + (g / 3 - 1) * patch.half, scale0_);
}

void Search::MakePlanes() {
  if (!set_.warp) {
    Plane square;
    square.square = true;
    planes_ = {square};
    return;
  }
  AimRays(patch_);
  auto make = [&](V3 n) {
    Plane plane;
    if (!MakePlane(patch_, n, plane)) return;
    planes_.push_back(plane);
  };
  // Facing P0, the ground below the horizon, and upright walls turned from facing P0 by up to
  // 75 degrees every 15, and at 67.5 too, where P0 sees a wall a third as wide as it is and a
  // degree's turn changes that by a twentieth: a survey view that sees such a wall square-on sees
  // each of P0's pixels as several, and a wall laid 7 degrees off fits nowhere along the line.
  // The refinement turns the best plane a little further where that fits better. The first pass
  // tries every wall too: fine upright stripes laid on a plane 15 degrees off smear in a survey
  // view that sees them obliquely, the right place scored below places where stripes met by
  // chance, was never refined, and one of those was answered.
  const V3 r0 = aimed_;
  make(r0);
  if (Dot(r0, ground_) < -0.01) make(ground_);
  const double azimuth = std::atan2(r0.x, r0.y);
  for (double turn :
       {-75.0, -67.5, -60.0, -45.0, -30.0, -15.0, 15.0, 30.0, 45.0, 60.0, 67.5, 75.0}) {
    const double a = azimuth + turn * kRad;
    make({std::sin(a), std::cos(a), 0});
  }
}

bool Search::Project(Patch& patch, const Plane& plane, const Footprint& footprint, int view,
                     double u, Grid& grid) {
  const Station& st = stations_[view];
  const V3 centre = aimed_ - st.centre * u;
  if (Dot(centre, centre) < 1e-12) return false;
  grid.p[4] = PixelOf(centre, st.turn, scales_[view]);
  const int half = patch.half;
  grid.half = half;
  if (plane.square) {
    for (int g = 0; g < 9; ++g)
      grid.p[g] = {grid.p[4].column + (g % 3 - 1) * half, grid.p[4].row + (g / 3 - 1) * half};
    return true;
  }
  // The station must see the plane's front, as P0 does.
  const double front = Dot(plane.normal, aimed_), seen = Dot(plane.normal, centre);
  if (front * seen <= 0) return false;
  const V3* control = plane.control;
  V3 spread[9];
  if (!footprint.Unit()) {
    const auto key = static_cast<std::size_t>(footprint.Index());
    if (!patch.known[key]) {
      double ax, ay, bx, by;
      footprint.Axes(ax, ay, bx, by);
      for (int g = 0; g < 9; ++g) {
        const double i = (g % 3 - 1) * half, j = (g / 3 - 1) * half;
        patch.rays[key][static_cast<std::size_t>(g)] =
            RayOf(cx_ + i * ax + j * bx, cy_ + i * ay + j * by, scale0_);
      }
      patch.known[key] = 1;
    }
    for (int g = 0; g < 9; ++g) {
      const V3 ray = patch.rays[key][static_cast<std::size_t>(g)];
      const double along = Dot(plane.normal, ray);
      // The wider patch may reach beyond where P0 sees the plane.
      if (along * plane.facing <= 0 || std::fabs(along) < 0.05) return false;
      spread[g] = ray * (plane.facing / along);
    }
    control = spread;
  }
  for (int g = 0; g < 9; ++g) {
    if (g == 4) continue;
    grid.p[g] = PixelOf(control[g] - st.centre * u, st.turn, scales_[view]);
    grid.p[g].column = views_[view].Near(grid.p[g].column, grid.p[4].column);
  }
  return true;
}

bool Holds(const Grid& grid) {
  const double ex = std::hypot(grid.p[5].column - grid.p[3].column, grid.p[5].row - grid.p[3].row);
  const double ey = std::hypot(grid.p[7].column - grid.p[1].column, grid.p[7].row - grid.p[1].row);
  const double span = 2.0 * grid.half;
  return ex > 0.08 * span && ey > 0.08 * span && ex < 8 * span && ey < 8 * span;
}

double Search::Correlation(int view, const Grid& grid, const Layout& layout,
                           const std::vector<double>& reference, Pixel shift,
                           std::vector<double>* values) {
  GreyImage& image = views_[view];
  double left = grid.p[0].column, right = left, top = grid.p[0].row, bottom = top;
  for (const Pixel& p : grid.p) {
    left = std::min(left, p.column);
    right = std::max(right, p.column);
    top = std::min(top, p.row);
    bottom = std::max(bottom, p.row);
  }
  // Where the survey view sees the place larger than P0 does, one P0 sample covers several of its
  // pixels: each sample then averages the survey picture over that stretch, as P0's pixel
  // averaged the surface it saw; read at single points, the survey picture's finer detail would
  // count as misfit.
  const double span = 2.0 * grid.half;
  const Pixel alongA{(grid.p[5].column - grid.p[3].column) / span,
                     (grid.p[5].row - grid.p[3].row) / span};
  const Pixel alongB{(grid.p[7].column - grid.p[1].column) / span,
                     (grid.p[7].row - grid.p[1].row) / span};
  const auto taps = [this](const Pixel& along) {
    const double stretch = std::hypot(along.column, along.row);
    return std::clamp(static_cast<int>(std::lround(stretch / set_.tapSpacing)), 1, set_.maxTaps);
  };
  const int tapsA = taps(alongA), tapsB = taps(alongB);
  // The quadratic between the control points strays a little beyond them.
  const double reach =
      0.2 * std::max(right - left, bottom - top) + 1 +
      0.5 * (std::hypot(alongA.column, alongA.row) + std::hypot(alongB.column, alongB.row));
  const double base = std::floor(grid.p[4].column / image.Turn()) * image.Turn() - shift.column;
  if (!image.Prepare(static_cast<int>(std::floor(left - base - reach)),
                     static_cast<int>(std::floor(top + shift.row - reach)),
                     static_cast<int>(std::ceil(right - base + reach)) + 1,
                     static_cast<int>(std::ceil(bottom + shift.row + reach)) + 1))
    return std::nan("");
  double sum = 0, squares = 0, cross = 0;
  std::size_t i = 0;
  for (const auto& wy : layout.weights) {
    // The row's own three control points, then the quadratic along it.
    Pixel row[3];
    for (int a = 0; a < 3; ++a) {
      row[a].column = wy[0] * grid.p[a].column + wy[1] * grid.p[3 + a].column +
                      wy[2] * grid.p[6 + a].column - base;
      row[a].row =
          wy[0] * grid.p[a].row + wy[1] * grid.p[3 + a].row + wy[2] * grid.p[6 + a].row + shift.row;
    }
    for (const auto& wx : layout.weights) {
      const double x = wx[0] * row[0].column + wx[1] * row[1].column + wx[2] * row[2].column;
      const double y = wx[0] * row[0].row + wx[1] * row[1].row + wx[2] * row[2].row;
      double v = 0;
      if (tapsA * tapsB == 1) {
        v = image.Bilinear(x, y);
      } else {
        for (int tb = 0; tb < tapsB; ++tb)
          for (int ta = 0; ta < tapsA; ++ta) {
            const double s = (ta + 0.5) / tapsA - 0.5, t = (tb + 0.5) / tapsB - 0.5;
            v += image.Bilinear(x + s * alongA.column + t * alongB.column,
                                y + s * alongA.row + t * alongB.row);
          }
        v /= tapsA * tapsB;
      }
      if (values) values->push_back(v);
      sum += v;
      squares += v * v;
      cross += reference[i++] * v;
    }
  }
  const double spread = squares - sum * sum / static_cast<double>(reference.size());
  return spread > 1e-6 ? cross / std::sqrt(spread) : 0;
}

// Correlations compared where their differences mean alike: 0.99 against 0.9 is as clear a lead
// as 0.8 against 0.5.
double Fisher(double r) {
  return std::atanh(std::clamp(r, -0.999, 0.999));
}

// How many of n x n samples count as independent when two patches are correlated, by Bartlett's
// rule: n^2 over the sum of the products of their autocorrelations. Smooth patches have
// neighbours alike, and a correlation between two of them comes high by chance.
double Independent(const std::vector<double>& a, const std::vector<double>& b, std::size_t n) {
  constexpr int kLags = 4;
  auto autocorrelation = [n](const std::vector<double>& v, int dx, int dy) {
    double mean = 0;
    for (double x : v) mean += x;
    mean /= static_cast<double>(v.size());
    double all = 0, shifted = 0;
    const int side = static_cast<int>(n);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        const double here = v[static_cast<std::size_t>(y * side + x)] - mean;
        all += here * here;
        const int x2 = x + dx, y2 = y + dy;
        if (x2 < 0 || x2 >= side || y2 >= side) continue;
        shifted += here * (v[static_cast<std::size_t>(y2 * side + x2)] - mean);
      }
    return all > 1e-12 ? shifted / all : 1.0;
  };
  double sum = 1;
  for (int dy = 0; dy <= kLags; ++dy)
    for (int dx = -kLags; dx <= kLags; ++dx) {
      if (dy == 0 && dx <= 0) continue;
      sum += 2 * autocorrelation(a, dx, dy) * autocorrelation(b, dx, dy);
    }
  return static_cast<double>(n * n) / std::max(sum, 1.0);
}

Search::Scored Search::Score(Patch& patch, const Plane& plane, double u, Layout& layout, int slide,
                             bool settle) {
  Scored out;
  double weighed = 0, fit = 0;
  for (int view = 0; view < 2; ++view) {
    Grid grid;
    if (!Project(patch, plane, Footprint{}, view, u, grid)) return {};
    const Footprint footprint = plane.square ? Footprint{} : FootprintOf(grid);
    if (!footprint.Unit() && !Project(patch, plane, footprint, view, u, grid)) return {};
    // Only once the samples are spread: a patch the survey view squeezes to a sliver may hold
    // enough of it then.
    if (!plane.square && !Holds(grid)) return {};

    const std::vector<double>* reference = Reference(layout, footprint);
    // Measured station geometry a little off puts the place beside the line it is sought along,
    // not along it: the patch slides across the line only, or it would fit as well a pixel or
    // two further along where the line runs steeply. The fit between the whole pixels slid
    // follows the parabola through the best and its neighbours.
    Pixel across{0, 1};
    if (slide > 0) {
      const Pixel a = Centre(view, u), b = Centre(view, u * (1 + 1e-4) + 1e-9);
      const double dc = views_[view].Near(b.column, a.column) - a.column, dr = b.row - a.row;
      const double length = std::hypot(dc, dr);
      if (length > 1e-9) across = {-dr / length, dc / length};
    }
    double best = std::nan("");
    double bestSlide = 0;
    std::vector<double> fits;
    for (int s = -slide; s <= slide && reference; ++s) {
      const double c =
          Correlation(view, grid, layout, *reference, {across.column * s, across.row * s});
      fits.push_back(c);
      if (!(best >= c)) {
        best = c;
        bestSlide = s;
      }
    }
    if (slide > 0 && !std::isnan(best)) {
      // Through the best and its neighbours, or the last three where the best is last, so that
      // the fit does not jump as the best moves from one slide to the next.
      const int at = std::clamp(static_cast<int>(bestSlide), 1 - slide, slide - 1);
      const auto i = static_cast<std::size_t>(at + slide);
      const double a = fits[i - 1], b = fits[i], d = fits[i + 1], curve = a - 2 * b + d;
      if (!std::isnan(a) && !std::isnan(b) && !std::isnan(d) && curve < 0) {
        const double t = std::clamp(0.5 * (a - d) / curve, -1.0, 1.0);
        bestSlide = at + t;
        best = b + 0.5 * (d - a) * t + 0.5 * curve * t * t;
      }
    }
    if (std::isnan(best)) {
      out.combined = out.fit = std::nan("");
      return out;
    }
    out.score[view] = best;
    // A correlation over few independent values comes high by chance: a patch that a survey view
    // shrinks to a few pixels matches any smooth spot. Each view's correlation is weighed down to
    // the bound it stays above with some certainty (two standard deviations of Fisher's z), the
    // values counted as the survey pixels the patch covers, about four to each independent one
    // after the smoothing.
    const double side = 2.0 * patch.half + 1;
    const double area = std::fabs(Determinant(grid)) * side * side;
    double count = std::max(std::min(area, side * side) / 4 - 3, 1.0);
    if (settle) {
      std::vector<double> values;
      values.reserve(reference->size());
      Correlation(view, grid, layout, *reference,
                  {across.column * bestSlide, across.row * bestSlide}, &values);
      count = std::max(Independent(*reference, values, layout.offsets.size()) - 3, 1.0);
    }
    const double z = std::atanh(std::clamp(best, -0.999, 0.999)) - 2 / std::sqrt(count);
    out.sure[view] = z;
    weighed += std::tanh(z);
    fit += z;
  }
  out.combined = weighed / 2;
  out.fit = fit / 2;
  return out;
}

Search::Scored Search::Best(Patch& patch, const std::vector<Plane>& planes, double u,
                            Layout& layout, int slide, bool settle) {
  Scored best;
  bool any = false;
  for (std::size_t k = 0; k < planes.size(); ++k) {
    const Scored s = Score(patch, planes[k], u, layout, slide, settle);
    if (std::isnan(s.combined)) continue;
    any = true;
    if (s.fit > best.fit) {
      best = s;
      best.plane = static_cast<int>(k);
    }
  }
  if (!any) best.combined = best.fit = std::nan("");
  return best;
}

double Search::Movement(const Candidate& a, const Candidate& b, bool coarse) const {
  double moved = 0;
  for (int view = 0; view < 2; ++view) {
    const double dc = std::fabs(a.centre[view].column -
                                views_[view].Near(b.centre[view].column, a.centre[view].column));
    const double scale = coarse ? coarse_[view] : 1;
    moved =
        std::max({moved, dc / scale, std::fabs(a.centre[view].row - b.centre[view].row) / scale});
  }
  return moved;
}

DistanceMatch Search::Run(int forced) {
  DistanceMatch result;
  planes_.clear();
  cx_ = shape0_.Wrapped(shape0_.HorToPixel(state_.CurHor));
  cy_ = shape0_.VertToPixel(state_.CurVert);
  aimed_ = RayOf(cx_, cy_, scale0_);
  if (!MakeStations()) return result;
  if (!ChoosePatch(forced, result)) return result;
  result.half = patch_.half;
  MakePlanes();

  const std::vector<Candidate> samples = FirstPass();
  result.samples = samples.size();
  result.refusal = Refusal::NoMatch;
  if (samples.empty()) return result;
  double runnerUp = -1;
  const std::vector<std::size_t> peaks = Peaks(samples, runnerUp);
  second_ = Refined{};
  const Refined best = RefinePeaks(samples, peaks, runnerUp);
  if (best.scores.combined <= -2) return result;
  result.runnerUp = runnerUp;
  result.score1 = best.scores.score[0];
  result.score2 = best.scores.score[1];
  result.combined = best.scores.combined;
  result.distance =
      std::clamp(1 / static_cast<Real>(best.place.u), Real{kNearest}, Real{kFarthest});
  result.refusal = Decide(best, runnerUp);
  result.found = result.refusal == Refusal::None;
  return result;
}

bool Search::ChoosePatch(int forced, DistanceMatch& result) {
  // The smallest patch that holds enough texture: a larger one spans more depth on a slanted
  // surface, a smaller one too little picture to tell places apart.
  for (int half = forced > 0 ? forced : set_.half;;
       half = std::min(half + set_.growStep, set_.maxHalf)) {
    if (!p0_.Prepare(cx_ - half, cy_ - half, cx_ + half, cy_ + half)) return false;
    const Layout whole(half, 2 * half + 1);
    double sum = 0, squares = 0;
    for (int oy : whole.offsets)
      for (int ox : whole.offsets) {
        const double v = p0_.At(cx_ + ox, cy_ + oy);
        sum += v;
        squares += v * v;
      }
    const double n = static_cast<double>(whole.offsets.size() * whole.offsets.size());
    const double spread = std::sqrt(std::max(squares / n - (sum / n) * (sum / n), 0.0));
    if (spread >= set_.growContrast || half >= set_.maxHalf || forced > 0) {
      // A flat patch matches everything equally well, and so nothing.
      if (spread < set_.minContrast) {
        result.refusal = Refusal::Plain;
        return false;
      }
      patch_ = Patch(half);
      return true;
    }
  }
}

std::vector<Search::Candidate> Search::FirstPass() {
  // The inverse distance stepped so that no projection moves by more than coarseStep pixels,
  // each place scored on sparse patches of the smoothed pictures.
  Layout coarse(patch_.half, set_.coarseSamples);
  std::vector<Candidate> samples;
  double u = 1 / kNearest, step = 1e-6;
  const double last = 1 / kFarthest;
  Candidate here{u, {Centre(0, u), Centre(1, u)}, -2};
  while (u > last) {
    const double next = std::max(u - step, last);
    Candidate there{next, {Centre(0, next), Centre(1, next)}, -2};
    const double moved = Movement(here, there, true);
    if (moved > set_.coarseStep && step > 1e-12) {
      step *= std::max(0.9 * set_.coarseStep / moved, 0.25);
      continue;
    }
    // The line's pace changes slowly along it: the next step is aimed at nine tenths of the most.
    step *= std::clamp(0.9 * set_.coarseStep / std::max(moved, 1e-9), 0.5, 2.0);
    const Scored s = Best(patch_, planes_, next, coarse, 0);
    if (!std::isnan(s.combined)) {
      there.score = s.combined;
      samples.push_back(there);
    }
    u = next;
    here = there;
  }
  return samples;
}

std::vector<std::size_t> Search::Peaks(const std::vector<Candidate>& samples, double& nextBest) {
  // The best few places along the line, each away from the others' peaks; the best of the rest
  // is what the answer must beat besides them.
  const double apart = 2.0 * patch_.half;
  std::vector<std::size_t> order(samples.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return samples[a].score > samples[b].score; });
  std::vector<std::size_t> peaks;
  for (std::size_t i : order) {
    const bool near = std::any_of(peaks.begin(), peaks.end(), [&](std::size_t p) {
      return Movement(samples[i], samples[p]) <= apart;
    });
    if (near) continue;
    if (static_cast<int>(peaks.size()) == set_.refined) {
      nextBest = samples[i].score;
      break;
    }
    peaks.push_back(i);
  }
  return peaks;
}

Search::Refined Search::RefinePeaks(const std::vector<Candidate>& samples,
                                    const std::vector<std::size_t>& peaks, double& runnerUp) {
  // Each refined on whole patches of every plane, below a pixel; the others' scores raise the bar.
  Refined best;
  const int half = patch_.half;
  Layout fine(half, 2 * half + 1);
  // Turning a plane to fit needs fewer samples than placing it.
  Layout tuning(half, std::min(2 * half + 1, set_.tuningSamples));
  for (std::size_t p : peaks) {
    Refined here;
    here.place = Refine(samples[p], fine, tuning, here.scores, here.plane);
    if (here.scores.combined > best.scores.combined) {
      if (best.scores.combined > -2) runnerUp = std::max(runnerUp, best.scores.combined);
      if (best.scores.combined > second_.scores.combined) second_ = best;
      best = here;
    } else {
      runnerUp = std::max(runnerUp, here.scores.combined);
      if (here.scores.combined > second_.scores.combined) second_ = here;
    }
  }
  return best;
}

Refusal Search::Decide(const Refined& best, double runnerUp) {
  if (best.scores.score[0] < set_.minScore || best.scores.score[1] < set_.minScore ||
      best.scores.combined < set_.minCombined) {
    return Refusal::NoMatch;
  }
  if (Fisher(best.scores.combined) - Fisher(runnerUp) < set_.minMargin) return Refusal::Ambiguous;
  // A view that barely moves with the distance matches about as well at any distance near the
  // answer: the other view then fixes it alone, and is held to more.
  const double u = best.place.u, du = std::max(u * 1e-3, 1e-9);
  const double moves[2] = {Moved(0, u, du), Moved(1, u, du)};
  const int lone = moves[0] < set_.loneRatio * moves[1]   ? 1
                   : moves[1] < set_.loneRatio * moves[0] ? 0
                                                          : -1;
  if (lone >= 0 && best.scores.score[lone] < set_.minLoneScore) return Refusal::OneView;
  // A patch grown where the aimed texture is weak may be mostly something else around it, a wall
  // behind a post, and match that: the aimed pixels themselves must agree with the place.
  // So may a patch whose samples a survey view needs spread over more of P0 than the largest
  // patch covers, both ways: where that view sees the place several times smaller than P0 does.
  if ((patch_.half > set_.half || Spread(best)) && !Agrees(best.plane, best.place.u))
    return Refusal::NoMatch;
  // A place may fit the aimed patch by chance, a print of the same motif elsewhere along the line:
  // a patch of another size then holds what lies around it, and the true place fits that better.
  if (set_.crossCheck && second_.scores.combined > -2 && !KeepsItsLead(best, second_))
    return Refusal::Ambiguous;
  return Refusal::None;
}

bool Search::Spread(const Refined& r) {
  for (int view = 0; view < 2; ++view) {
    Grid grid;
    if (r.plane.square || !Project(patch_, r.plane, Footprint{}, view, r.place.u, grid)) continue;
    const Footprint f = FootprintOf(grid);
    const double least = std::exp2(std::min(f.stretch[0], f.stretch[1]) / 2.0);
    if (least * patch_.half > set_.maxHalf) return true;
  }
  return false;
}

bool Search::KeepsItsLead(const Refined& best, const Refined& second) {
  const int half = patch_.half + set_.growStep <= set_.maxHalf ? patch_.half + set_.growStep
                                                               : patch_.half - set_.growStep;
  if (half < 2) return true;
  Patch other(half);
  AimRays(other);
  Layout samples(half, 2 * half + 1);
  const auto fit = [&](const Refined& r) {
    Plane plane = r.plane;
    if (!plane.square && !MakePlane(other, r.plane.normal, plane)) return -2.0;
    const Scored s = Score(other, plane, r.place.u, samples, set_.slide, true);
    return std::isnan(s.combined) ? -2.0 : s.combined;
  };
  return fit(best) > fit(second);
}

bool Search::Agrees(const Plane& plane, double u) {
  Patch core(set_.half);
  AimRays(core);
  Plane small = plane;
  Layout samples(core.half, 2 * core.half + 1);
  const bool laid = plane.square || MakePlane(core, plane.normal, small);
  const Scored s = laid ? Score(core, small, u, samples, set_.slide) : Scored{};
  bool agrees = s.sure[0] > 0 && s.sure[1] > 0;
  // And they must fix the place themselves: a smooth ramp (a sky, a shaded wall) fits a place a
  // couple of pixels along the line as well as the right one, in either view, and the answer is
  // then the grown patch's alone.
  for (int view = 0; view < 2 && agrees; ++view) {
    const double du = std::max(u * 1e-4, 1e-9);
    const double step = set_.localStep * du / std::max(Moved(view, u, du), 1e-12);
    for (const double there : {u - step, u + step}) {
      if (there <= 0) continue;
      const Scored aside = Score(core, small, there, samples, set_.slide);
      if (!std::isnan(aside.score[view]) && s.score[view] - aside.score[view] < set_.minLocalDrop) {
        agrees = false;
      }
    }
  }
  return agrees;
}

Search::Candidate Search::Refine(const Candidate& c, Layout& fine, Layout& tuning, Scored& scored,
                                 Plane& chosen) {
  // How far the inverse distance goes for a pixel's movement here.
  const double du = std::max(c.u * 1e-4, 1e-9);
  Candidate probe{c.u + du, {Centre(0, c.u + du), Centre(1, c.u + du)}, -2};
  const double perPixel = du / std::max(Movement(c, probe), 1e-9);
  const int reach = 2 * set_.refineSteps;  // steps either side: two pixels
  const double step = perPixel / set_.refineSteps;
  std::vector<double> fits(2 * reach + 1, std::nan(""));
  // Every step either side, on the given planes and samples: the best place and plane.
  const auto sweep = [&](const std::vector<Plane>& planes, Layout& samples) {
    double bestScore = -2;
    int at = 0, plane = -1;
    for (int k = -reach; k <= reach; ++k) {
      const double u = c.u + k * step;
      if (u <= 0) continue;
      const Scored s = Best(patch_, planes, u, samples, set_.slide);
      fits[static_cast<std::size_t>(k + reach)] = s.fit;
      if (s.fit > bestScore) {
        bestScore = s.fit;
        at = k;
        plane = s.plane;
      }
    }
    return std::pair{at, plane};
  };
  // Which plane, and about where: on the fewer samples that turning a plane needs.
  auto [bestAt, bestPlane] = sweep(planes_, tuning);
  // The best plane turned to fit better, and the place swept again on it alone on whole patches:
  // a surface turned between the planes tried, or ground that slopes, shifts the peak where the
  // wrong plane is laid on it. Where and how a board seen almost edge-on lies go together: turned
  // at a place a little off, it fits best a little off, so turning and placing take turns until
  // the place stays.
  std::vector<Plane> tuned;
  if (bestPlane >= 0 && !planes_[static_cast<std::size_t>(bestPlane)].square) {
    Scored unused;
    tuned.push_back(planes_[static_cast<std::size_t>(bestPlane)]);
    for (int round = 0; round <= set_.tuningRounds; ++round) {
      const int was = bestAt;
      tuned[0] = Tuned(patch_, tuned[0], c.u + bestAt * step, tuning, unused);
      bestAt = sweep(tuned, fine).first;
      if (round > 0 && bestAt == was) break;
    }
  }
  double offset = bestAt;
  if (bestAt > -reach && bestAt < reach) {
    // The peak between the steps, from the parabola through the best and its neighbours.
    const double a = fits[static_cast<std::size_t>(bestAt - 1 + reach)];
    const double b = fits[static_cast<std::size_t>(bestAt + reach)];
    const double d = fits[static_cast<std::size_t>(bestAt + 1 + reach)];
    const double curve = a - 2 * b + d;
    if (!std::isnan(a) && !std::isnan(d) && curve < 0)
      offset += std::clamp(0.5 * (a - d) / curve, -0.5, 0.5);
  }
  Candidate out = c;
  out.u = c.u + offset * step;
  out.centre[0] = Centre(0, out.u);
  out.centre[1] = Centre(1, out.u);
  const std::vector<Plane>& planes = tuned.empty() ? planes_ : tuned;
  scored = Best(patch_, planes, out.u, fine, set_.slide, true);
  if (scored.plane >= 0) chosen = planes[static_cast<std::size_t>(scored.plane)];
  if (std::isnan(scored.combined)) scored.combined = -2;
  out.score = scored.combined;
  return out;
}

Plane Search::Tuned(Patch& patch, const Plane& plane, double u, Layout& layout, Scored& scored) {
  // Slid across the line as the place is: where the measured station geometry puts the picture a
  // pixel beside the line, a plane turned on the unslid patch fits that offset, not the surface.
  Plane best = plane;
  scored = Score(patch, plane, u, layout, set_.slide);
  if (std::isnan(scored.fit)) scored.combined = scored.fit = -2;
  // Two axes in the plane: level along it, and the steepest way within it.
  const V3 n = plane.normal;
  V3 across{n.y, -n.x, 0};
  if (Dot(across, across) < 1e-6) across = {1, 0, 0};
  across = across * (1 / std::sqrt(Dot(across, across)));
  const V3 up{n.y * across.z - n.z * across.y, n.z * across.x - n.x * across.z,
              n.x * across.y - n.y * across.x};
  // At most about 7 degrees either way: half the step between the walls tried. More freedom would
  // let wrong places fit as well.
  for (double step = 3 * kRad; step > 0.5 * kRad; step /= 2) {
    bool moved = true;
    for (int round = 0; moved && round < 4; ++round) {
      moved = false;
      for (int k = 0; k < 4; ++k) {
        const double t = std::tan(k % 2 ? -step : step);
        const V3 axis = k < 2 ? across : up;
        const V3 turned{best.normal.x + t * axis.x, best.normal.y + t * axis.y,
                        best.normal.z + t * axis.z};
        Plane candidate;
        if (!MakePlane(patch, turned, candidate)) continue;
        const Scored s = Score(patch, candidate, u, layout, set_.slide);
        if (s.fit > scored.fit) {
          scored = s;
          best = candidate;
          moved = true;
        }
      }
    }
  }
  return best;
}

}  // namespace

DistanceMatch SearchDistance(const SolverState& s, const std::array<PanoPixels, 3>& panos,
                             const SearchSettings& settings) {
  if (!settings.Check().empty()) return {};
  Search search(s, panos, settings);
  const DistanceMatch first = search.Run(0);
  // A patch too small to tell the place from its neighbours along the line, or to match well
  // where the surviving detail is coarse, may do with more picture around it: the largest patch
  // is tried once more wherever the first found a place but could not vouch for it.
  if (first.found || first.half == 0 || first.half >= settings.maxHalf) return first;
  DistanceMatch larger = search.Run(settings.maxHalf);
  larger.samples += first.samples;
  return larger;
}
