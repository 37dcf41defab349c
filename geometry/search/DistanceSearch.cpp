#include "geometry/search/DistanceSearch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "geometry/search/Aim.h"
#include "geometry/search/AimedSide.h"
#include "geometry/search/Correlation.h"
#include "geometry/search/Footprint.h"
#include "geometry/search/Grid.h"
#include "geometry/search/OnCores.h"
#include "geometry/search/Patch.h"
#include "geometry/search/Plane.h"
#include "geometry/search/Sight.h"
#include "geometry/search/Stations.h"
#include "geometry/search/Views.h"

namespace search {

namespace {

constexpr double kNearest = 1;
constexpr double kFarthest = 55000;
// A refinement looks this many pixels either side of a first-pass place.
constexpr int kRefineReach = 2;
// A plane is turned to fit in steps from this many degrees, halved while above the finest,
constexpr double kFirstTurn = 3;
constexpr double kFinestTurn = 0.5;
// each step taken at most this many times: at most about 7 degrees either way, half the step
// between the walls tried. More freedom would let wrong places fit as well.
constexpr int kTurnRounds = 4;
// The first pass's places go to the cores in runs of this many.
constexpr std::size_t kFirstPassRun = 64;
// The first pass works out how a plane's pixels look in the survey views at every this many places.
constexpr std::size_t kScaleEvery = 4;

class Search {
 public:
  Search(const SolverState& s, const std::array<PanoPixels, 3>& panos, const SearchSettings& set);

  // With `forced` 0 the patch size follows the texture; else its half side is `forced`.
  DistanceMatch Run(int forced);

 private:
  struct Refined {
    Candidate place;
    Scored scores;
    Plane plane;
  };
  // The refined places: the best, the best of the others, and the best combined score along the
  // line but the best's.
  struct Ranking {
    Refined best, second;
    double runnerUp = -1;
  };

  // The stages of a search. The patch's half side; 0 where P0 lacks the picture or the patch is
  // flat, with the refusal.
  std::pair<int, Refusal> ChoosePatch(int forced);
  // The planes the aimed patch is laid on.
  std::vector<Plane> PlanesFor(Patch& patch);
  // Every place along the line, scored on sparse patches.
  std::vector<Candidate> FirstPass(Patch& patch, const std::vector<Plane>& planes);
  // Which planes the first pass scores at each place: each at fewer where a view sees P0's pixels
  // on it larger than its own.
  std::vector<std::vector<std::uint8_t>> Thinned(const Patch& patch,
                                                 const std::vector<Plane>& planes,
                                                 const std::vector<Candidate>& places);
  // The places worth refining, and the best score of the rest (-1 where none is left).
  std::pair<std::vector<std::size_t>, double> Peaks(const std::vector<Candidate>& samples,
                                                    int half) const;
  // The peaks refined; the best score of the rest raises the runner-up.
  Ranking RefinePeaks(Patch& patch, const std::vector<Plane>& planes,
                      const std::vector<Candidate>& samples, const std::vector<std::size_t>& peaks,
                      double nextBest);
  // The best place within two pixels of a first-pass candidate, on whole patches.
  Refined Refine(Patch& patch, const std::vector<Plane>& planes, const Candidate& c, Layout& fine,
                 Layout& tuning);
  // The plane turned by small steps about two axes in it while that fits better at `u`.
  Plane Tuned(Patch& patch, const Plane& plane, double u, Layout& layout);
  // Whether the best place is answered, and if not, why.
  Refusal Decide(Patch& patch, const Ranking& ranking);
  // Whether `best` still fits better than `second` on a patch a growth step larger than `half`
  // (the largest patch: smaller), each on its own plane.
  bool KeepsItsLead(int half, const Refined& best, const Refined& second);
  // Whether `window`, a patch of the smallest size that holds the aim, laid on `plane` at `u`,
  // matches both views better than chance and fixes the place there: in both, or, `alone`, in
  // one that matches as well as a view that decides alone must.
  bool Agrees(Patch& window, const Plane& plane, double u, bool alone);
  // Whether each survey view, sought freely around the place at `r`, shows the aimed patch best
  // within reach of that place: where the station frame is off, the line runs beside what the
  // pictures show, and a place along it that fits nearly as well is not where the point is.
  bool ShownThere(const Patch& patch, const Refined& r);
  // Where nothing along the line matches: whether both survey views, sought freely further
  // around the best place, match well beside the line, which is then not where the pictures are.
  bool ShownBeside(const Patch& patch, const Refined& r);
  // Where each survey view shows the patch best around the place at `r`, sought freely up to
  // `reach` pixels (every `stride`-th first), the two views on two cores.
  std::array<Views::Free, 2> FreeInBoth(const Patch& patch, const Refined& r, int reach,
                                        int stride);
  // Whether a survey view compares the patch at `r` with samples spread over more of P0 than the
  // largest patch, along both axes.
  bool Spread(Patch& patch, const Refined& r);

  // The same plane for a patch of another size; nothing where P0 sees it too flat for that one.
  std::optional<Plane> Relaid(Patch& patch, const Plane& plane) const;

  SearchSettings set_;
  Aim aim_;
  std::optional<Stations> stations_;  // nothing where they cannot be solved
  Views views_;
};

Search::Search(const SolverState& s, const std::array<PanoPixels, 3>& panos,
               const SearchSettings& set)
    : set_(set),
      aim_(panos[0], s.CurHor, s.CurVert),
      stations_(PlaceStations(s)),
      views_(aim_, panos[1], panos[2], stations_.value_or(Stations{}), set_) {}

DistanceMatch Search::Run(int forced) {
  DistanceMatch result;
  if (!stations_) return result;  // stations that cannot be solved: nothing to search along
  const auto [half, refusal] = ChoosePatch(forced);
  if (half == 0) {
    result.refusal = refusal;
    return result;
  }
  result.half = half;
  Patch patch(half);
  const std::vector<Plane> planes = PlanesFor(patch);

  const std::vector<Candidate> samples = FirstPass(patch, planes);
  result.samples = samples.size();
  result.refusal = Refusal::NoMatch;
  if (samples.empty()) return result;
  const auto [peaks, nextBest] = Peaks(samples, half);
  const Ranking ranking = RefinePeaks(patch, planes, samples, peaks, nextBest);
  const Refined& best = ranking.best;
  if (best.scores.combined <= -2) return result;
  result.runnerUp = ranking.runnerUp;
  result.score1 = best.scores.score[0];
  result.score2 = best.scores.score[1];
  result.combined = best.scores.combined;
  result.distance =
      std::clamp(1 / static_cast<Real>(best.place.u), Real{kNearest}, Real{kFarthest});
  result.refusal = Decide(patch, ranking);
  result.found = result.refusal == Refusal::None;
  return result;
}

std::pair<int, Refusal> Search::ChoosePatch(int forced) {
  // The smallest patch that holds enough texture: a larger one spans more depth on a slanted
  // surface, a smaller one too little picture to tell places apart.
  for (int half = forced > 0 ? forced : set_.half;;
       half = std::min(half + set_.growStep, set_.maxHalf)) {
    const std::optional<double> spread = aim_.Spread(half);
    if (!spread) return {0, Refusal::NoPicture};
    if (*spread >= set_.growContrast || half >= set_.maxHalf || forced > 0) {
      // A flat patch matches everything equally well, and so nothing.
      if (*spread < set_.minContrast) return {0, Refusal::Plain};
      return {half, Refusal::None};
    }
  }
}

std::vector<Plane> Search::PlanesFor(Patch& patch) {
  if (!set_.warp) {
    Plane square;
    square.square = true;
    return {square};
  }
  // The refinement turns the best of them a little further where that fits better.
  return PlanesTried(aim_.Rays(patch, Footprint{}), aim_.Ray(), stations_->ground);
}

std::vector<Candidate> Search::FirstPass(Patch& patch, const std::vector<Plane>& planes) {
  // The inverse distance stepped so that no projection moves by more than coarseStep pixels.
  std::vector<Candidate> places;
  double u = 1 / kNearest, step = 1e-6;
  const double last = 1 / kFarthest;
  Candidate here = views_.At(u);
  while (u > last) {
    const double next = std::max(u - step, last);
    const Candidate there = views_.At(next);
    const double moved = views_.Movement(here, there, true);
    if (moved > set_.coarseStep && step > 1e-12) {
      step *= std::max(0.9 * set_.coarseStep / moved, 0.25);
      continue;
    }
    // The line's pace changes slowly along it: the next step is aimed at nine tenths of the most.
    step *= std::clamp(0.9 * set_.coarseStep / std::max(moved, 1e-9), 0.5, 2.0);
    places.push_back(there);
    u = next;
    here = there;
  }
  const std::vector<std::vector<std::uint8_t>> scored = Thinned(patch, planes, places);
  // Each place scored on sparse patches of the smoothed pictures, the places shared out in runs
  // among the machine's cores. Each worker keeps its own sight lines and samples; the pictures
  // are filled once, by whichever reads a block first.
  std::vector<double> scores(places.size());
  struct Worker {
    Patch patch;
    Layout coarse;
    std::vector<Plane> planes;
  };
  OnCores(
      places.size(), kFirstPassRun,
      [&] {
        return Worker{
            Patch(patch.half, patch.column, patch.row), Layout(patch.half, set_.coarseSamples), {}};
      },
      [&](std::size_t i, Worker& w) {
        w.planes.clear();
        for (std::size_t k = 0; k < planes.size(); ++k)
          if (scored[i][k]) w.planes.push_back(planes[k]);
        scores[i] = w.planes.empty()
                        ? std::nan("")
                        : views_.Best(w.patch, w.planes, places[i].u, w.coarse, 0).combined;
      });
  std::vector<Candidate> samples;
  samples.reserve(places.size());
  for (std::size_t i = 0; i < places.size(); ++i) {
    if (std::isnan(scores[i])) continue;
    places[i].score = scores[i];
    samples.push_back(places[i]);
  }
  return samples;
}

std::vector<std::vector<std::uint8_t>> Search::Thinned(const Patch& patch,
                                                       const std::vector<Plane>& planes,
                                                       const std::vector<Candidate>& places) {
  // How many of each view's pixels one of P0's spans on each plane at every few places; 0 where
  // the view does not see that plane there. It changes slowly along the line: the places between
  // take the lesser of the two around them.
  const std::size_t count = places.size(), kinds = planes.size();
  if (count == 0) return {};
  const std::size_t probes = (count - 1 + kScaleEvery - 1) / kScaleEvery + 1;
  std::vector<std::array<double, 2>> probed(probes * kinds);
  OnCores(
      probes, kFirstPassRun / kScaleEvery,
      [&] { return Patch(patch.half, patch.column, patch.row); },
      [&](std::size_t j, Patch& own) {
        const double u = places[std::min(j * kScaleEvery, count - 1)].u;
        for (std::size_t k = 0; k < kinds; ++k)
          for (int view = 0; view < 2; ++view) {
            Grid grid;
            probed[j * kinds + k][static_cast<std::size_t>(view)] =
                !planes[k].square && views_.Project(own, planes[k], Footprint{}, view, u, grid)
                    ? LeastScale(grid)
                    : 0;
          }
      });
  std::vector<std::array<double, 2>> scale(count * kinds);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t a = i / kScaleEvery, b = std::min(a + 1, probes - 1);
    for (std::size_t k = 0; k < kinds; ++k)
      for (std::size_t view = 0; view < 2; ++view) {
        const double sa = probed[a * kinds + k][view], sb = probed[b * kinds + k][view];
        scale[i * kinds + k][view] = sa > 0 && sb > 0 ? std::min(sa, sb) : std::max(sa, sb);
      }
  }
  // Where a view sees each of P0's pixels on a plane as several of its own, near that station,
  // the samples average over as many, and moving by one of its pixels changes them little: there
  // the plane is scored at places a pixel of P0 apart as that view sees it, the last before the
  // next would lie further.
  std::vector<std::vector<std::uint8_t>> scored(count, std::vector<std::uint8_t>(kinds, 1));
  for (std::size_t k = 0; k < kinds; ++k) {
    if (planes[k].square) continue;
    std::vector<std::size_t> seen;
    for (std::size_t i = 0; i < count; ++i) {
      if (scale[i * kinds + k][0] > 0 && scale[i * kinds + k][1] > 0) seen.push_back(i);
      scored[i][k] = 0;
    }
    for (std::size_t n = 0, from = 0; n < seen.size(); ++n) {
      const std::size_t i = seen[n];
      bool keep = n == 0 || n + 1 == seen.size();
      if (!keep) {
        const std::size_t a = seen[from], b = seen[n + 1];
        std::array<double, 2> step;
        for (std::size_t view = 0; view < 2; ++view)
          step[view] = std::max(views_.Coarse(static_cast<int>(view)),
                                std::min(scale[a * kinds + k][view], scale[b * kinds + k][view]));
        keep = views_.Movement(places[a], places[b], step) > set_.coarseStep;
      }
      if (keep) {
        scored[i][k] = 1;
        from = n;
      }
    }
  }
  return scored;
}

std::pair<std::vector<std::size_t>, double> Search::Peaks(const std::vector<Candidate>& samples,
                                                          int half) const {
  // The best few places along the line, each away from the others' peaks; the best of the rest
  // is what the answer must beat besides them.
  const double apart = 2.0 * half;
  std::vector<std::size_t> order(samples.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return samples[a].score > samples[b].score; });
  std::vector<std::size_t> peaks;
  for (std::size_t i : order) {
    const bool near = std::any_of(peaks.begin(), peaks.end(), [&](std::size_t p) {
      return views_.Movement(samples[i], samples[p]) <= apart;
    });
    if (near) continue;
    if (static_cast<int>(peaks.size()) == set_.refined) return {peaks, samples[i].score};
    peaks.push_back(i);
  }
  return {peaks, -1};
}

Search::Ranking Search::RefinePeaks(Patch& patch, const std::vector<Plane>& planes,
                                    const std::vector<Candidate>& samples,
                                    const std::vector<std::size_t>& peaks, double nextBest) {
  // Each refined on whole patches of every plane, below a pixel; the others' scores raise the bar.
  Ranking r;
  r.runnerUp = nextBest;
  const int half = patch.half;
  // The peaks shared among the cores, each worker with its own samples: whole patches to place,
  // and fewer to turn a plane, which needs fewer than placing it.
  struct Worker {
    Patch patch;
    Layout fine, tuning;
  };
  std::vector<Refined> refined(peaks.size());
  OnCores(
      peaks.size(), 1,
      [&] {
        return Worker{Patch(half, patch.column, patch.row), Layout(half, 2 * half + 1),
                      Layout(half, std::min(2 * half + 1, set_.tuningSamples))};
      },
      [&](std::size_t k, Worker& w) {
        refined[k] = Refine(w.patch, planes, samples[peaks[k]], w.fine, w.tuning);
      });
  for (const Refined& here : refined) {
    if (here.scores.combined > r.best.scores.combined) {
      if (r.best.scores.combined > -2) r.runnerUp = std::max(r.runnerUp, r.best.scores.combined);
      if (r.best.scores.combined > r.second.scores.combined) r.second = r.best;
      r.best = here;
    } else {
      r.runnerUp = std::max(r.runnerUp, here.scores.combined);
      if (here.scores.combined > r.second.scores.combined) r.second = here;
    }
  }
  return r;
}

Refusal Search::Decide(Patch& patch, const Ranking& ranking) {
  const Refined& best = ranking.best;
  if (best.scores.score[0] < set_.minScore || best.scores.score[1] < set_.minScore ||
      best.scores.combined < set_.minCombined) {
    return ShownBeside(patch, best) ? Refusal::FrameOff : Refusal::NoMatch;
  }
  if (Fisher(best.scores.combined) - Fisher(ranking.runnerUp) < set_.minMargin)
    return Refusal::Ambiguous;
  // A view that barely moves with the distance matches about as well at any distance near the
  // answer: the other view then fixes it alone, and is held to more.
  const double u = best.place.u, du = std::max(u * 1e-3, 1e-9);
  const double moves[2] = {views_.Moved(0, u, du), views_.Moved(1, u, du)};
  const int lone = moves[0] < set_.loneRatio * moves[1]   ? 1
                   : moves[1] < set_.loneRatio * moves[0] ? 0
                                                          : -1;
  if (lone >= 0 && best.scores.score[lone] < set_.minLoneScore) return Refusal::OneView;
  // A patch grown where the aimed texture is weak may be mostly something else around it, a wall
  // behind a post, and match that: the aimed pixels themselves must agree with the place, in one
  // view alone where their picture runs along the other's line.
  // So may a patch whose samples a survey view needs spread over more of P0 than the largest
  // patch covers, both ways: where that view sees the place several times smaller than P0 does.
  if (patch.half > set_.half || Spread(patch, best)) {
    Patch core(set_.half);
    if (!Agrees(core, best.plane, best.place.u, true)) return Refusal::NoMatch;
  }
  // A place may fit the aimed patch by chance, a print of the same motif elsewhere along the line:
  // a patch of another size then holds what lies around it, and the true place fits that better.
  // Not a patch smaller than the smallest: it is tried where that one reached past the outline of
  // a small target, and any larger holds what lies behind it again.
  if (set_.crossCheck && patch.half >= set_.half && ranking.second.scores.combined > -2 &&
      !KeepsItsLead(patch.half, best, ranking.second))
    return Refusal::Ambiguous;
  if (!ShownThere(patch, best)) return Refusal::FrameOff;
  // Beside an edge, the aimed side must fix the place itself. Its picture may run along one
  // view's line (streaks, a painted horizon): the other view then fixes it alone.
  if (set_.aimedSide) {
    if (const std::optional<Offset> side = AimedSide(aim_, set_)) {
      Patch window(set_.half, side->column, side->row);
      if (!Agrees(window, best.plane, best.place.u, true)) return Refusal::Edge;
      // A patch smaller than the smallest, tried where that one reached past an outline, answers
      // only where the aimed side holds structure of its own: where it is flat, the little the
      // patch holds may be the far side's edge alone.
      if (patch.half < set_.half &&
          !(aim_.Spread(set_.half, side->column, side->row) >= set_.minContrast))
        return Refusal::Edge;
    }
  }
  return Refusal::None;
}

std::array<Views::Free, 2> Search::FreeInBoth(const Patch& patch, const Refined& r, int reach,
                                              int stride) {
  std::array<Views::Free, 2> free;
  struct Worker {
    Patch patch;
    Layout samples;
  };
  OnCores(
      2, 1,
      [&] {
        return Worker{Patch(patch.half, patch.column, patch.row),
                      Layout(patch.half, 2 * patch.half + 1)};
      },
      [&](std::size_t view, Worker& w) {
        free[view] = views_.FreeOffset(w.patch, r.plane, r.place.u, w.samples,
                                       static_cast<int>(view), reach, stride);
      });
  return free;
}

bool Search::ShownThere(const Patch& patch, const Refined& r) {
  // A place the picture fits barely better than the answer's is not shown there: along streaks,
  // a view fits as well anywhere.
  for (const Views::Free& free : FreeInBoth(patch, r, set_.freeReach, 1))
    if (!(std::hypot(free.offset.column, free.offset.row) <= set_.maxFreeOffset) &&
        !(free.best - free.here < set_.minLocalDrop))
      return false;
  return true;
}

bool Search::ShownBeside(const Patch& patch, const Refined& r) {
  double furthest = 0;
  // Only the reason for a refusal, sought widely: every other pixel first. A match a couple of
  // pixels wide still shows at one of them.
  for (const Views::Free& free : FreeInBoth(patch, r, set_.frameReach, 2)) {
    if (!(free.best >= set_.minScore)) return false;
    furthest = std::max(furthest, std::hypot(free.offset.column, free.offset.row));
  }
  return furthest > set_.maxFreeOffset;
}

bool Search::Spread(Patch& patch, const Refined& r) {
  for (int view = 0; view < 2; ++view) {
    Grid grid;
    if (r.plane.square || !views_.Project(patch, r.plane, Footprint{}, view, r.place.u, grid))
      continue;
    const Footprint f = FootprintOf(grid);
    const double least = std::exp2(std::min(f.stretch[0], f.stretch[1]) / 2.0);
    if (least * patch.half > set_.maxHalf) return true;
  }
  return false;
}

bool Search::KeepsItsLead(int half, const Refined& best, const Refined& second) {
  const int other =
      half + set_.growStep <= set_.maxHalf ? half + set_.growStep : half - set_.growStep;
  if (other < 2) return true;
  Patch patch(other);
  Layout samples(other, 2 * other + 1);
  const auto fit = [&](const Refined& r) {
    const std::optional<Plane> plane = Relaid(patch, r.plane);
    if (!plane) return -2.0;
    const Scored s = views_.Score(patch, *plane, r.place.u, samples, set_.slide, true);
    return std::isnan(s.combined) ? -2.0 : s.combined;
  };
  return fit(best) > fit(second);
}

bool Search::Agrees(Patch& window, const Plane& plane, double u, bool alone) {
  Layout samples(window.half, 2 * window.half + 1);
  const std::optional<Plane> small = Relaid(window, plane);
  const Scored s = small ? views_.Score(window, *small, u, samples, set_.slide) : Scored{};
  if (!(s.sure[0] > 0 && s.sure[1] > 0)) return false;
  // And they must fix the place themselves: a smooth ramp (a sky, a shaded wall) fits a place a
  // couple of pixels along the line as well as the right one, in either view, and the answer is
  // then the grown patch's alone.
  // Where both must, the first that does not settles it.
  bool fixes[2] = {false, false};
  for (int view = 0; view < 2 && (alone || view == 0 || fixes[0]); ++view) {
    const double du = std::max(u * 1e-4, 1e-9);
    const double step = set_.localStep * du / std::max(views_.Moved(view, u, du), 1e-12);
    fixes[view] = true;
    for (const double there : {u - step, u + step}) {
      if (there <= 0) continue;
      const Scored aside = views_.Score(window, *small, there, samples, set_.slide);
      if (!std::isnan(aside.score[view]) && s.score[view] - aside.score[view] < set_.minLocalDrop)
        fixes[view] = false;
    }
  }
  if (fixes[0] && fixes[1]) return true;
  return alone && ((fixes[0] && s.score[0] >= set_.minLoneScore) ||
                   (fixes[1] && s.score[1] >= set_.minLoneScore));
}

Search::Refined Search::Refine(Patch& patch, const std::vector<Plane>& planes, const Candidate& c,
                               Layout& fine, Layout& tuning) {
  // How far the inverse distance goes for a pixel's movement here.
  const double du = std::max(c.u * 1e-4, 1e-9);
  const Candidate probe = views_.At(c.u + du);
  const double perPixel = du / std::max(views_.Movement(c, probe), 1e-9);
  const int reach = kRefineReach * set_.refineSteps;  // steps either side
  const double step = perPixel / set_.refineSteps;
  std::vector<double> fits(2 * reach + 1, std::nan(""));
  // Every step either side, on the given planes and samples: the best place and plane.
  const auto sweep = [&](const std::vector<Plane>& tried, Layout& samples) {
    double bestScore = -2;
    int at = 0, plane = -1;
    for (int k = -reach; k <= reach; ++k) {
      const double u = c.u + k * step;
      if (u <= 0) continue;
      const Scored s = views_.Best(patch, tried, u, samples, set_.slide);
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
  auto [bestAt, bestPlane] = sweep(planes, tuning);
  // The best plane turned to fit better, and the place swept again on it alone on whole patches:
  // a surface turned between the planes tried, or ground that slopes, shifts the peak where the
  // wrong plane is laid on it. Where and how a board seen almost edge-on lies go together: turned
  // at a place a little off, it fits best a little off, so turning and placing take turns until
  // the place stays.
  std::vector<Plane> tuned;
  if (bestPlane >= 0 && !planes[static_cast<std::size_t>(bestPlane)].square) {
    tuned.push_back(planes[static_cast<std::size_t>(bestPlane)]);
    for (int round = 0; round <= set_.tuningRounds; ++round) {
      const int was = bestAt;
      tuned[0] = Tuned(patch, tuned[0], c.u + bestAt * step, tuning);
      bestAt = sweep(tuned, fine).first;
      if (round > 0 && bestAt == was) break;
    }
  }
  double offset = bestAt;
  if (bestAt > -reach && bestAt < reach) {
    // The peak between the steps, from the parabola through the best and its neighbours.
    const auto at = static_cast<std::size_t>(bestAt + reach);
    if (const std::optional<double> peak = ParabolaPeak(fits[at - 1], fits[at], fits[at + 1], 0.5))
      offset += *peak;
  }
  Refined out;
  out.place = views_.At(c.u + offset * step);
  const std::vector<Plane>& tried = tuned.empty() ? planes : tuned;
  out.scores = views_.Best(patch, tried, out.place.u, fine, set_.slide, true);
  if (out.scores.plane >= 0) out.plane = tried[static_cast<std::size_t>(out.scores.plane)];
  if (std::isnan(out.scores.combined)) out.scores.combined = -2;
  out.place.score = out.scores.combined;
  return out;
}

Plane Search::Tuned(Patch& patch, const Plane& plane, double u, Layout& layout) {
  // Slid across the line as the place is: where the measured station geometry puts the picture a
  // pixel beside the line, a plane turned on the unslid patch fits that offset, not the surface.
  Plane best = plane;
  Scored scored = views_.Score(patch, plane, u, layout, set_.slide);
  if (std::isnan(scored.fit)) scored.combined = scored.fit = -2;
  V3 across, up;
  AxesIn(plane, across, up);
  const std::array<V3, 9>& rays = aim_.Rays(patch, Footprint{});
  for (double step = kFirstTurn * kRad; step > kFinestTurn * kRad; step /= 2) {
    bool moved = true;
    for (int round = 0; moved && round < kTurnRounds; ++round) {
      moved = false;
      for (int k = 0; k < 4; ++k) {
        const double t = std::tan(k % 2 ? -step : step);
        const V3 axis = k < 2 ? across : up;
        const V3 turned{best.normal.x + t * axis.x, best.normal.y + t * axis.y,
                        best.normal.z + t * axis.z};
        const std::optional<Plane> candidate = LayPlane(rays, aim_.Ray(), turned);
        if (!candidate) continue;
        const Scored s = views_.Score(patch, *candidate, u, layout, set_.slide);
        if (s.fit > scored.fit) {
          scored = s;
          best = *candidate;
          moved = true;
        }
      }
    }
  }
  return best;
}

std::optional<Plane> Search::Relaid(Patch& patch, const Plane& plane) const {
  if (plane.square) return plane;
  return LayPlane(aim_.Rays(patch, Footprint{}), aim_.Ray(), plane.normal);
}

}  // namespace

}  // namespace search

DistanceMatch SearchDistance(const SolverState& s, const std::array<PanoPixels, 3>& panos,
                             const SearchSettings& classic) {
  if (!classic.Check().empty()) return {};
  const SearchSettings settings = classic.ForWidth(panos[0].shape.Width());
  search::Search search(s, panos, settings);
  const DistanceMatch first = search.Run(0);
  if (first.found || first.half == 0) return first;
  std::size_t samples = first.samples;
  // The smallest patch may reach past the outline of a small target: where its texture sufficed,
  // a patch that stays within the target is tried.
  if (first.half == settings.half && settings.leastHalf < settings.half) {
    DistanceMatch least = search.Run(settings.leastHalf);
    samples += least.samples;
    least.samples = samples;
    if (least.found) return least;
  }
  // A patch too small to tell the place from its neighbours along the line, or to match well
  // where the surviving detail is coarse, may do with more picture around it: the largest patch
  // is tried once more wherever the first found a place but could not vouch for it.
  if (first.half >= settings.maxHalf) return first;
  DistanceMatch larger = search.Run(settings.maxHalf);
  larger.samples += samples;
  return larger;
}
