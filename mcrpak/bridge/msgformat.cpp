#include "msgformat.h"

#include <algorithm>
#include <cstdio>

#include "../util/sjistext.h"

namespace mcr {

namespace {

constexpr std::string_view kShortened = "...";

}  // namespace

std::string InsertedText(std::string_view text, std::size_t precision) {
  if (precision < text.size()) text = CutBytes(text, precision);
  text = WholeCharacters(text);
  if (text.size() <= kInsertedTextMax) return std::string(text);
  std::string cut(CutBytes(text, kInsertedTextMax - kShortened.size()));
  return cut.append(kShortened);
}

std::string FormatCatalogueV(std::string_view format, va_list args) {
  std::string out;
  std::size_t i = 0;
  while (i < format.size()) {
    char c = format[i++];
    if (c != '%' || i >= format.size()) {
      out += c;
      continue;
    }
    // %[flags][width][.precision][size]type, read as the platform does.
    std::size_t start = i - 1;
    bool left = false, zero = false;
    for (; i < format.size(); ++i) {
      if (format[i] == '-') left = true;
      else if (format[i] == '0') zero = true;
      else if (format[i] != '#') break;
    }
    std::size_t width = 0;
    for (; i < format.size() && format[i] >= '0' && format[i] <= '9'; ++i)
      width = std::min(width * 10 + static_cast<std::size_t>(format[i] - '0'), kFormattedMax);
    std::size_t precision = std::string_view::npos;
    if (i < format.size() && format[i] == '.') {
      precision = 0;
      for (++i; i < format.size() && format[i] >= '0' && format[i] <= '9'; ++i)
        precision = std::min(precision * 10 + static_cast<std::size_t>(format[i] - '0'), kFormattedMax);
    }
    while (i < format.size() && (format[i] == 'l' || format[i] == 'h')) ++i;
    if (i >= format.size()) break;
    char type = format[i++];
    std::string field;
    switch (type) {
      case 's': {
        const char* s = va_arg(args, const char*);
        field = InsertedText(s ? s : "(null)", precision);
        break;
      }
      case 'c':
        field.assign(1, static_cast<char>(va_arg(args, int)));
        break;
      case 'd': case 'i': case 'u': case 'x': case 'X': {
        // One conversion of the C library, with the placeholder's own flags.
        std::string spec(format.substr(start, i - start));
        spec.erase(std::remove(spec.begin(), spec.end(), 'l'), spec.end());
        spec.erase(std::remove(spec.begin(), spec.end(), 'h'), spec.end());
        char number[kFormattedMax + 1];
        int n = std::snprintf(number, sizeof number, spec.c_str(), va_arg(args, int));
        field.assign(number, n > 0 ? std::min(static_cast<std::size_t>(n), kFormattedMax) : 0);
        width = 0;
        break;
      }
      default:  // "%%" and unknown types stand for themselves
        field.assign(1, type);
        width = 0;
        break;
    }
    if (field.size() < width) field.insert(left ? field.size() : 0, width - field.size(), zero && !left ? '0' : ' ');
    out += field;
  }
  return std::string(CutBytes(out, kFormattedMax));
}

std::string FormatCatalogue(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatCatalogueV(format, args);
  va_end(args);
  return text;
}

}  // namespace mcr
