// Byte-string logic of the string words. Lengths are in bytes of the ANSI
// code page; a double-byte character counts two.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mcr {

// Longest text the string words accept, and the longest path.
constexpr std::size_t kTextLimit = 128;
constexpr std::size_t kPathLimit = 255;
constexpr std::int32_t kSpaceMax = 130;
constexpr std::int32_t kTokenMax = 50;
// Working-buffer bounds of the token and trim words.
constexpr std::size_t kTrimLimit = 519;

std::string_view LeftBytes(std::string_view text, std::int32_t count);
std::string_view RightBytes(std::string_view text, std::int32_t count);
std::string_view TrimBlanks(std::string_view text);

// Cuts text at each whole occurrence of sep, left to right without overlap.
// sep must not be empty.
std::size_t CountTokens(std::string_view text, std::string_view sep);
// Token n (from 1); empty when the text has fewer tokens.
std::string_view NthToken(std::string_view text, std::string_view sep, std::int32_t n);

}  // namespace mcr
