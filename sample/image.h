// A file image built field by field: little-endian numbers and fixed-width
// texts put at the byte offsets of the instrument's file layouts.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace mcrsample {

class Image {
 public:
  explicit Image(std::size_t size = 0) : b_(size, 0) {}

  Image& u8(std::size_t at, std::uint8_t v) { return le(at, v, 1); }
  Image& i16(std::size_t at, std::int16_t v) { return le(at, static_cast<std::uint16_t>(v), 2); }
  Image& u16(std::size_t at, std::uint16_t v) { return le(at, v, 2); }
  Image& i32(std::size_t at, std::int32_t v) { return le(at, static_cast<std::uint32_t>(v), 4); }
  Image& u32(std::size_t at, std::uint32_t v) { return le(at, v, 4); }
  Image& f32(std::size_t at, float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    return le(at, u, 4);
  }
  Image& f64(std::size_t at, double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    return le(at, u, 8);
  }
  // A zero-terminated text inside a field of width bytes; the text is cut
  // so that its terminator always fits.
  Image& text(std::size_t at, const std::string& s, std::size_t width) {
    std::size_t n = s.size() < width ? s.size() : width - 1;
    grow(at + width);
    std::memcpy(b_.data() + at, s.data(), n);
    b_[at + n] = 0;
    return *this;
  }
  // A length byte followed by the text and its terminator (the data file
  // header's style); width counts the text and its terminator.
  Image& counted(std::size_t at, const std::string& s, std::size_t width) {
    std::size_t n = s.size() < width ? s.size() : width - 1;
    u8(at, static_cast<std::uint8_t>(n));
    return text(at + 1, s.substr(0, n), width);
  }
  // Zero bytes up to size n (nothing when the image is longer already).
  Image& pad(std::size_t n) {
    grow(n);
    return *this;
  }
  Image& append(const Image& other) {
    b_.insert(b_.end(), other.b_.begin(), other.b_.end());
    return *this;
  }

  std::size_t size() const { return b_.size(); }
  const std::vector<std::uint8_t>& bytes() const { return b_; }

 private:
  void grow(std::size_t n) {
    if (b_.size() < n) b_.resize(n, 0);
  }
  Image& le(std::size_t at, std::uint64_t v, int n) {
    grow(at + static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) b_[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    return *this;
  }
  std::vector<std::uint8_t> b_;
};

}  // namespace mcrsample
