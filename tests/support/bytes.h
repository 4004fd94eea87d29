// Fixture bytes laid down field by field at the offsets the file layouts
// give, independently of the library's own record definitions.
#pragma once
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace mcrtest {

class Bytes {
 public:
  explicit Bytes(std::size_t size = 0, std::uint8_t fill = 0) : b_(size, fill) {}

  Bytes& u8(std::size_t at, std::uint8_t v) { return put(at, &v, 1); }
  Bytes& i16(std::size_t at, std::int16_t v) { return le(at, static_cast<std::uint16_t>(v), 2); }
  Bytes& u16(std::size_t at, std::uint16_t v) { return le(at, v, 2); }
  Bytes& i32(std::size_t at, std::int32_t v) { return le(at, static_cast<std::uint32_t>(v), 4); }
  Bytes& u32(std::size_t at, std::uint32_t v) { return le(at, v, 4); }
  Bytes& i64(std::size_t at, std::int64_t v) { return le(at, static_cast<std::uint64_t>(v), 8); }
  Bytes& f32(std::size_t at, float v) { std::uint32_t u; std::memcpy(&u, &v, 4); return le(at, u, 4); }
  // Text and its terminating zero (the terminator is left out when the text
  // fills width exactly; width 0 means no limit).
  Bytes& text(std::size_t at, const std::string& s, std::size_t width = 0) {
    return put(at, s.c_str(), width && s.size() >= width ? width : s.size() + 1);
  }
  Bytes& put(std::size_t at, const void* p, std::size_t n) {
    grow(at + n);
    std::memcpy(b_.data() + at, p, n);
    return *this;
  }
  Bytes& append(const Bytes& o) { b_.insert(b_.end(), o.b_.begin(), o.b_.end()); return *this; }
  Bytes& resize(std::size_t n) { b_.resize(n); return *this; }

  std::uint32_t getU32(std::size_t at) const { return static_cast<std::uint32_t>(getLe(at, 4)); }
  std::int32_t getI32(std::size_t at) const { return static_cast<std::int32_t>(getU32(at)); }
  std::int16_t getI16(std::size_t at) const { return static_cast<std::int16_t>(getLe(at, 2)); }
  std::uint16_t getU16(std::size_t at) const { return static_cast<std::uint16_t>(getLe(at, 2)); }
  float getF32(std::size_t at) const { std::uint32_t u = getU32(at); float f; std::memcpy(&f, &u, 4); return f; }
  std::string getText(std::size_t at, std::size_t width) const {
    std::string s;
    for (std::size_t i = at; i < at + width && i < b_.size() && b_[i]; ++i)
      s += static_cast<char>(b_[i]);
    return s;
  }

  const std::vector<std::uint8_t>& data() const { return b_; }
  std::size_t size() const { return b_.size(); }
  bool operator==(const Bytes& o) const { return b_ == o.b_; }

  bool save(const std::string& path) const {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b_.data()), static_cast<std::streamsize>(b_.size()));
    return static_cast<bool>(f);
  }
  static Bytes Load(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    Bytes b;
    b.b_.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return b;
  }

 private:
  void grow(std::size_t n) { if (b_.size() < n) b_.resize(n, 0); }
  Bytes& le(std::size_t at, std::uint64_t v, int n) {
    grow(at + static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) b_[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    return *this;
  }
  std::uint64_t getLe(std::size_t at, int n) const {
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | b_.at(at + static_cast<std::size_t>(i));
    return v;
  }
  std::vector<std::uint8_t> b_;
};

}  // namespace mcrtest
