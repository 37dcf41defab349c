#pragma once

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "adjust/Adjustment.h"
#include "geometry/Frame.h"
#include "geometry/search/PanoPixels.h"

// Tie points found in the pictures themselves: features detected on perspective tiles of each
// panorama, matched between each pair of panoramas, kept where a relative orientation estimated
// robustly from all of them agrees, and chained into tracks seen in all three.
namespace ties {

// What the search is doing, for a progress display: the features of P0, P1 and P2, then the
// matches.
enum class Stage { Features0, Features1, Features2, Matching };

// Matches between two panoramas, and those the pair's relative orientation agrees with.
struct PairCount {
  int matched = 0, agreed = 0;
};

struct Found {
  std::vector<adjust::TiePoint> ties;  // labelled from `firstLabel` on
  int tracks = 0;                      // found in all three, before the spread ones were taken
  std::array<PairCount, 3> pairs{};    // P0-P1, P0-P2, P1-P2
  bool cancelled = false;
};

struct TieSettings {
  // Degrees a tile's pixel spans at its centre, at least: finer panoramas are read coarser.
  double degPerPix = 0.05;
  // Features kept per tile, the strongest.
  int perTile = 1500;
  // A match's nearest descriptor must be this much nearer than the second nearest.
  double ratio = 0.8;
  // Pixels (of the coarser panorama of a pair, at the tiles' scale) a match may lie off the
  // pair's epipolar plane.
  double tolerancePx = 2;
  int firstLabel = 10000;
  // Tracks handed on at most, spread over P0's sphere: more add little to the frame and much to
  // the adjustment's time.
  int mostTies = 150;
  // Degrees a match may lie off the epipolar plane the recorded station geometry gives, before
  // the pictures' own relative orientation is sought: an aim at the wrong tripod or a tape a
  // metre off still leaves the true matches within it, and most false ones out.
  double priorDeg = 5;
};

// At most `most` of the tie points, spread over P0's sphere: cells of 30 degrees of horizontal
// angle and 15 of vertical, taken from in turn, one point at a time, in the order given.
std::vector<adjust::TiePoint> SpreadOver(const std::vector<adjust::TiePoint>& ties, int most);

// Where one panorama's features lie, in its pixels (column, row).
std::vector<std::array<double, 2>> FeaturesAt(const PanoPixels& pano,
                                              const TieSettings& settings = {});

// What the search is at, and the share of its work done (0 to 1); false stops it.
using Progress = std::function<bool(Stage, double)>;

// `recorded`, where given, is the station geometry as measured (its tilts as they stand): the
// matches are first held to it, loosely. `progress` is told each tile's stage as it begins and
// the matching's, from the calling thread; where it returns false the search stops, with
// `cancelled`.
Found FindTies(const std::array<PanoPixels, 3>& panos,
               const std::optional<frame::Measured<double>>& recorded = std::nullopt,
               const TieSettings& settings = {}, const Progress& progress = {});

}  // namespace ties
