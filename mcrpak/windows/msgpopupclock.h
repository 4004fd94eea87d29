// The popup's countdown: it runs on the time that has passed between timer
// events, so a host that dispatches late (or coalesces events) still closes
// the popup on time.
#pragma once
#include <cstdint>

namespace mcr {

// Milliseconds left after a timer event at tick now, the previous one having
// come at tick last. When the tick count has wrapped in between, only the
// ticks since the wrap are counted. Never goes below INT32_MIN.
std::int32_t CountDown(std::int32_t remaining, std::uint32_t last, std::uint32_t now);

}  // namespace mcr
