// Byte-string rules shared by every word: texts are Shift-JIS, limits are
// in bytes, and a double-byte character is never cut in two or mistaken for
// a backslash or a letter by its second byte.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace mcr {

bool IsSjisLead(unsigned char c);

// The longest prefix of text of at most limit bytes that does not end in
// the first byte of a double-byte character.
std::string_view CutBytes(std::string_view text, std::size_t limit);

// The text without a last byte that is the first byte of a double-byte
// character whose second byte is missing.
std::string_view WholeCharacters(std::string_view text);

// Whether the last character (not merely the last byte) is a backslash.
bool EndsWithBackslash(std::string_view text);

// The text with every single-byte letter in upper case.
std::string UpperAscii(std::string_view text);

// Equality without regard to the case of single-byte letters.
bool EqualNoCase(std::string_view a, std::string_view b);

}  // namespace mcr
