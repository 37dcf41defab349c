#include "geometry/search/AimedSide.h"

namespace search {

std::optional<Offset> AimedSide(Aim& aim, const SearchSettings& set) {
  const int half = set.half, shift = half - (set.edgeMixed - 1);
  double most = -1;
  Offset far;
  for (int k = 0; k < 9; ++k) {
    if (k == 4) continue;
    const Offset window{(k % 3 - 1) * shift, (k / 3 - 1) * shift};
    const std::optional<double> spread = aim.Spread(half, window.column, window.row);
    if (spread && *spread > most) {
      most = *spread;
      far = window;
    }
  }
  const Offset side{-far.column, -far.row};
  if (most < 0 || !aim.Spread(half, side.column, side.row)) return std::nullopt;
  return side;
}

}  // namespace search
