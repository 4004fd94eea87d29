#include "msgformat.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "sjistext.h"

namespace mcr {

namespace {

constexpr std::string_view kShortened = "...";

struct Piece {
  std::string text;
  bool inserted;  // a %s argument, which may be shortened
};

// The format cut into the catalogue's own text and the filled places.
std::vector<Piece> Fill(std::string_view format, va_list args) {
  std::vector<Piece> pieces;
  auto literal = [&](std::string_view s) {
    if (pieces.empty() || pieces.back().inserted) pieces.push_back({"", false});
    pieces.back().text.append(s);
  };
  std::size_t i = 0;
  while (i < format.size()) {
    char c = format[i++];
    if (c != '%' || i >= format.size()) {
      literal(std::string_view(&c, 1));
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
        std::string conversion(format.substr(start, i - start));
        conversion.erase(std::remove(conversion.begin(), conversion.end(), 'l'), conversion.end());
        conversion.erase(std::remove(conversion.begin(), conversion.end(), 'h'), conversion.end());
        char number[kFormattedMax + 1];
        int n = std::snprintf(number, sizeof number, conversion.c_str(), va_arg(args, int));
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
    if (type == 's') pieces.push_back({field, true});
    else literal(field);
  }
  return pieces;
}

// Shortens the inserted texts so that all pieces fit limit: each gets an
// equal share of the room the catalogue's text leaves, and what a short one
// does not need goes to the longer ones.
void FitInserted(std::vector<Piece>& pieces, std::size_t limit) {
  std::size_t fixed = 0;
  std::vector<Piece*> inserted;
  for (Piece& p : pieces) {
    if (p.inserted) inserted.push_back(&p);
    else fixed += p.text.size();
  }
  std::size_t room = limit > fixed ? limit - fixed : 0;
  std::sort(inserted.begin(), inserted.end(), [](Piece* a, Piece* b) { return a->text.size() < b->text.size(); });
  for (std::size_t k = 0; k < inserted.size(); ++k) {
    std::size_t share = room / (inserted.size() - k);
    if (inserted[k]->text.size() > share) inserted[k]->text = InsertedText(inserted[k]->text, std::string_view::npos, share);
    room -= inserted[k]->text.size();
  }
}

}  // namespace

std::string InsertedText(std::string_view text, std::size_t precision, std::size_t max) {
  if (precision < text.size()) text = CutBytes(text, precision);
  text = WholeCharacters(text);
  if (text.size() <= max) return std::string(text);
  if (max < kShortened.size()) return std::string(CutBytes(text, max));
  std::string cut(CutBytes(text, max - kShortened.size()));
  return cut.append(kShortened);
}

std::string FormatCatalogueV(std::string_view format, va_list args, std::size_t limit) {
  limit = std::min(limit, kFormattedMax);
  std::vector<Piece> pieces = Fill(format, args);
  std::size_t total = 0;
  for (const Piece& p : pieces) total += p.text.size();
  if (total > limit) FitInserted(pieces, limit);
  std::string out;
  for (const Piece& p : pieces) out += p.text;
  return std::string(CutBytes(out, limit));
}

std::string FormatCatalogue(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatCatalogueV(format, args);
  va_end(args);
  return text;
}

std::string FormatCatalogueWithin(std::size_t limit, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatCatalogueV(format, args, limit);
  va_end(args);
  return text;
}

}  // namespace mcr
