#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "geometry/search/Patch.h"

namespace {

// The samples spread evenly over the side, ends included, and each sample's weights put the
// quadratic through the three control steps: a control step weighs one of them only, and any
// quadratic in the offset comes back exactly.
TEST(Patch, TheLayoutSpreadsTheSamplesOverTheSide) {
  for (const auto& [half, count] : {std::pair{7, 15}, std::pair{7, 9}, std::pair{15, 9}}) {
    const search::Layout layout(half, count);
    ASSERT_EQ(layout.offsets.size(), std::size_t(count));
    EXPECT_EQ(layout.offsets.front(), -half);
    EXPECT_EQ(layout.offsets[std::size_t(count / 2)], 0);
    EXPECT_EQ(layout.offsets.back(), half);
    for (std::size_t k = 1; k < layout.offsets.size(); ++k) {
      const int gap = layout.offsets[k] - layout.offsets[k - 1];
      EXPECT_LT(std::fabs(gap - 2.0 * half / (count - 1)), 1) << half << " " << count;
    }
    const auto quadratic = [](double x) { return 3 - 2 * x + 0.5 * x * x; };
    for (std::size_t k = 0; k < layout.offsets.size(); ++k) {
      const auto& w = layout.weights[k];
      const double through = w[0] * quadratic(-half) + w[1] * quadratic(0) + w[2] * quadratic(half);
      EXPECT_NEAR(through, quadratic(layout.offsets[k]), 1e-9);
    }
  }
}

}  // namespace
