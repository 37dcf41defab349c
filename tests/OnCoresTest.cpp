#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <utility>
#include <vector>

#include "geometry/search/OnCores.h"

namespace {

// Every index once, each worker on a state of its own, for counts around the runs' edges.
TEST(OnCores, DoesEveryIndexOnceWithAStateForEachWorker) {
  const std::pair<std::size_t, std::size_t> cases[] = {{0, 1},   {1, 64},  {5, 1},
                                                       {64, 64}, {65, 64}, {1000, 16}};
  for (const auto& [count, run] : cases) {
    std::vector<std::atomic<int>> done(count);
    std::atomic<int> states{0};
    search::OnCores(
        count, run,
        [&] {
          ++states;
          return std::vector<std::size_t>{};
        },
        [&](std::size_t i, std::vector<std::size_t>& mine) {
          mine.push_back(i);
          ++done[i];
        });
    for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(done[i], 1) << count << " " << i;
    EXPECT_GE(states, 1);
    EXPECT_LE(states, int(std::max<std::size_t>(1, (count + run - 1) / run)));
  }
}

}  // namespace
