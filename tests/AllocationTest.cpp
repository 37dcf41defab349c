// What runs out of memory half-way must leave things as they were. Allocations in this test
// program fail on demand.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <vector>

#include "core/Guarded.h"
#include "core/WorkingState.h"
#include "tests/ScriptedPlatform.h"

namespace {
int allocationsBeforeFailure = -1;  // none fails while negative
}

void* operator new(std::size_t size) {
  if (allocationsBeforeFailure == 0) {
    allocationsBeforeFailure = -1;
    throw std::bad_alloc();
  }
  if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

TEST(PointList, AnAdditionThatRunsOutOfMemoryLeavesEveryPointWithItsLabel) {
  const PointRec p{1, 2, 3, 4, 5, 6, 7};
  for (int failing = 0; failing < 3; ++failing) {
    SCOPED_TRACE(failing);
    PointList list;
    for (int i = 0; i < 4; ++i) list.Append(p);  // a full vector grows with the next point
    allocationsBeforeFailure = failing;
    try {
      list.Append({9, 9, 9, 9, 9, 9, 9});
    } catch (const std::bad_alloc&) {
    }
    allocationsBeforeFailure = -1;
    ASSERT_TRUE(list.size() == 4 || list.size() == 5);
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list.Label(i), static_cast<int>(i));
    list.Append(p);
    EXPECT_EQ(list.Label(list.size() - 1), static_cast<int>(list.size() - 1));
  }
}

}  // namespace

namespace {

TEST(Guarded, FaultsOfTheLibraryReachTheUserInGermanOnly) {
  ScriptedPlatform platform;
  Guarded(platform, [] { throw std::bad_alloc(); });
  Guarded(platform, [] { std::vector<int>().reserve(std::size_t{1} << 62); });
  Guarded(platform, [] { throw std::runtime_error("boom"); });
  EXPECT_EQ(platform.errors,
            (std::vector<QString>{QStringLiteral("Zu wenig Arbeitsspeicher."),
                                  QStringLiteral("Zu wenig Arbeitsspeicher."),
                                  QStringLiteral("Unerwarteter Programmfehler; die Arbeit ist "
                                                 "unverändert.")}));
}

}  // namespace
