// Filling the placeholders of a catalogue text. The conversions are those of
// the platform's formatter (%s, %c, %d, %i, %u, %x, %X with flags, width,
// precision and the l and h sizes), with rules of its own so that a message
// stays readable whatever the macro handed over:
// - a text inserted for %s is cut to its precision, and one longer than
//   kInsertedTextMax bytes is shortened and ends in "...";
// - when the message must fit a smaller size (the texts some words build in
//   fixed buffers), the inserted texts are shortened further, the longest
//   first; the catalogue's own text is cut only when it alone is too long;
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

// An argument as it may appear inside a message: at most precision and at
// most max bytes.
std::string InsertedText(std::string_view text, std::size_t precision = std::string_view::npos,
                         std::size_t max = kInsertedTextMax);

// The message of at most limit bytes.
std::string FormatCatalogueV(std::string_view format, va_list args, std::size_t limit = kFormattedMax);
std::string FormatCatalogue(const char* format, ...);
std::string FormatCatalogueWithin(std::size_t limit, const char* format, ...);

}  // namespace mcr
