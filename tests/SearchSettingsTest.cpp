#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string_view>
#include <utility>

#include "geometry/search/SearchSettings.h"

namespace {

using Change = std::function<void(SearchSettings&)>;

TEST(SearchSettings, CheckNamesTheFirstFieldOutOfItsRange) {
  EXPECT_EQ(SearchSettings{}.Check(), "");
  const std::pair<Change, std::string_view> wrong[] = {
      {[](SearchSettings& t) { t.half = 1; }, "half"},
      {[](SearchSettings& t) { t.leastHalf = t.half + 1; }, "leastHalf"},
      {[](SearchSettings& t) { t.leastHalf = 1; }, "leastHalf"},
      {[](SearchSettings& t) { t.maxHalf = t.half - 1; }, "maxHalf"},
      {[](SearchSettings& t) { t.maxHalf = 32; }, "maxHalf"},
      {[](SearchSettings& t) { t.growStep = 0; }, "growStep"},
      {[](SearchSettings& t) { t.slide = 4; }, "slide"},
      {[](SearchSettings& t) { t.minScore = 1; }, "minScore"},
      {[](SearchSettings& t) { t.minScore = std::nan(""); }, "minScore"},
      {[](SearchSettings& t) { t.minCombined = -1; }, "minCombined"},
      {[](SearchSettings& t) { t.minLocalDrop = 1; }, "minLocalDrop"},
      {[](SearchSettings& t) { t.minLoneScore = 1; }, "minLoneScore"},
      {[](SearchSettings& t) { t.coarseStep = 0; }, "coarseStep"},
      {[](SearchSettings& t) { t.coarseSamples = 2 * t.leastHalf + 2; }, "coarseSamples"},
      {[](SearchSettings& t) { t.refined = 0; }, "refined"},
      {[](SearchSettings& t) { t.tuningRounds = -1; }, "tuningRounds"},
      {[](SearchSettings& t) { t.maxTaps = 0; }, "maxTaps"},
      {[](SearchSettings& t) { t.refineSteps = 0; }, "refineSteps"},
      {[](SearchSettings& t) { t.edgeMixed = 0; }, "edgeMixed"},
      {[](SearchSettings& t) { t.growStep = t.refineSteps = 0; }, "growStep"},
  };
  for (const auto& [change, field] : wrong) {
    SearchSettings t;
    change(t);
    EXPECT_EQ(t.Check(), field);
  }
}

TEST(SearchSettings, TheEndsOfTheRangesAreWithin) {
  SearchSettings t;
  t.half = t.leastHalf = 2;
  t.coarseSamples = 5;
  t.maxHalf = 31;
  t.slide = 3;
  t.tuningRounds = 8;
  t.maxTaps = 8;
  t.refineSteps = 16;
  t.coarseStep = 4;
  EXPECT_EQ(t.Check(), "");
}

TEST(SearchSettings, ACoarserP0KeepsTheSmallestPatchsAngle) {
  // P0's width: the smallest patch's half side there, down to the first pass's nine samples.
  const std::pair<int, int> halves[] = {{8160, 7}, {11968, 7}, {6720, 6}, {5376, 5},
                                        {4096, 4}, {3840, 4},  {1000, 4}};
  for (const auto& [width, half] : halves) {
    const SearchSettings t = SearchSettings{}.ForWidth(width);
    EXPECT_EQ(t.half, half) << width;
    EXPECT_EQ(t.maxHalf, SearchSettings{}.maxHalf) << width;
    EXPECT_EQ(t.Check(), "") << width;
  }
}

}  // namespace
