#include "geometry/search/Views.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "geometry/search/Correlation.h"

namespace search {

Views::View::View(const PanoPixels& p, const Station& s)
    : scale(p.shape),
      // The first pass steps through the distances by angles the classic panorama's pixel wide
      // at most: it only finds the places to refine, and on finer pixels it would score more
      // places, taking longer, without finding more.
      coarse(std::max(1.0, p.shape.Width() / double(Panorama::kClassicWidth))),
      image(p),
      station(s) {}

Views::Views(Aim& aim, const PanoPixels& p1, const PanoPixels& p2, const Stations& stations,
             const SearchSettings& set)
    : aim_(aim), set_(set), views_{View(p1, stations.views[0]), View(p2, stations.views[1])} {}

Pixel Views::Centre(int view, double u) const {
  const Station& station = views_[view].station;
  return station.PixelOf(aim_.Ray() - station.centre * u, views_[view].scale);
}

double Views::Moved(int view, double u, double du) const {
  const Pixel a = Centre(view, u), b = Centre(view, u + du);
  return std::hypot(views_[view].image.Near(b.column, a.column) - a.column, b.row - a.row);
}

bool Views::Project(Patch& patch, const Plane& plane, const Footprint& footprint, int view,
                    double u, Grid& grid) const {
  const View& v = views_[view];
  const V3 aimed = aim_.Ray(), centre = aimed - v.station.centre * u;
  if (Dot(centre, centre) < 1e-12) return false;
  grid.p[4] = v.station.PixelOf(centre, v.scale);
  const int half = patch.half;
  grid.half = half;
  if (plane.square) {
    // A window beside the aim as far beside it in the survey view as in P0.
    const Pixel mid{grid.p[4].column + patch.column, grid.p[4].row + patch.row};
    for (int g = 0; g < 9; ++g)
      grid.p[g] = {mid.column + (g % 3 - 1) * half, mid.row + (g / 3 - 1) * half};
    return true;
  }
  // The station must see the plane's front, as P0 does.
  const double front = Dot(plane.normal, aimed), seen = Dot(plane.normal, centre);
  if (front * seen <= 0) return false;
  const V3* control = plane.control;
  V3 spread[9];
  if (!footprint.Unit()) {
    // The wider patch may reach beyond where P0 sees the plane.
    const std::array<V3, 9>& rays = aim_.Rays(patch, footprint);
    for (int g = 0; g < 9; ++g)
      if (!Meets(plane, rays[static_cast<std::size_t>(g)], spread[g])) return false;
    control = spread;
  }
  // The aimed patch's centre is the aimed pixel's place itself; a window's lies on the plane.
  const double near = grid.p[4].column;
  for (int g = 0; g < 9; ++g) {
    if (g == 4 && !patch.Shifted()) continue;
    grid.p[g] = v.station.PixelOf(control[g] - v.station.centre * u, v.scale);
    grid.p[g].column = v.image.Near(grid.p[g].column, near);
  }
  return true;
}

Scored Views::Score(Patch& patch, const Plane& plane, double u, Layout& layout, int slide,
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

    GreyImage& image = views_[view].image;
    const std::vector<double>* reference = aim_.Reference(patch, layout, footprint);
    // Measured station geometry a little off puts the place beside the line it is sought along,
    // not along it: the patch slides across the line only, or it would fit as well a pixel or
    // two further along where the line runs steeply. The fit between the whole pixels slid
    // follows the parabola through the best and its neighbours.
    Pixel across{0, 1};
    if (slide > 0) {
      const Pixel a = Centre(view, u), b = Centre(view, u * (1 + 1e-4) + 1e-9);
      const double dc = image.Near(b.column, a.column) - a.column, dr = b.row - a.row;
      const double length = std::hypot(dc, dr);
      if (length > 1e-9) across = {-dr / length, dc / length};
    }
    double best = std::nan("");
    double bestSlide = 0;
    std::vector<double> fits;
    for (int s = -slide; s <= slide && reference; ++s) {
      const double c =
          Correlation(image, grid, layout, *reference, {across.column * s, across.row * s}, set_);
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
      const double a = fits[i - 1], b = fits[i], d = fits[i + 1];
      if (const std::optional<double> t = ParabolaPeak(a, b, d, 1.0)) {
        bestSlide = at + *t;
        best = b + 0.5 * (d - a) * *t + 0.5 * (a - 2 * b + d) * *t * *t;
      }
    }
    if (std::isnan(best)) {
      out.combined = out.fit = std::nan("");
      return out;
    }
    out.score[view] = best;
    // Each view's correlation is weighed down to the bound it stays above with some certainty,
    // the values counted as the survey pixels the patch covers, or, to settle, by how alike
    // neighbouring samples are in both patches.
    const double side = 2.0 * patch.half + 1;
    const double area = std::fabs(Determinant(grid)) * side * side;
    double independent = std::min(area, side * side) / kPixelsPerIndependent;
    if (settle) {
      std::vector<double> values;
      values.reserve(reference->size());
      Correlation(image, grid, layout, *reference,
                  {across.column * bestSlide, across.row * bestSlide}, set_, &values);
      independent = Independent(*reference, values, layout.offsets.size());
    }
    const double z = Sure(best, independent);
    out.sure[view] = z;
    weighed += std::tanh(z);
    fit += z;
  }
  out.combined = weighed / 2;
  out.fit = fit / 2;
  return out;
}

Scored Views::Best(Patch& patch, const std::vector<Plane>& planes, double u, Layout& layout,
                   int slide, bool settle) {
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

Views::Free Views::FreeOffset(Patch& patch, const Plane& plane, double u, Layout& layout, int view,
                              int reach, int stride) {
  const double nan = std::nan("");
  Free out{{nan, nan}};
  Grid grid;
  if (!Project(patch, plane, Footprint{}, view, u, grid)) return out;
  const Footprint footprint = plane.square ? Footprint{} : FootprintOf(grid);
  if (!footprint.Unit() && !Project(patch, plane, footprint, view, u, grid)) return out;
  const std::vector<double>* reference = aim_.Reference(patch, layout, footprint);
  if (!reference) return out;
  const int side = 2 * reach + 1;
  // Each offset's fit, worked out when first asked for: NaN where the view lacks the picture.
  std::vector<double> fits(static_cast<std::size_t>(side * side));
  std::vector<std::uint8_t> done(fits.size(), 0);
  const auto fit = [&](int dc, int dr) {
    if (std::abs(dc) > reach || std::abs(dr) > reach) return nan;
    const auto k = static_cast<std::size_t>((dr + reach) * side + dc + reach);
    if (!done[k]) {
      done[k] = 1;
      fits[k] = Correlation(views_[view].image, grid, layout, *reference,
                            {static_cast<double>(dc), static_cast<double>(dr)}, set_);
    }
    return fits[k];
  };
  const auto better = [](double a, double b) { return a > b || (std::isnan(b) && !std::isnan(a)); };
  // Every `stride`-th offset, then on from the best to whichever neighbour fits better while one
  // does.
  int bestC = 0, bestR = 0;
  for (int dr = -reach; dr <= reach; ++dr) {
    if (dr % stride) continue;
    for (int dc = -reach; dc <= reach; ++dc)
      if (dc % stride == 0 && better(fit(dc, dr), fit(bestC, bestR))) bestC = dc, bestR = dr;
  }
  for (bool moved = stride > 1; moved;) {
    moved = false;
    const int c = bestC, r = bestR;
    for (int dr = r - 1; dr <= r + 1; ++dr)
      for (int dc = c - 1; dc <= c + 1; ++dc)
        if (better(fit(dc, dr), fit(bestC, bestR))) bestC = dc, bestR = dr, moved = true;
  }
  if (std::isnan(fit(bestC, bestR))) return out;
  out.best = fit(bestC, bestR);
  out.here = fit(0, 0);
  Pixel& offset = out.offset;
  offset = {static_cast<double>(bestC), static_cast<double>(bestR)};
  // Between the pixels, from the parabolas through the best and its neighbours each way.
  if (std::abs(bestC) < reach) {
    if (const auto t =
            ParabolaPeak(fit(bestC - 1, bestR), fit(bestC, bestR), fit(bestC + 1, bestR), 0.5))
      offset.column += *t;
  }
  if (std::abs(bestR) < reach) {
    if (const auto t =
            ParabolaPeak(fit(bestC, bestR - 1), fit(bestC, bestR), fit(bestC, bestR + 1), 0.5))
      offset.row += *t;
  }
  return out;
}

double Views::Movement(const Candidate& a, const Candidate& b, bool coarse) const {
  return Movement(a, b, {coarse ? views_[0].coarse : 1, coarse ? views_[1].coarse : 1});
}

double Views::Movement(const Candidate& a, const Candidate& b,
                       const std::array<double, 2>& step) const {
  double moved = 0;
  for (int view = 0; view < 2; ++view) {
    const double dc =
        std::fabs(a.centre[view].column -
                  views_[view].image.Near(b.centre[view].column, a.centre[view].column));
    const double scale = step[static_cast<std::size_t>(view)];
    moved =
        std::max({moved, dc / scale, std::fabs(a.centre[view].row - b.centre[view].row) / scale});
  }
  return moved;
}

}  // namespace search
