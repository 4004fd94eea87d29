// Little-endian field access at explicit byte offsets. The instrument files
// are packed and little-endian whatever the host compiler's own layout
// rules, so no record is ever read by casting a struct over the bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace mcr::le {

inline std::uint32_t U32(const std::uint8_t* p, std::size_t at) {
  return static_cast<std::uint32_t>(p[at]) | static_cast<std::uint32_t>(p[at + 1]) << 8 |
         static_cast<std::uint32_t>(p[at + 2]) << 16 | static_cast<std::uint32_t>(p[at + 3]) << 24;
}
inline std::int32_t I32(const std::uint8_t* p, std::size_t at) {
  return static_cast<std::int32_t>(U32(p, at));
}
inline std::uint16_t U16(const std::uint8_t* p, std::size_t at) {
  return static_cast<std::uint16_t>(p[at] | p[at + 1] << 8);
}
inline std::int16_t I16(const std::uint8_t* p, std::size_t at) {
  return static_cast<std::int16_t>(U16(p, at));
}
inline float F32(const std::uint8_t* p, std::size_t at) {
  std::uint32_t u = U32(p, at);
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}
inline double F64(const std::uint8_t* p, std::size_t at) {
  std::uint64_t u = static_cast<std::uint64_t>(U32(p, at + 4)) << 32 | U32(p, at);
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

inline void PutU32(std::uint8_t* p, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutI32(std::uint8_t* p, std::size_t at, std::int32_t v) {
  PutU32(p, at, static_cast<std::uint32_t>(v));
}
inline void PutU16(std::uint8_t* p, std::size_t at, std::uint16_t v) {
  p[at] = static_cast<std::uint8_t>(v);
  p[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutI16(std::uint8_t* p, std::size_t at, std::int16_t v) {
  PutU16(p, at, static_cast<std::uint16_t>(v));
}
inline void PutF32(std::uint8_t* p, std::size_t at, float v) {
  std::uint32_t u;
  std::memcpy(&u, &v, sizeof u);
  PutU32(p, at, u);
}

// The zero-terminated text of a fixed-width field; a field without a
// terminator gives all of its bytes, never those of the next field.
inline std::string Text(const std::uint8_t* p, std::size_t at, std::size_t width) {
  const auto* begin = reinterpret_cast<const char*>(p + at);
  const void* zero = std::memchr(begin, 0, width);
  return std::string(begin, zero ? static_cast<const char*>(zero) - begin : width);
}

}  // namespace mcr::le
