#pragma once

#include <array>
#include <vector>

#include "geometry/search/Aim.h"
#include "geometry/search/Footprint.h"
#include "geometry/search/GreyImage.h"
#include "geometry/search/Grid.h"
#include "geometry/search/PanoPixels.h"
#include "geometry/search/Patch.h"
#include "geometry/search/Plane.h"
#include "geometry/search/SearchSettings.h"
#include "geometry/search/Sight.h"
#include "geometry/search/Stations.h"

namespace search {

// A place along the aimed sight line, where it falls in either survey view, and its score.
struct Candidate {
  double u = 0;  // the inverse of the distance
  Pixel centre[2];
  double score = -2;
};

// How well the aimed patch, laid on a plane at a place, matches the survey views.
struct Scored {
  double combined = -2;  // the views' weighed correlations, averaged
  // The same averaged as Fisher's z, in which a near-perfect match in one view moves more than
  // a middling one in the other: where along the line the place lies and how its plane turns.
  double fit = -2;
  double score[2] = {-2, -2};  // each view's correlation
  double sure[2] = {-2, -2};   // and the bound, as Fisher's z, it stays above with some certainty
  int plane = -1;              // Best: the plane that gave them
};

// The two survey views as the search compares them with the aimed patch: where a place along the
// aimed sight line falls in each, how a patch laid on a plane there is read, and how well it
// matches.
class Views {
 public:
  // Reads `aim`, the pixels and the settings as long as it is used.
  Views(Aim& aim, const PanoPixels& p1, const PanoPixels& p2, const Stations& stations,
        const SearchSettings& set);

  // The place at the inverse distance u, not yet scored.
  Candidate At(double u) const { return {u, {Centre(0, u), Centre(1, u)}, -2}; }
  Pixel Centre(int view, double u) const;
  // Pixels the place moves in a view as the inverse distance goes from u to u + du.
  double Moved(int view, double u, double du) const;
  // Where the patch's control points fall in a view, laid on `plane` at `u` and spaced as
  // `footprint` spaces them; false where the view sees the plane's back or P0 sees it too flat.
  bool Project(Patch& patch, const Plane& plane, const Footprint& footprint, int view, double u,
               Grid& grid) const;
  // Both views on one plane, each slid up to `slide` pixels across the line along which the place
  // moves in it, to where it fits best; NaN where a view has no picture there.
  // `settle`: each correlation weighed by how alike neighbouring samples are, not only by their
  // number (slower; for the places a decision is made on).
  Scored Score(Patch& patch, const Plane& plane, double u, Layout& layout, int slide,
               bool settle = false);
  // The best plane's scores.
  Scored Best(Patch& patch, const std::vector<Plane>& planes, double u, Layout& layout, int slide,
              bool settle = false);
  // Where one view shows the patch best around its place at `u`, sought freely (every direction,
  // not only across the line) up to `reach` whole pixels and between them: the offset from that
  // place, in the view's pixels, with the correlations there and at the place itself. NaN where
  // the view has no picture there.
  struct Free {
    Pixel offset;
    double best = -2, here = -2;
  };
  // `stride`: every so many pixels first, then on to whichever neighbour fits better.
  Free FreeOffset(Patch& patch, const Plane& plane, double u, Layout& layout, int view, int reach,
                  int stride = 1);
  // The most either view's place moves between two candidates; `coarse`: in the first pass's
  // pixels, those of the classic turn where a view's are finer.
  double Movement(const Candidate& a, const Candidate& b, bool coarse = false) const;
  // The most either view's place moves between two candidates, in steps of `step` of each
  // view's pixels.
  double Movement(const Candidate& a, const Candidate& b, const std::array<double, 2>& step) const;
  // A view's pixels in one of the first pass's.
  double Coarse(int view) const { return views_[view].coarse; }

 private:
  struct View {
    View(const PanoPixels& p, const Station& s);
    Scale scale;
    double coarse;  // the view's pixels in one of the first pass's
    GreyImage image;
    Station station;
  };

  Aim& aim_;
  const SearchSettings& set_;
  View views_[2];
};

}  // namespace search
