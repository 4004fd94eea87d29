// The one conversion of a macro number to a whole number, shared by every
// handler: saturate to the signed 32-bit range, otherwise round half away
// from zero. NaN converts as the x87 unit stores it, to the "integer
// indefinite" -2147483648: a NaN count, index or handle is never taken for
// 0, and every range check refuses it the same way.
#pragma once
#include <cmath>
#include <cstdint>

namespace mcr {

inline std::int32_t RoundToInt(double v) {
  if (std::isnan(v)) return INT32_MIN;
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

// An unsigned 32-bit field from a macro number: above 4294967295 the
// maximum, negative 0, anything else through RoundToInt (which itself stops
// at 2147483647).
inline std::uint32_t RoundToUnsigned32(double v) {
  if (v > 4294967295.0) return 0xFFFFFFFFu;
  if (!(v >= 0)) return 0;  // negative or NaN
  return static_cast<std::uint32_t>(RoundToInt(v));
}

// The whole part of a macro number (toward zero), saturated like RoundToInt,
// for the few words that cut instead of rounding.
inline std::int32_t TruncToInt(double v) {
  if (std::isnan(v) || v < -2147483648.0) return INT32_MIN;
  if (v >= 2147483647.0) return 2147483647;
  return static_cast<std::int32_t>(v);
}

}  // namespace mcr
