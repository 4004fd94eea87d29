#include "offlinecfg.h"

#include <algorithm>
#include <cstring>

#include "../bridge/sjistext.h"

namespace mcr {

namespace {

constexpr std::int32_t kIntMax = 2147483647;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal number at the start of text (an optional "-"), 0 when there
// is none; saturated at the 32-bit limits.
std::int32_t LeadingNumber(std::string_view text) {
  bool negative = !text.empty() && text[0] == '-';
  long long v = 0;
  for (std::size_t i = negative ? 1 : 0; i < text.size() && IsDigit(text[i]); ++i)
    v = std::min<long long>(v * 10 + (text[i] - '0'), 2147483648LL);
  if (negative) return static_cast<std::int32_t>(-v);
  return static_cast<std::int32_t>(std::min<long long>(v, kIntMax));
}

// Reads a text file a line at a time: line ends are LF or CR LF, a line
// longer than kTableLineMax bytes keeps its first kTableLineMax bytes (no
// double-byte character cut in two).
class LineReader {
 public:
  explicit LineReader(ByteSource& source) : source_(source) {}

  bool Next(std::string* line) {
    // Two bytes beyond the limit tell a CR LF just after it from a longer line.
    constexpr std::size_t kKeep = kTableLineMax + 2;
    line->clear();
    bool any = false, dropped = false;
    for (;;) {
      if (pos_ == end_) {
        end_ = source_.Read(buffer_, sizeof buffer_);
        pos_ = 0;
        if (end_ == 0) break;
      }
      any = true;
      const char* start = buffer_ + pos_;
      const void* lf = std::memchr(start, '\n', end_ - pos_);
      std::size_t n = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : end_ - pos_;
      std::size_t take = std::min(n, kKeep - line->size());
      line->append(start, take);
      dropped = dropped || take < n;
      pos_ += n;
      if (lf) {
        ++pos_;
        break;
      }
    }
    if (!dropped && !line->empty() && line->back() == '\r') line->pop_back();
    if (line->size() > kTableLineMax) *line = std::string(CutBytes(*line, kTableLineMax));
    return any;
  }

 private:
  ByteSource& source_;
  char buffer_[512];
  std::size_t pos_ = 0, end_ = 0;
};

std::string_view TrimEnd(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsMarker(std::string_view line, const char* marker) { return EqualNoCase(TrimEnd(line), marker); }

// Calls visit with each line between the two marker lines.
template <typename Visit>
void ForEachLineBetween(ByteSource& source, const char* begin, const char* end, Visit visit) {
  LineReader reader(source);
  std::string line;
  bool inside = false;
  while (reader.Next(&line)) {
    if (!inside) {
      inside = IsMarker(line, begin);
    } else if (IsMarker(line, end)) {
      inside = false;
    } else {
      visit(line);
    }
  }
}

// The text up to the next tab, and the rest after it.
std::string_view Field(std::string_view* rest) {
  std::size_t tab = rest->find('\t');
  std::string_view field = rest->substr(0, tab);
  *rest = tab == std::string_view::npos ? std::string_view() : rest->substr(tab + 1);
  return field;
}

}  // namespace

std::vector<Choice> ParseChoiceList(const void* data, std::size_t size) {
  std::vector<Choice> choices;
  std::string_view rest(static_cast<const char*>(data), data ? size : 0);
  while (!rest.empty() && choices.size() < kMaxChoices) {
    std::size_t nul = rest.find('\0');
    std::string_view entry = rest.substr(0, nul);
    rest = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
    if (entry.empty()) break;
    std::size_t colon = entry.find(':');
    Choice c;
    c.name = std::string(entry.substr(0, colon));
    c.value = colon == std::string_view::npos ? 0 : LeadingNumber(entry.substr(colon + 1));
    choices.push_back(std::move(c));
  }
  return choices;
}

std::optional<std::int32_t> SettingNumber(std::string_view text) {
  std::size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
  if (digits >= text.size() || !IsDigit(text[digits])) return std::nullopt;
  return LeadingNumber(text);
}

std::vector<StandardApplication> ReadStandardApplications(ByteSource& table) {
  std::vector<StandardApplication> apps;
  ForEachLineBetween(table, "#STD_BEG", "#STD_END", [&](std::string_view line) {
    if (line.empty()) return;
    StandardApplication app;
    app.name = std::string(Field(&line));
    app.fileWithSampler = std::string(Field(&line));
    app.fileWithout = std::string(Field(&line));
    apps.push_back(std::move(app));
  });
  return apps;
}

std::string ReadApplicationName(ByteSource& file) {
  std::string name;
  bool found = false;
  ForEachLineBetween(file, "#APP_BEG", "#APP_END", [&](std::string_view line) {
    if (found || !EqualNoCase(Field(&line), "AppName")) return;
    name = std::string(Field(&line));
    found = true;
  });
  return name;
}

std::vector<std::int32_t> MassesFromKey(std::string_view key) {
  std::vector<std::int32_t> masses;
  for (std::size_t i = 0; i < key.size() && masses.size() < kMassFields;) {
    if (!IsDigit(key[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < key.size() && IsDigit(key[end])) ++end;
    masses.push_back(LeadingNumber(key.substr(i, end - i)));
    i = end;
  }
  return masses;
}

InhibitedMasses CheckMassFields(const std::array<std::string, kMassFields>& fields) {
  InhibitedMasses out;
  for (std::size_t i = 0; i < kMassFields; ++i) {
    const std::string& text = fields[i];
    if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit)) continue;
    std::size_t first = std::min(text.find_first_not_of('0'), text.size());
    if (text.size() - first > 3) continue;
    std::int32_t mass = LeadingNumber(text.substr(first));
    if (mass < kMassMin || mass > kMassMax) continue;
    if (std::find(out.masses.begin(), out.masses.end(), mass) != out.masses.end()) continue;
    out.masses.push_back(mass);
    out.fields[i] = std::to_string(mass);
  }
  std::sort(out.masses.begin(), out.masses.end());
  return out;
}

std::string InhibitKeyText(const std::vector<std::int32_t>& masses) {
  std::string text;
  for (std::int32_t m : masses) text += std::to_string(m) + ' ';
  return text;
}

}  // namespace mcr
