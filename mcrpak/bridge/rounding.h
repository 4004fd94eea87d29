// The one conversion of a macro number to a whole number, shared by every
// handler: saturate to the signed 32-bit range, otherwise round half away
// from zero.
#pragma once
#include <cmath>
#include <cstdint>

namespace mcr {

inline std::int32_t RoundToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v < -2147483648.0) return INT32_MIN;
  double r = std::round(v);  // halves away from zero
  if (r < -2147483648.0) return INT32_MIN;
  return static_cast<std::int32_t>(r);
}

// RoundToInt after clamping to [lo, hi]; the clamp happens on the rounded
// value so that, say, 65535.4 still counts as 65535.
inline std::int32_t RoundClamped(double v, std::int32_t lo, std::int32_t hi) {
  std::int32_t r = RoundToInt(v);
  return r < lo ? lo : r > hi ? hi : r;
}

}  // namespace mcr
