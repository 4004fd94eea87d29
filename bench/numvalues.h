// The values the number figures format: spread over many magnitudes, so
// that fixed and exponent notation, carries and every digit count come up.
#pragma once
#include <cmath>
#include <cstdint>
#include <vector>

namespace mcrbench {

inline const std::vector<double>& NumberValues() {
  static const std::vector<double> values = [] {
    std::vector<double> v;
    std::uint64_t x = 88172645463325252ull;
    for (int i = 0; i < 4096; ++i) {
      x ^= x << 13, x ^= x >> 7, x ^= x << 17;
      double mantissa = static_cast<double>(x % 1000000007) / 1000000007.0;
      int exponent = static_cast<int>((x >> 32) % 25) - 12;
      v.push_back((x >> 63 ? -1 : 1) * mantissa * std::pow(10.0, exponent));
    }
    return v;
  }();
  return values;
}

// Digits 1 to 6 in turn, as the value at index i is formatted.
inline int DigitsFor(std::size_t i) { return static_cast<int>(i % 6) + 1; }

}  // namespace mcrbench
