// Fixture bytes laid down field by field at the offsets the file layouts
// give, independently of the library's own record definitions. (The
// platforms, like the files, are little-endian.)
#pragma once
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace mcrtest {

class Bytes {
 public:
  explicit Bytes(std::size_t size = 0, std::uint8_t fill = 0) : b_(size, fill) {}

  Bytes& u8(std::size_t at, std::uint8_t v) { return put(at, &v, 1); }
  Bytes& i16(std::size_t at, std::int16_t v) { return put(at, &v, 2); }
  Bytes& u16(std::size_t at, std::uint16_t v) { return put(at, &v, 2); }
  Bytes& i32(std::size_t at, std::int32_t v) { return put(at, &v, 4); }
  Bytes& u32(std::size_t at, std::uint32_t v) { return put(at, &v, 4); }
  Bytes& f32(std::size_t at, float v) { return put(at, &v, 4); }
  // Text and its terminating zero (the terminator is left out when the text
  // fills width exactly; width 0 means no limit).
  Bytes& text(std::size_t at, const std::string& s, std::size_t width = 0) {
    return put(at, s.c_str(), width && s.size() >= width ? width : s.size() + 1);
  }
  Bytes& put(std::size_t at, const void* p, std::size_t n) {
    if (b_.size() < at + n) b_.resize(at + n, 0);
    if (n) std::memcpy(&b_[at], p, n);
    return *this;
  }
  Bytes& append(const Bytes& o) { return put(b_.size(), o.b_.data(), o.b_.size()); }
  Bytes& resize(std::size_t n) { b_.resize(n); return *this; }

  std::uint32_t getU32(std::size_t at) const { return get<std::uint32_t>(at); }
  std::int32_t getI32(std::size_t at) const { return get<std::int32_t>(at); }
  std::int16_t getI16(std::size_t at) const { return get<std::int16_t>(at); }
  std::uint16_t getU16(std::size_t at) const { return get<std::uint16_t>(at); }
  float getF32(std::size_t at) const { return get<float>(at); }
  std::string getText(std::size_t at, std::size_t width) const {
    std::string s;
    for (std::size_t i = at; i < at + width && i < b_.size() && b_[i]; ++i) s += static_cast<char>(b_[i]);
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
  template <typename T>
  T get(std::size_t at) const {
    T v;
    if (at + sizeof v > b_.size()) throw std::out_of_range("a field past the end of the bytes");
    std::memcpy(&v, &b_[at], sizeof v);
    return v;
  }
  std::vector<std::uint8_t> b_;
};

}  // namespace mcrtest
