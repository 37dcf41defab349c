#pragma once

#include <optional>

#include "geometry/search/Aim.h"
#include "geometry/search/SearchSettings.h"

namespace search {

// A window's centre, in P0 pixels from the aimed pixel.
struct Offset {
  int column = 0, row = 0;
};

// Where an edge crosses the aimed patch, the patch holds what lies across it, and fits where that
// is: the sky above a roof fits at the roof's distance. Of the windows of the smallest patch's
// size that hold the aim, each shifted from it to one of eight sides until it keeps only the aim
// and the pixels an edge there would mix, the one opposite the window P0 sees most spread: the
// one that leaves out the far side of an edge, where the answer's structure lies. Nothing where
// P0 lacks the picture there.
std::optional<Offset> AimedSide(Aim& aim, const SearchSettings& set);

}  // namespace search
