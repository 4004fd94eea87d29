#include "msgpopupclock.h"

#include <limits>

namespace mcr {

std::int32_t CountDown(std::int32_t remaining, std::uint32_t last, std::uint32_t now) {
  std::int64_t elapsed = now >= last ? now - last : now;
  std::int64_t left = remaining - elapsed;
  constexpr std::int64_t floor = std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(left < floor ? floor : left);
}

}  // namespace mcr
