#include "geometry/DistanceSearch.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "geometry/Mapping.h"
#include "geometry/TorbelError.h"

namespace {

constexpr Real kNearest = 1;
constexpr Real kFarthest = 55000;

// Grey value of a 0xAARRGGBB pixel, weighted as the eye weighs the channels.
inline int Grey(std::uint32_t p) {
  return static_cast<int>(((p >> 16 & 255) * 77 + (p >> 8 & 255) * 150 + (p & 255) * 29) >> 8);
}

// Reads a panorama by its own pixel coordinates, as grey values; columns wrap round the full
// turn. Rows are turned grey when first read, as a search reads few of them, many times over.
class Picture {
 public:
  explicit Picture(const PanoPixels& p)
      : p_(p), rows_(static_cast<std::size_t>(std::max(p.height, 0))) {}

  bool Has(int x, int y) const {
    x = Wrap(x) - p_.originX;
    y -= p_.originY;
    return p_.bits != nullptr && x >= 0 && y >= 0 && x < p_.width && y < p_.height;
  }
  // The caller has checked Has().
  int At(int x, int y) const { return Row(y)[Wrap(x) - p_.originX]; }
  // The grey values of row y, from the crop's first column; the caller has checked Has().
  const std::uint8_t* Row(int y) const {
    std::vector<std::uint8_t>& row = rows_[static_cast<std::size_t>(y - p_.originY)];
    if (row.empty()) {
      row.resize(static_cast<std::size_t>(p_.width));
      const std::uint32_t* source = p_.bits + (y - p_.originY) * p_.stride;
      for (int x = 0; x < p_.width; ++x)
        row[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(Grey(source[x]));
    }
    return row.data();
  }
  // Whether the columns x .. x + n - 1 lie side by side in the crop (not across the seam).
  bool Contiguous(int x, int n) const {
    const int left = Wrap(x) - p_.originX;
    return left + n <= p_.width;
  }
  int Column(int x) const { return Wrap(x) - p_.originX; }
  double AtFraction(double x, double y) const {
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    return (At(x0, y0) * (1 - fx) + At(x0 + 1, y0) * fx) * (1 - fy) +
           (At(x0, y0 + 1) * (1 - fx) + At(x0 + 1, y0 + 1) * fx) * fy;
  }

 private:
  static int Wrap(int x) { return ((x % PanoWidth) + PanoWidth) % PanoWidth; }
  const PanoPixels& p_;
  mutable std::vector<std::vector<std::uint8_t>> rows_;
};

// Where one distance puts the point in the two survey panoramas, in pixels (unrounded).
struct Projection {
  double x1, y1, x2, y2;
};

double ColumnStep(double a, double b) {
  double d = std::fabs(a - b);
  return std::min(d, PanoWidth - d);  // across the seam the panorama goes on
}

double Movement(const Projection& a, const Projection& b) {
  return std::max({ColumnStep(a.x1, b.x1), std::fabs(a.y1 - b.y1), ColumnStep(a.x2, b.x2),
                   std::fabs(a.y2 - b.y2)});
}

class Search {
 public:
  Search(const SolverState& s, const std::array<PanoPixels, 3>& panos, const SearchSettings& set)
      : state_(s), p0_(panos[0]), p1_(panos[1]), p2_(panos[2]), set_(set) {}

  DistanceMatch Run();

 private:
  bool Project(Real distance, Projection& out);
  bool TakeReference();
  // Normalised cross-correlation of the reference with the patch centred on (x, y) of a
  // survey picture, the patch read at whole or fractional pixels.
  double Correlation(const Picture& picture, double x, double y, bool fractional) const;
  // The best correlation while the patch slides up and down; NaN where the picture has no
  // patch there.
  double Score(int view, double x, double y, bool fractional);
  double Combined(const Projection& p, bool fractional, double* s1 = nullptr, double* s2 = nullptr);

  SolverState state_;
  Picture p0_, p1_, p2_;
  SearchSettings set_;
  std::vector<double> reference_;  // zero mean, unit length
  std::vector<float> referenceFloat_;
  std::unordered_map<std::uint64_t, double> cache_;
};

bool Search::Project(Real distance, Projection& out) {
  state_.CurDist = distance;
  try {
    // The heights depend on the stations alone: worked out once, in Run.
    SolveStations(state_);
  } catch (const TorbelError&) {
    return false;  // a distance the station geometry cannot place: no match there
  }
  out = {static_cast<double>(ShiftedHor(state_.P1Hor) * PixPerDeg),
         static_cast<double>((90 - state_.P1Vert) * PixPerDeg),
         static_cast<double>(ShiftedHor(state_.P2Hor) * PixPerDeg),
         static_cast<double>((90 - state_.P2Vert) * PixPerDeg)};
  return true;
}

bool Search::TakeReference() {
  const int cx = HorToPixel(state_.CurHor), cy = VertToPixel(state_.CurVert);
  const int h = set_.half;
  double sum = 0;
  for (int dy = -h; dy <= h; ++dy) {
    for (int dx = -h; dx <= h; ++dx) {
      if (!p0_.Has(cx + dx, cy + dy)) return false;
      reference_.push_back(p0_.At(cx + dx, cy + dy));
      sum += reference_.back();
    }
  }
  const double mean = sum / static_cast<double>(reference_.size());
  double squares = 0;
  for (double& v : reference_) {
    v -= mean;
    squares += v * v;
  }
  // A flat patch matches everything equally well, and so nothing.
  if (std::sqrt(squares / static_cast<double>(reference_.size())) < set_.minContrast) return false;
  const double length = std::sqrt(squares);
  for (double& v : reference_) v /= length;
  referenceFloat_.assign(reference_.begin(), reference_.end());
  return true;
}

double Search::Correlation(const Picture& picture, double x, double y, bool fractional) const {
  const int h = set_.half, side = 2 * h + 1;
  double sum = 0, squares = 0, cross = 0;
  std::size_t i = 0;
  const int ix = static_cast<int>(x), iy = static_cast<int>(y);
  if (!fractional && picture.Contiguous(ix - h, side)) {
    // The common case, on whole pixels within one row of grey values.
    for (int dy = -h; dy <= h; ++dy) {
      const std::uint8_t* row = picture.Row(iy + dy) + picture.Column(ix - h);
      float rowSum = 0, rowSquares = 0, rowCross = 0;
      for (int dx = 0; dx < side; ++dx, ++i) {
        const float v = row[dx];
        rowSum += v;
        rowSquares += v * v;
        rowCross += referenceFloat_[i] * v;
      }
      sum += rowSum;
      squares += rowSquares;
      cross += rowCross;
    }
  } else {
    for (int dy = -h; dy <= h; ++dy) {
      for (int dx = -h; dx <= h; ++dx, ++i) {
        const double v =
            fractional ? picture.AtFraction(x + dx, y + dy) : picture.At(ix + dx, iy + dy);
        sum += v;
        squares += v * v;
        cross += reference_[i] * v;
      }
    }
  }
  const double n = static_cast<double>(reference_.size());
  const double spread = squares - sum * sum / n;
  return spread > 1e-9 ? cross / std::sqrt(spread) : 0;
}

double Search::Score(int view, double x, double y, bool fractional) {
  const Picture& picture = view == 1 ? p1_ : p2_;
  const int h = set_.half + (fractional ? 1 : 0);
  double best = std::nan("");
  for (int slide = -set_.slide; slide <= set_.slide; ++slide) {
    const double sy = y + slide;
    const int top = static_cast<int>(std::floor(sy)) - h,
              left = static_cast<int>(std::floor(x)) - h;
    if (!picture.Has(left, top) || !picture.Has(left + 2 * h + 1, top + 2 * h + 1)) continue;
    double c;
    if (fractional) {
      c = Correlation(picture, x, sy, true);
    } else {
      // Whole pixels repeat from one distance to the next: each is correlated once.
      const int ix = static_cast<int>(std::lround(x)), iy = static_cast<int>(std::lround(sy));
      const std::uint64_t key =
          (std::uint64_t(view) << 62) | (std::uint64_t(ix & 0xFFFFFFF) << 32) | std::uint32_t(iy);
      const auto found = cache_.find(key);
      if (found != cache_.end()) {
        c = found->second;
      } else {
        c = Correlation(picture, ix, iy, false);
        cache_.emplace(key, c);
      }
    }
    if (!(best >= c)) best = c;
  }
  return best;
}

double Search::Combined(const Projection& p, bool fractional, double* s1, double* s2) {
  const double a = Score(1, p.x1, p.y1, fractional), b = Score(2, p.x2, p.y2, fractional);
  if (s1 != nullptr) *s1 = a;
  if (s2 != nullptr) *s2 = b;
  return (a + b) / 2;  // NaN where either view has no picture
}

DistanceMatch Search::Run() {
  DistanceMatch result;
  if (!TakeReference()) return result;
  try {
    SolveHeights(state_);
  } catch (const TorbelError&) {
    return result;  // stations that cannot be solved: nothing to search along
  }

  // The projections move with the inverse of the distance, nearly in proportion: that is the
  // axis to step along, each step short enough to move no projection by more than half a pixel.
  struct Sample {
    Real u;
    Projection p;
    double score;
  };
  std::vector<Sample> samples;
  Real u = 1 / kNearest;
  const Real last = 1 / kFarthest;
  Real step = 1e-6L;
  Projection here{};
  bool haveHere = Project(1 / u, here);
  while (u > last) {
    const Real next = std::max(u - step, last);
    Projection there{};
    if (!Project(1 / next, there)) {
      u = next;
      haveHere = false;
      continue;
    }
    if (haveHere) {
      const double moved = Movement(here, there);
      if (moved > 0.5 && step > 1e-12L) {
        step /= 2;
        continue;
      }
      if (moved < 0.25) step *= 1.5L;
    }
    const double score = Combined(there, false);
    if (!std::isnan(score)) samples.push_back({next, there, score});
    u = next;
    here = there;
    haveHere = true;
  }
  result.samples = samples.size();
  if (samples.empty()) return result;

  const auto best =
      std::max_element(samples.begin(), samples.end(),
                       [](const Sample& a, const Sample& b) { return a.score < b.score; });
  // The next best place along the line, away from the best's own peak.
  const double apart = 2 * set_.half;
  double runnerUp = -1;
  for (const Sample& s : samples) {
    if (Movement(s.p, best->p) > apart) runnerUp = std::max(runnerUp, s.score);
  }
  result.runnerUp = runnerUp;

  // Refine between the neighbours of the best sample, reading the survey pictures between
  // their pixels.
  const auto index = static_cast<std::size_t>(best - samples.begin());
  const Real from = samples[index > 2 ? index - 3 : 0].u;
  const Real to = samples[std::min(index + 3, samples.size() - 1)].u;
  constexpr int kSteps = 24;
  Real bestU = best->u;
  double bestScore = -2;
  for (int i = 0; i <= kSteps; ++i) {
    const Real candidate = from + (to - from) * i / kSteps;
    Projection p{};
    if (candidate <= 0 || !Project(1 / candidate, p)) continue;
    const double score = Combined(p, true);
    if (score > bestScore) {
      bestScore = score;
      bestU = candidate;
    }
  }
  Projection final{};
  if (!Project(1 / bestU, final)) return result;
  Combined(final, true, &result.score1, &result.score2);
  result.distance = std::clamp(1 / bestU, kNearest, kFarthest);
  result.found = result.score1 >= set_.minScore && result.score2 >= set_.minScore &&
                 bestScore - runnerUp >= set_.minMargin;
  return result;
}

}  // namespace

DistanceMatch SearchDistance(const SolverState& s, const std::array<PanoPixels, 3>& panos,
                             const SearchSettings& settings) {
  return Search(s, panos, settings).Run();
}
