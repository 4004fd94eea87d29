#include "strtext.h"

namespace mcr {

std::string_view LeftBytes(std::string_view text, std::int32_t count) {
  if (count < 1) return {};
  if (static_cast<std::size_t>(count) >= text.size()) return text;
  return text.substr(0, static_cast<std::size_t>(count));
}

std::string_view RightBytes(std::string_view text, std::int32_t count) {
  if (count < 1) return {};
  if (static_cast<std::size_t>(count) >= text.size()) return text;
  return text.substr(text.size() - static_cast<std::size_t>(count));
}

std::string_view TrimBlanks(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  return text;
}

std::size_t CountTokens(std::string_view text, std::string_view sep) {
  std::size_t n = 1;
  for (std::size_t at = text.find(sep); at != std::string_view::npos;
       at = text.find(sep, at + sep.size()))
    ++n;
  return n;
}

std::string_view NthToken(std::string_view text, std::string_view sep, std::int32_t n) {
  std::size_t start = 0;
  for (std::int32_t k = 1;; ++k) {
    std::size_t at = text.find(sep, start);
    if (k == n) return text.substr(start, at == std::string_view::npos ? text.npos : at - start);
    if (at == std::string_view::npos) return {};
    start = at + sep.size();
  }
}

}  // namespace mcr
