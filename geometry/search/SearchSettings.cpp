#include "geometry/search/SearchSettings.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "geometry/Mapping.h"

SearchSettings SearchSettings::ForWidth(int width) const {
  SearchSettings out = *this;
  if (width > 0 && width < Panorama::kClassicWidth) {
    const double share = double(width) / Panorama::kClassicWidth;
    out.half = std::clamp(static_cast<int>(std::lround(half * share)), leastHalf, half);
  }
  return out;
}

std::string_view SearchSettings::Check() const {
  const std::pair<bool, std::string_view> fields[] = {
      {half >= 2, "half"},
      {leastHalf >= 2 && leastHalf <= half, "leastHalf"},
      {maxHalf >= half && maxHalf <= 31, "maxHalf"},
      {growStep >= 1, "growStep"},
      {growContrast >= 0, "growContrast"},
      {slide >= 0 && slide <= 3, "slide"},
      {minScore > -1 && minScore < 1, "minScore"},
      {minMargin >= 0, "minMargin"},
      {minCombined > -1 && minCombined < 1, "minCombined"},
      {minContrast >= 0, "minContrast"},
      {localStep > 0, "localStep"},
      {minLocalDrop < 1, "minLocalDrop"},
      {loneRatio >= 0 && loneRatio < 1, "loneRatio"},
      {minLoneScore > -1 && minLoneScore < 1, "minLoneScore"},
      {coarseStep > 0 && coarseStep <= 4, "coarseStep"},
      {coarseSamples >= 3 && coarseSamples <= 2 * leastHalf + 1, "coarseSamples"},
      {refined >= 1, "refined"},
      {tuningSamples >= 3, "tuningSamples"},
      {tuningRounds >= 0 && tuningRounds <= 8, "tuningRounds"},
      {tapSpacing >= 0.5, "tapSpacing"},
      {maxTaps >= 1 && maxTaps <= 8, "maxTaps"},
      {refineSteps >= 1 && refineSteps <= 16, "refineSteps"},
      {edgeMixed >= 1 && edgeMixed <= half, "edgeMixed"},
      {maxFreeOffset > 0, "maxFreeOffset"},
      {freeReach > maxFreeOffset && freeReach <= 8, "freeReach"},
      {frameReach >= freeReach && frameReach <= 32, "frameReach"},
  };
  for (const auto& [within, name] : fields)
    if (!within) return name;
  return {};
}
