#include "sjistext.h"

namespace mcr {

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Byte offsets of each character's start, walked from the front: the only
// safe way to tell a trail byte from a single-byte character.
template <typename Visit>
void ForEachChar(std::string_view text, Visit visit) {
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t n = IsSjisLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    visit(i, n);
    i += n;
  }
}

}  // namespace

bool IsSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::string_view CutBytes(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = 0;
  ForEachChar(text, [&](std::size_t at, std::size_t n) {
    if (at + n <= limit) end = at + n;
  });
  return text.substr(0, end);
}

std::string_view WholeCharacters(std::string_view text) {
  std::size_t end = 0;
  ForEachChar(text, [&](std::size_t at, std::size_t n) {
    if (n == 2 || !IsSjisLead(static_cast<unsigned char>(text[at]))) end = at + n;
  });
  return text.substr(0, end);
}

bool EndsWithBackslash(std::string_view text) {
  bool last = false;
  ForEachChar(text, [&](std::size_t at, std::size_t n) { last = n == 1 && text[at] == '\\'; });
  return last;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  ForEachChar(text, [&](std::size_t at, std::size_t n) {
    if (n == 1) out[at] = Upper(out[at]);
  });
  return out;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && UpperAscii(a) == UpperAscii(b);
}

}  // namespace mcr
