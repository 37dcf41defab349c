#include "geometry/DistanceSearch.h"

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
constexpr double kPixPerDeg = 68.0 / 3.0;
constexpr double kDegPerPix = 3.0 / 68.0;

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
  explicit GreyImage(const PanoPixels& p) : p_(p) {
    if (p.bits == nullptr || p.width <= 0 || p.height <= 0) return;
    wraps_ = p.originX == 0 && p.width >= PanoWidth;
    left_ = wraps_ ? -kMargin : p.originX;
    width_ = wraps_ ? PanoWidth + 2 * kMargin : p.width;
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
  static double Near(double column, double near) {
    return column - PanoWidth * std::round((column - near) / PanoWidth);
  }

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
      x = ((x % PanoWidth) + PanoWidth) % PanoWidth;
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
inline Pixel PixelOf(V3 w, double turn) {
  const double horizontal = std::sqrt(w.x * w.x + w.y * w.y);
  return {(std::atan2(w.x, w.y) / kRad + turn + 180) * kPixPerDeg,
          (90 - std::atan2(w.z, horizontal) / kRad) * kPixPerDeg};
}
// The sight line of a P0 pixel position.
inline V3 RayOf(double column, double row) {
  const double az = (column * kDegPerPix - 180) * kRad, el = (90 - row * kDegPerPix) * kRad;
  return {std::cos(el) * std::sin(az), std::cos(el) * std::cos(az), std::sin(el)};
}

// A surface the aimed patch is assumed to lie on: its normal, and the patch's 3 x 3 control
// points on it for a point at unit distance (at distance d they lie d times as far).
struct Plane {
  V3 normal;
  V3 control[9];
  bool square = false;  // no plane: the survey patch is the aimed patch's square, unturned
};

// The sample offsets of a patch, per axis, with each offset's weights of the quadratic through
// the three control offsets -half, 0, +half.
struct Layout {
  static constexpr int kTurns = 12, kLengths = 6;
  int half = 0;
  std::vector<int> offsets;
  std::vector<std::array<double, 3>> weights;
  // The aimed patch's values at the offsets, zero mean and unit length: as P0 shows them, and
  // averaged along a direction (kTurns steps of 15 degrees) over 2, 4 ... 32 pixels, as a
  // survey view shows them that squeezes the patch that way. Worked out when first needed.
  std::vector<std::vector<double>> references = std::vector<std::vector<double>>(kTurns * kLengths);
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

// Survey pixels per aimed pixel, as an area, from the control points' spread.
double Determinant(const Grid& grid) {
  const double a = grid.p[5].column - grid.p[3].column, c = grid.p[5].row - grid.p[3].row;
  const double b = grid.p[7].column - grid.p[1].column, d = grid.p[7].row - grid.p[1].row;
  return (a * d - b * c) / (4.0 * grid.half * grid.half);
}

class Search {
 public:
  Search(const SolverState& s, const std::array<PanoPixels, 3>& panos, const SearchSettings& set)
      : state_(s), set_(set), p0_(panos[0]), views_{GreyImage(panos[1]), GreyImage(panos[2])} {}

  // With `half` 0 the patch size follows the texture; else it is `half`.
  DistanceMatch Run(int half);
  // Whether the best place seen shrinks the patch to less than half its side in a survey view.
  bool Shrunk() const { return shrink_ < 0.25; }

 private:
  struct Candidate {
    double u = 0;  // the inverse of the distance
    Pixel centre[2];
    double score = -2;
  };
  struct Scored {
    double combined = -2;        // the views' weighed correlations, averaged
    double shrink = 1;           // the smaller of the views. areas per aimed pixel
    double score[2] = {-2, -2};  // each view's correlation
  };

  bool MakeStations();
  // The reference values that match what a survey view shows of the patch where its control
  // points fall on `grid`.
  const std::vector<double>& Reference(Layout& layout, const Grid& grid);
  std::vector<double> Averaged(const Layout& layout, double turn, int length) const;
  void MakePlanes();
  Pixel Centre(int view, double u) const;
  bool Project(const Plane& plane, int view, double u, Grid& grid) const;
  double Correlation(int view, const Grid& grid, const Layout& layout,
                     const std::vector<double>& reference, double slide);
  // Both views on one plane, each at its best slide; NaN where a view has no picture there.
  Scored Score(const Plane& plane, double u, Layout& layout, int slide);
  // The best plane's scores.
  Scored Best(const std::vector<Plane>& planes, double u, Layout& layout, int slide);
  double Movement(const Candidate& a, const Candidate& b) const;
  // The best place within two pixels of a first-pass candidate, on whole patches.
  Candidate Refine(const Candidate& c, Layout& fine, Scored& scored);

  SolverState state_;
  SearchSettings set_;
  GreyImage p0_;
  GreyImage views_[2];
  Station stations_[2];
  V3 aimed_;
  int cx_ = 0, cy_ = 0;
  int half_ = 0;
  double shrink_ = 1;
  bool averaging_ = false;
  std::vector<Plane> coarsePlanes_, finePlanes_;
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
  } catch (const TorbelError&) {
    return false;  // stations that cannot be solved: nothing to search along
  }
  return true;
}

Pixel Search::Centre(int view, double u) const {
  return PixelOf(aimed_ - stations_[view].centre * u, stations_[view].turn);
}

std::vector<double> Search::Averaged(const Layout& layout, double turn, int length) const {
  const double dx = std::cos(turn), dy = std::sin(turn);
  std::vector<double> values;
  double sum = 0;
  for (int oy : layout.offsets)
    for (int ox : layout.offsets) {
      double v = 0;
      if (length == 1) {
        v = p0_.At(cx_ + ox, cy_ + oy);
      } else {
        for (int k = 0; k < length; ++k) {
          const double t = k - (length - 1) / 2.0;
          v += p0_.Bilinear(cx_ + ox + t * dx, cy_ + oy + t * dy);
        }
        v /= length;
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
  return values;
}

const std::vector<double>& Search::Reference(Layout& layout, const Grid& grid) {
  // The survey pixels per aimed pixel along P0's columns and rows: J. A survey pixel spans the
  // aimed patch over the ellipse J^-1 J^-T, whose long axis is the smallest eigenvector of J^T J.
  const double h2 = 2.0 * half_;
  const double a = (grid.p[5].column - grid.p[3].column) / h2,
               c = (grid.p[5].row - grid.p[3].row) / h2;
  const double b = (grid.p[7].column - grid.p[1].column) / h2,
               d = (grid.p[7].row - grid.p[1].row) / h2;
  const double p = a * a + c * c, q = a * b + c * d, r = b * b + d * d;
  const double smallest = (p + r) / 2 - std::sqrt((p - r) * (p - r) / 4 + q * q);
  int turnStep = 0, lengthStep = 0;
  if (smallest > 1e-12 && averaging_) {
    const double stretch = 1 / smallest;  // squared
    // Both pictures are smoothed alike (about 0.8 pixel); what the survey view smooths beyond
    // that, P0's values are averaged over: a run of L pixels adds L^2 / 12 to the variance.
    const double length = 0.8 * std::sqrt(12 * std::max(stretch - 1, 0.0));
    if (length >= 1.5) {
      lengthStep =
          std::clamp(static_cast<int>(std::lround(std::log2(length))), 1, Layout::kLengths - 1);
      // The eigenvector of the smallest eigenvalue: (q, smallest - p), or (smallest - r, q).
      const double ex = std::fabs(q) > 1e-12 ? q : (p < r ? 1 : 0);
      const double ey = std::fabs(q) > 1e-12 ? smallest - p : (p < r ? 0 : 1);
      double turn = std::atan2(ey, ex);
      if (turn < 0) turn += kPi;
      turnStep = static_cast<int>(std::lround(turn / (kPi / Layout::kTurns))) % Layout::kTurns;
    }
  }
  std::vector<double>& reference =
      layout.references[static_cast<std::size_t>(turnStep * Layout::kLengths + lengthStep)];
  if (reference.empty())
    reference = Averaged(layout, turnStep * kPi / Layout::kTurns, 1 << lengthStep);
  return reference;
}

void Search::MakePlanes() {
  if (!set_.warp) {
    Plane square;
    square.square = true;
    coarsePlanes_ = finePlanes_ = {square};
    return;
  }
  const V3 r0 = aimed_;
  V3 rays[9];
  for (int b = 0; b < 3; ++b)
    for (int a = 0; a < 3; ++a)
      rays[b * 3 + a] = RayOf(cx_ + (a - 1) * half_, cy_ + (b - 1) * half_);
  auto make = [&](V3 n, bool coarse) {
    Plane plane;
    plane.normal = n;
    const double facing = Dot(n, r0);
    // Seen almost edge-on from P0, a plane holds the patch over a depth the search cannot use.
    if (std::fabs(facing) < 0.2) return;
    for (int g = 0; g < 9; ++g) {
      const double along = Dot(n, rays[g]);
      if (along * facing <= 0 || std::fabs(along) < 0.05) return;
      plane.control[g] = rays[g] * (facing / along);
    }
    finePlanes_.push_back(plane);
    if (coarse) coarsePlanes_.push_back(plane);
  };
  // Facing P0, level ground below the horizon, and upright walls turned from facing P0 by up to
  // 75 degrees: the first pass tries walls every 30 degrees, the refinement every 15.
  make(r0, true);
  if (r0.z < -0.01) make({0, 0, 1}, true);
  const double azimuth = std::atan2(r0.x, r0.y);
  for (int turn = -75; turn <= 75; turn += 15) {
    if (turn == 0) continue;
    const double a = azimuth + turn * kRad;
    make({std::sin(a), std::cos(a), 0}, turn % 30 == 0);
  }
}

bool Search::Project(const Plane& plane, int view, double u, Grid& grid) const {
  const Station& st = stations_[view];
  const V3 centre = aimed_ - st.centre * u;
  if (Dot(centre, centre) < 1e-12) return false;
  grid.p[4] = PixelOf(centre, st.turn);
  grid.half = half_;
  if (plane.square) {
    for (int g = 0; g < 9; ++g)
      grid.p[g] = {grid.p[4].column + (g % 3 - 1) * half_, grid.p[4].row + (g / 3 - 1) * half_};
    return true;
  }
  // The station must see the plane's front, as P0 does.
  const double front = Dot(plane.normal, aimed_), seen = Dot(plane.normal, centre);
  if (front * seen <= 0) return false;
  for (int g = 0; g < 9; ++g) {
    if (g == 4) continue;
    grid.p[g] = PixelOf(plane.control[g] - st.centre * u, st.turn);
    grid.p[g].column = GreyImage::Near(grid.p[g].column, grid.p[4].column);
  }
  // A patch squeezed to a sliver or spread far beyond its size holds too little of the picture
  // to compare, or a different part of it.
  const double ex = std::hypot(grid.p[5].column - grid.p[3].column, grid.p[5].row - grid.p[3].row);
  const double ey = std::hypot(grid.p[7].column - grid.p[1].column, grid.p[7].row - grid.p[1].row);
  const double span = 2.0 * half_;
  return ex > 0.08 * span && ey > 0.08 * span && ex < 4 * span && ey < 4 * span;
}

double Search::Correlation(int view, const Grid& grid, const Layout& layout,
                           const std::vector<double>& reference, double slide) {
  GreyImage& image = views_[view];
  double left = grid.p[0].column, right = left, top = grid.p[0].row, bottom = top;
  for (const Pixel& p : grid.p) {
    left = std::min(left, p.column);
    right = std::max(right, p.column);
    top = std::min(top, p.row);
    bottom = std::max(bottom, p.row);
  }
  // The quadratic between the control points strays a little beyond them.
  const double reach = 0.2 * std::max(right - left, bottom - top) + 1;
  const double base = std::floor(grid.p[4].column / PanoWidth) * PanoWidth;
  if (!image.Prepare(static_cast<int>(std::floor(left - base - reach)),
                     static_cast<int>(std::floor(top + slide - reach)),
                     static_cast<int>(std::ceil(right - base + reach)) + 1,
                     static_cast<int>(std::ceil(bottom + slide + reach)) + 1))
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
          wy[0] * grid.p[a].row + wy[1] * grid.p[3 + a].row + wy[2] * grid.p[6 + a].row + slide;
    }
    for (const auto& wx : layout.weights) {
      const double x = wx[0] * row[0].column + wx[1] * row[1].column + wx[2] * row[2].column;
      const double y = wx[0] * row[0].row + wx[1] * row[1].row + wx[2] * row[2].row;
      const double v = image.Bilinear(x, y);
      sum += v;
      squares += v * v;
      cross += reference[i++] * v;
    }
  }
  const double n = static_cast<double>(reference.size());
  const double spread = squares - sum * sum / n;
  return spread > 1e-6 ? cross / std::sqrt(spread) : 0;
}

Search::Scored Search::Score(const Plane& plane, double u, Layout& layout, int slide) {
  Scored out;
  double weighed = 0;
  for (int view = 0; view < 2; ++view) {
    Grid grid;
    if (!Project(plane, view, u, grid)) return {};
    const std::vector<double>& reference = Reference(layout, grid);
    double best = std::nan("");
    for (int s = -slide; s <= slide; ++s) {
      const double c = Correlation(view, grid, layout, reference, s);
      if (!(best >= c)) best = c;
    }
    if (std::isnan(best)) {
      out.combined = std::nan("");
      return out;
    }
    out.score[view] = best;
    // A correlation over few independent values comes high by chance: a patch that a survey view
    // shrinks to a few pixels matches any smooth spot. Each view's correlation is weighed down to
    // the bound it stays above with some certainty (two standard deviations of Fisher's z), the
    // values counted as the survey pixels the patch covers, about four to each independent one
    // after the smoothing.
    const double side = 2.0 * half_ + 1;
    const double area = std::fabs(Determinant(grid)) * side * side;
    out.shrink = std::min(out.shrink, area / (side * side));
    const double count = std::max(std::min(area, side * side) / 4 - 3, 1.0);
    weighed += std::tanh(std::atanh(std::clamp(best, -0.999, 0.999)) - 2 / std::sqrt(count));
  }
  out.combined = weighed / 2;
  return out;
}

Search::Scored Search::Best(const std::vector<Plane>& planes, double u, Layout& layout, int slide) {
  Scored best;
  bool any = false;
  for (const Plane& plane : planes) {
    const Scored s = Score(plane, u, layout, slide);
    if (std::isnan(s.combined)) continue;
    any = true;
    if (s.combined > best.combined) best = s;
  }
  if (!any) best.combined = std::nan("");
  return best;
}

double Search::Movement(const Candidate& a, const Candidate& b) const {
  double moved = 0;
  for (int view = 0; view < 2; ++view) {
    const double dc = std::fabs(a.centre[view].column -
                                GreyImage::Near(b.centre[view].column, a.centre[view].column));
    moved = std::max({moved, dc, std::fabs(a.centre[view].row - b.centre[view].row)});
  }
  return moved;
}

DistanceMatch Search::Run(int forced) {
  DistanceMatch result;
  coarsePlanes_.clear();
  finePlanes_.clear();
  shrink_ = 1;
  cx_ = HorToPixel(state_.CurHor);
  cy_ = VertToPixel(state_.CurVert);
  cx_ = ((cx_ % PanoWidth) + PanoWidth) % PanoWidth;
  aimed_ = RayOf(cx_, cy_);
  if (!MakeStations()) return result;

  // The smallest patch that holds enough texture: a larger one spans more depth on a slanted
  // surface, a smaller one too little picture to tell places apart.
  for (int half = forced > 0 ? forced : set_.half;; half = std::min(half + 4, set_.maxHalf)) {
    if (!p0_.Prepare(cx_ - half, cy_ - half, cx_ + half, cy_ + half)) return result;
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
    half_ = half;
    if (spread >= set_.growContrast || half >= set_.maxHalf || forced > 0) {
      // A flat patch matches everything equally well, and so nothing.
      if (spread < set_.minContrast) return result;
      break;
    }
  }
  result.half = half_;
  MakePlanes();
  Layout coarse(half_, 9);
  // Room for averaging the aimed patch; near the picture's edge it is compared as it stands.
  const int room = half_ + (1 << (Layout::kLengths - 1)) / 2 + 2;
  averaging_ = set_.warp && p0_.Prepare(cx_ - room, cy_ - room, cx_ + room, cy_ + room);

  // First pass: the inverse distance stepped so that no projection moves by more than
  // coarseStep pixels, each place scored on sparse patches of the smoothed pictures.
  std::vector<Candidate> samples;
  double u = 1 / kNearest, step = 1e-6;
  const double last = 1 / kFarthest;
  Candidate here{u, {Centre(0, u), Centre(1, u)}, -2};
  while (u > last) {
    const double next = std::max(u - step, last);
    Candidate there{next, {Centre(0, next), Centre(1, next)}, -2};
    const double moved = Movement(here, there);
    if (moved > set_.coarseStep && step > 1e-12) {
      step /= 2;
      continue;
    }
    if (moved < set_.coarseStep / 2) step *= 1.5;
    const Scored s = Best(coarsePlanes_, next, coarse, 0);
    if (!std::isnan(s.combined)) {
      there.score = s.combined;
      samples.push_back(there);
    }
    u = next;
    here = there;
  }
  result.samples = samples.size();
  if (samples.empty()) return result;

  // The best few places along the line, each away from the others' peaks.
  const double apart = 2.0 * half_;
  std::vector<std::size_t> order(samples.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return samples[a].score > samples[b].score; });
  constexpr std::size_t kRefined = 4;
  std::vector<std::size_t> peaks;
  double nextBest = -1;
  for (std::size_t i : order) {
    const bool near = std::any_of(peaks.begin(), peaks.end(), [&](std::size_t p) {
      return Movement(samples[i], samples[p]) <= apart;
    });
    if (near) continue;
    if (peaks.size() == kRefined) {
      nextBest = samples[i].score;
      break;
    }
    peaks.push_back(i);
  }

  // Each refined on whole patches of every plane, below a pixel.
  Candidate best;
  Scored bestScores;
  double runnerUp = nextBest;
  Layout fine(half_, 2 * half_ + 1);
  for (std::size_t p : peaks) {
    Scored scored;
    const Candidate c = Refine(samples[p], fine, scored);
    if (scored.combined > bestScores.combined) {
      if (bestScores.combined > -2) runnerUp = std::max(runnerUp, bestScores.combined);
      best = c;
      bestScores = scored;
    } else {
      runnerUp = std::max(runnerUp, scored.combined);
    }
  }
  if (bestScores.combined <= -2) return result;
  result.runnerUp = runnerUp;
  result.score1 = bestScores.score[0];
  result.score2 = bestScores.score[1];
  result.combined = bestScores.combined;
  shrink_ = bestScores.shrink;
  result.distance = std::clamp(1 / static_cast<Real>(best.u), Real{kNearest}, Real{kFarthest});
  result.found = result.score1 >= set_.minScore && result.score2 >= set_.minScore &&
                 bestScores.combined >= set_.minCombined &&
                 bestScores.combined - runnerUp >= set_.minMargin;
  return result;
}

Search::Candidate Search::Refine(const Candidate& c, Layout& fine, Scored& scored) {
  // How far the inverse distance goes for a pixel's movement here.
  const double du = std::max(c.u * 1e-4, 1e-9);
  Candidate probe{c.u + du, {Centre(0, c.u + du), Centre(1, c.u + du)}, -2};
  const double perPixel = du / std::max(Movement(c, probe), 1e-9);
  constexpr int kReach = 8;  // quarter pixels either side
  const double quarter = perPixel / 4;
  std::vector<double> combined(2 * kReach + 1, std::nan(""));
  int bestAt = 0;
  double bestScore = -2;
  for (int k = -kReach; k <= kReach; ++k) {
    const double u = c.u + k * quarter;
    if (u <= 0) continue;
    const Scored s = Best(finePlanes_, u, fine, set_.slide);
    combined[static_cast<std::size_t>(k + kReach)] = s.combined;
    if (s.combined > bestScore) {
      bestScore = s.combined;
      bestAt = k;
    }
  }
  double offset = bestAt;
  if (bestAt > -kReach && bestAt < kReach) {
    // The peak between the quarter pixels, from the parabola through the best and its neighbours.
    const double a = combined[static_cast<std::size_t>(bestAt - 1 + kReach)];
    const double b = combined[static_cast<std::size_t>(bestAt + kReach)];
    const double d = combined[static_cast<std::size_t>(bestAt + 1 + kReach)];
    const double curve = a - 2 * b + d;
    if (!std::isnan(a) && !std::isnan(d) && curve < 0)
      offset += std::clamp(0.5 * (a - d) / curve, -0.5, 0.5);
  }
  Candidate out = c;
  out.u = c.u + offset * quarter;
  out.centre[0] = Centre(0, out.u);
  out.centre[1] = Centre(1, out.u);
  scored = Best(finePlanes_, out.u, fine, set_.slide);
  if (std::isnan(scored.combined)) scored.combined = -2;
  out.score = scored.combined;
  return out;
}

}  // namespace

DistanceMatch SearchDistance(const SolverState& s, const std::array<PanoPixels, 3>& panos,
                             const SearchSettings& settings) {
  Search search(s, panos, settings);
  const DistanceMatch first = search.Run(0);
  // Where a survey station sees the place much smaller than P0 does, as with a point close to
  // P0, a patch of P0 covers only a few of its pixels: too little to tell places apart. A larger
  // one covers more.
  if (first.found || first.half >= settings.maxHalf || !search.Shrunk()) return first;
  DistanceMatch larger = search.Run(settings.maxHalf);
  larger.samples += first.samples;
  return larger;
}
