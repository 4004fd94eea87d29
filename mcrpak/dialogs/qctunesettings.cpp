#include "qctunesettings.h"

#include <cstdint>
#include <limits>

#include "../bridge/sjistext.h"

namespace mcr {

namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Where the name part of a path begins: after the last separator that is a
// character of its own, or after a drive's colon.
std::size_t NameStart(std::string_view path) {
  std::size_t start = path.size() >= 2 && path[1] == ':' ? 2 : 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsSjisLead(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (path[i] == '\\' || path[i] == '/') start = i + 1;
  }
  return start;
}

}  // namespace

std::vector<std::string> SplitTuneItem(std::string_view value) {
  std::vector<std::string> fields;
  std::size_t at = 0;
  while (at < value.size()) {
    std::size_t comma = value.find(',', at);
    if (comma == std::string_view::npos) comma = value.size();
    if (comma > at) fields.emplace_back(value.substr(at, comma - at));
    at = comma + 1;
  }
  return fields;
}

std::int32_t LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr std::int64_t kBeyond = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t n = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (n <= kBeyond) n = n * 10 + (text[i] - '0');
  if (negative) return n >= kBeyond ? std::numeric_limits<std::int32_t>::min() : static_cast<std::int32_t>(-n);
  return n >= kBeyond ? std::numeric_limits<std::int32_t>::max() : static_cast<std::int32_t>(n);
}

std::string PercentText(std::string_view text) {
  std::int32_t n = LeadingNumber(text);
  return std::to_string(n < 0 ? 0 : n);
}

std::string TuneItemValue(bool on, std::string_view flag, std::string_view third) {
  std::string value = on ? "1," : "0,";
  value.append(flag);
  value += ',';
  value.append(third);
  return value;
}

MethodPathParts SplitMethodPath(std::string_view path) {
  std::size_t start = NameStart(path);
  return {std::string(path.substr(0, start)), std::string(path.substr(start))};
}

bool IsHtmlHelpFile(std::string_view path) {
  std::string_view name = path.substr(NameStart(path));
  std::size_t dot = name.rfind('.');
  return dot != std::string_view::npos && name.substr(dot) == ".chm";
}

}  // namespace mcr
