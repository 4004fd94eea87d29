// The popup's countdown across one timer event: what is left after the
// time since the previous event, including across a wrap of the tick count.
#include <gtest/gtest.h>

#include <cstdint>

#include "windows/msgpopupclock.h"

namespace {

TEST(PopupCountDown, SubtractsTheTicksSinceThePreviousEvent) {
  const struct { std::int32_t remaining; std::uint32_t last, now; std::int32_t left; } cases[] = {
      {2000, 1000, 1250, 1750}, {2000, 1000, 1000, 2000}, {1, 1000, 1001, 0},
      {1000, 5000, 9000, -3000},  // a late host: all the time counts at once
      {500, 0xFFFFFFF0u, 0xFFFFFFFFu, 485},
      // After a wrap only the ticks since zero count (here 16 of the real 272).
      {250, 0xFFFFFF00u, 0x10u, 234}, {250, 0xFFFFFF00u, 0, 250},
      {3600000, 0, 0xFFFFFFFFu, INT32_MIN}};  // however long the host stayed away, still due to close
  for (const auto& c : cases)
    EXPECT_EQ(mcr::CountDown(c.remaining, c.last, c.now), c.left) << c.remaining << " " << c.last << " -> " << c.now;
}

}  // namespace
