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
      {[](SearchSettings& t) { t.coarseSamples = 2 * t.half + 2; }, "coarseSamples"},
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
  t.half = 2;
  t.coarseSamples = 5;
  t.maxHalf = 31;
  t.slide = 3;
  t.tuningRounds = 8;
  t.maxTaps = 8;
  t.refineSteps = 16;
  t.coarseStep = 4;
  EXPECT_EQ(t.Check(), "");
}

}  // namespace
