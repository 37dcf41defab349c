#pragma once

#include <string_view>

// Every decision of the search that may be tuned, each with why it is what it is. The limits that
// are not to be tuned are named beside the pieces that apply them.
struct SearchSettings {
  // Half the smallest patch's side: the patches are (2 half + 1) pixels square at least. In pixels
  // of the classic turn: see ForWidth.
  int half = 7;
  // Half the side of the patch tried once more where the smallest found no answer although its
  // texture sufficed: a far target a dozen pixels across fills this one, and the smallest's rim
  // then holds more of what lies behind it than of the target. As wide as the first pass's
  // samples; half leaves the patch as it is.
  int leastHalf = 4;
  // Half the largest patch's side, to which the patch grows where the texture is weak.
  int maxHalf = 15;
  // How much the half side grows at a time.
  int growStep = 4;
  // The grey-value spread below which the patch grows.
  double growContrast = 12;
  // Pixels a survey patch may slide across the line searched (never along it).
  int slide = 1;
  // The correlation each survey view must reach.
  double minScore = 0.7;
  // By how much the best beats any other place along the line, both weighed scores as Fisher's z.
  double minMargin = 0.31;
  // The weighed score (DistanceMatch::combined) the best must reach.
  double minCombined = 0.65;
  // The grey-value spread the largest aimed patch needs.
  double minContrast = 4;
  // Pixels along the line, in either view, that the aimed pixels move to check a grown patch,
  double localStep = 6;
  // and how much worse they must fit there: a smooth ramp fits anywhere (half the garden's least).
  // A survey view sought freely around the answer's place must fit this much better elsewhere to
  // show the place there: along streaks it fits about as well anywhere.
  double minLocalDrop = 0.01;
  // A view moving less than this share of the other with the distance leaves it to decide alone,
  double loneRatio = 0.1;
  // which must then match at least this well (one view at 0.74 put a board's point 6 px off).
  double minLoneScore = 0.9;
  // False: compare square patches, as if every surface faced P0.
  bool warp = true;
  // Pixels the projections move between the first pass's distances.
  double coarseStep = 1.0;
  // Samples a side of the first pass's sparse patches: they tell 15,000 places apart quickly.
  int coarseSamples = 9;
  // First-pass peaks refined: a right place below the fourth is rare once every plane is tried.
  int refined = 4;
  // Samples a side that turning a plane needs, fewer than placing it.
  int tuningSamples = 15;
  // Turnings and placings after the first while the place moves (a plane turned off moves it).
  int tuningRounds = 3;
  // Taps this far apart average a survey sample where that view sees a P0 pixel as several,
  double tapSpacing = 1.5;
  // at most this many a side (as many as a board 7 times as wide needs).
  int maxTaps = 4;
  // False: an answer need not still beat the next best place on a patch of another size.
  bool crossCheck = true;
  // False: an answer need not be fixed by the aimed side of an edge alone.
  bool aimedSide = true;
  // Pixels beside an edge that show both its sides, the smoothing's pixel included: an aim this
  // near may take either side's distance. The window on the aimed side reaches one pixel less
  // past the aim, and so leaves out an edge further off with the pixel the smoothing mixes in.
  int edgeMixed = 2;
  // Steps a pixel when refining: quarter pixels, between which the parabola finds a tenth.
  int refineSteps = 4;
  // Pixels of a survey view that the place the pictures show may lie from the answer's place
  // there, sought freely around it: the answer is judged within 1.5 px, and a station frame that
  // puts the picture further off puts the answer off with it.
  double maxFreeOffset = 1.5;
  // Whole pixels the free search reaches either way, beyond that offset.
  int freeReach = 3;
  // Where no place along the line matches, whole pixels a free search reaches to tell whether the
  // pictures show the place beside the line: a camera half a degree off level moves the classic
  // panorama by up to 11 px.
  int frameReach = 12;

  // The settings for a P0 `width` pixels round. Where it is coarser than the classic turn, the
  // smallest patch spans the angle it spans there, not its pixels: a far target twelve of P0's
  // pixels across fills a patch 11 pixels square but not one of 15, whose rim then holds more of
  // what lies behind it than of the target. The first pass's samples still fit in it. A grown
  // patch keeps its pixels: it grows to hold structure enough to tell places apart along the
  // line, and a coarser picture holds no more of that in fewer pixels.
  SearchSettings ForWidth(int width) const;

  // The first field outside the range the search means it for (patch sizes that grow, floors that
  // are correlations, steps that move), by its name; empty where every field lies within.
  std::string_view Check() const;
};
