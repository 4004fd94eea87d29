// Filling the placeholders of a catalogue text. The conversions are those of
// the platform's formatter (%s, %c, %d, %i, %u, %x, %X with flags, width,
// precision and the l and h sizes), with two rules of its own so that a
// message stays readable whatever the macro handed over:
// - a text inserted for %s is cut to its precision, and one longer than
//   kInsertedTextMax bytes is shortened and ends in "..."; the catalogue's
//   own text is never cut;
// - no cut, and no inserted text, ends inside a double-byte character (an
//   argument that ends in a lone lead byte loses it).
#pragma once
#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

namespace mcr {

// Longest text inserted for one placeholder: a whole path fits.
constexpr std::size_t kInsertedTextMax = 260;
// Longest message, as the platform's formatter bounds it (terminator apart).
constexpr std::size_t kFormattedMax = 1023;

// An argument as it may appear inside a message.
std::string InsertedText(std::string_view text, std::size_t precision = std::string_view::npos);

std::string FormatCatalogueV(std::string_view format, va_list args);
std::string FormatCatalogue(const char* format, ...);

}  // namespace mcr
