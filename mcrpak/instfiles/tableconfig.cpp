#include "tableconfig.h"

#include <cstring>

#include "../bridge/rounding.h"

namespace mcr {

namespace {

constexpr std::string_view kConfigEnd = "</CONFIG>\r\n";
constexpr std::string_view kHeaderColsStart = "<HEADER COLS>\r\n";
constexpr std::string_view kDataColsStart = "<DATA COLS>\r\n";
constexpr std::string_view kHeaderColsKey = "HEADER COLS=";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The whole number at the start of text as atoi reads it (blanks, a sign,
// digits), held within the 32-bit range instead of overflowing.
std::int32_t LeadingInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (value <= INT32_MAX) value = value * 10 + (text[i] - '0');
  if (negative) value = -value;
  return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(value);
}

// The fraction after the mass's point: its first two digits as a number,
// so "58.9" reads as 9 hundredths.
std::int32_t Hundredths(std::string_view mass) {
  std::size_t dot = mass.find('.');
  if (dot == std::string_view::npos) return 0;
  std::int32_t value = 0;
  for (std::size_t i = dot + 1; i < mass.size() && i <= dot + 2 && mass[i] >= '0' && mass[i] <= '9'; ++i)
    value = value * 10 + (mass[i] - '0');
  return value;
}

// Splits a descriptor line at tabs and line ends; empty tokens take no column.
template <typename Each>
void ForEachToken(std::string_view line, Each each) {
  std::size_t start = 0;
  for (std::size_t i = 0; i <= line.size(); ++i) {
    if (i < line.size() && line[i] != '\t' && line[i] != '\r' && line[i] != '\n') continue;
    if (i > start) each(line.substr(start, i - start));
    start = i + 1;
  }
}

}  // namespace

bool ApplyKeyLine(TableSettings& s, std::string_view line) {
  if (line.substr(0, kHeaderColsKey.size()) == kHeaderColsKey) {
    s.headerCols = LeadingInt(line.substr(kHeaderColsKey.size()));
    return true;
  }
  struct Key {
    std::string_view text;
    void (*apply)(TableSettings&);
  };
  static const Key kKeys[] = {
      {"DATA TYPE=CPS\r\n", [](TableSettings& t) { t.data = TableData::Cps; }},
      {"DATA TYPE=CONC\r\n", [](TableSettings& t) { t.data = TableData::Conc; }},
      {"CORRECTION=ON\r\n", [](TableSettings& t) { t.correction = true; }},
      {"CORRECTION=OFF\r\n", [](TableSettings& t) { t.correction = false; }},
      {"HEADER INFO=ON\r\n", [](TableSettings& t) { t.headerInfo = true; }},
      {"HEADER INFO=OFF\r\n", [](TableSettings& t) { t.headerInfo = false; }},
      {"TABLE TYPE=MASS\r\n", [](TableSettings& t) { t.kind = TableKind::Mass; }},
      {"TABLE TYPE=POINT\r\n", [](TableSettings& t) { t.kind = TableKind::Point; }},
      {"ADDITIONAL=NONE\r\n", [](TableSettings& t) { t.additional = Additional::None; }},
      {"ADDITIONAL=DETECTOR\r\n", [](TableSettings& t) { t.additional = Additional::Detector; }},
      {"ADDITIONAL=CPS\r\n", [](TableSettings& t) { t.additional = Additional::Cps; }},
      {"ADDITIONAL=RSD\r\n", [](TableSettings& t) { t.additional = Additional::Rsd; }},
      {"ADDITIONAL=UNIT\r\n", [](TableSettings& t) { t.additional = Additional::Unit; }},
      {"ADDITIONAL=COUNT\r\n", [](TableSettings& t) { t.additional = Additional::Count; }},
  };
  for (const Key& k : kKeys) {
    if (line != k.text) continue;
    k.apply(s);
    return true;
  }
  return false;
}

std::optional<Descriptor> ParseDescriptor(std::string_view token) {
  std::size_t slash = token.find(" / ");
  if (slash == std::string_view::npos) return std::nullopt;
  std::string_view rest = token.substr(slash + 3);
  std::size_t hash = rest.find("[#");
  if (hash == std::string_view::npos) return std::nullopt;
  std::string_view mass = rest.substr(0, hash);
  std::int32_t step = LeadingInt(rest.substr(hash + 2));
  if (step < 1 || step > kTableSteps) return std::nullopt;
  long long position = 20LL * LeadingInt(mass) + RoundToInt(Hundredths(mass) * 0.2) - kPositionOffset;
  if (position < 0 || position >= kTablePositions) return std::nullopt;
  return Descriptor{step, static_cast<std::int32_t>(position)};
}

std::int32_t ColumnMap::At(int step, long long position) const {
  if (step < 1 || step > kTableSteps || position < 0 || position >= kTablePositions) return 0;
  const long long key = Key(step, position);
  return used_.test(static_cast<std::size_t>(key)) ? columns_.at(key) : 0;
}

void ColumnMap::Set(const Descriptor& d, std::int32_t column) {
  const long long key = Key(d.step, d.position);
  used_.set(static_cast<std::size_t>(key));
  columns_[key] = column;
}

bool LineReader::Next(std::string& line) {
  line.clear();
  for (;;) {
    if (at_ == end_) {
      at_ = 0;
      end_ = source_.Read(buffer_.data(), buffer_.size());
      if (end_ == 0) return !line.empty();
    }
    const char* begin = buffer_.data() + at_;
    const void* nl = std::memchr(begin, '\n', end_ - at_);
    std::size_t n = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - begin) + 1 : end_ - at_;
    line.append(begin, n);
    at_ += n;
    if (nl) return true;
  }
}

bool ReadTableLayout(ByteSource& source, TableLayout& layout) {
  LineReader lines(source);
  std::string line;
  do {  // lines before the key block are passed over
    if (!lines.Next(line)) return false;
  } while (line != kConfigStart);
  for (;;) {
    if (!lines.Next(line)) return false;
    if (line == kConfigEnd) break;
    ApplyKeyLine(layout.settings, line);
  }
  bool headerCols = false;
  for (;;) {
    if (!lines.Next(line) || line == kDataColsEnd) return false;
    if (line == kDataColsStart) break;
    headerCols = headerCols || line == kHeaderColsStart;
  }
  if (layout.settings.headerInfo && !headerCols) return false;
  std::int32_t column = 0;
  for (;;) {
    if (!lines.Next(line)) return false;
    if (line == kDataColsEnd) break;
    ForEachToken(line, [&](std::string_view token) {
      ++column;
      if (std::optional<Descriptor> d = ParseDescriptor(token)) layout.map.Set(*d, column);
    });
  }
  layout.columns = column;
  return true;
}

std::optional<std::size_t> ConfigCopyLength(std::string_view config) {
  if (config.substr(0, kConfigStart.size()) != kConfigStart) return std::nullopt;
  std::size_t end = config.find(kDataColsEnd);
  if (end == std::string_view::npos) return std::nullopt;
  return end + kDataColsEnd.size();
}

std::optional<std::uint64_t> FindClosingLine(ByteSource& source, std::uint64_t size) {
  constexpr std::size_t kChunk = 4096;
  constexpr std::size_t kLine = kTableEnd.size(), kUpToGt = kLine - 2;
  char buffer[kChunk];
  for (std::uint64_t end = size; end > 0;) {
    const std::uint64_t start = end > kChunk ? end - kChunk : 0;
    const auto n = static_cast<std::size_t>(end - start);
    if (!source.Seek(start) || !ReadExact(source, buffer, n)) return std::nullopt;
    const std::string_view piece(buffer, n);
    const std::size_t gt = piece.rfind('>');
    if (gt == std::string_view::npos) {
      end = start;
      continue;
    }
    const std::uint64_t pastGt = start + gt + 1;
    if (pastGt < kUpToGt) return std::nullopt;
    const std::uint64_t line = pastGt - kUpToGt;
    std::string_view text;
    char edge[kLine];
    if (line >= start && pastGt + 2 <= end) {
      text = piece.substr(static_cast<std::size_t>(line - start), kLine);
    } else {  // the line straddles the piece just read
      if (!source.Seek(line) || !ReadExact(source, edge, kLine)) return std::nullopt;
      text = std::string_view(edge, kLine);
    }
    if (text != kTableEnd) return std::nullopt;
    return line;
  }
  return std::nullopt;
}

}  // namespace mcr
