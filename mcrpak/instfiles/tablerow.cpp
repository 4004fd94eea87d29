#include "tablerow.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>
#include <vector>

#include "../util/numfmt.h"
#include "../bridge/sjistext.h"
#include "datalayout.h"
#include "lebytes.h"

namespace mcr {

namespace {

// Data file header: where the acquisition block is, counted in 16-bit
// words from 1. The mass table is the element table the header points at.
constexpr std::size_t kBlockPosOffset = 264;

constexpr std::size_t kMassEntrySize = kElementEntrySize;
constexpr std::size_t kEntryMeanOffset = 12;
constexpr std::size_t kEntrySdOffset = 18;
constexpr std::size_t kEntryDetectorOffset = 22;

constexpr std::size_t kBlockSize = 24;
constexpr std::size_t kBlockPointCountOffset = 16;
constexpr std::size_t kPointSize = 10;

constexpr std::size_t kQuantHeaderSize = 1540;
constexpr std::size_t kQuantCountOffset = 938;
constexpr std::size_t kQuantPresentOffset = 1350;
constexpr std::size_t kQuantRecordSize = 132;
constexpr std::size_t kQuantRecordsPerRead = 64;
constexpr std::size_t kRecordRateOffset = 16;
constexpr std::size_t kRecordConcOffset = 20;
constexpr std::size_t kRecordUnitOffset = 24;
constexpr std::size_t kRecordUnitWidth = 18;
constexpr std::size_t kRecordSdOffset = 42;
constexpr std::size_t kRecordDetectorOffset = 78;

// The texts of the header fields: offset and width with the terminator.
struct TextField {
  std::size_t at;
  std::size_t width;
};
constexpr TextField kHeaderTexts[] = {{25, 61}, {87, 61}, {149, 29}, {179, 29}, {209, 9}, {229, 19}};
constexpr std::size_t kNumberFieldOffset = 254;
constexpr std::size_t kMultiplierOffset = 312;
constexpr std::size_t kExtraFlagOffset = 316;
constexpr std::size_t kExtraFactorOffset = 318;
constexpr std::size_t kRatioFlagOffset = 380;
constexpr std::size_t kRatioOffsets[] = {356, 360, 364};

// A byte offset from a word offset counted from 1; negative when there is none.
long long WordToByte(std::int32_t word) { return 2LL * word - 2; }

// Texts from the files go into one cell: tabs and line ends would split
// the row, so they become blanks.
std::string CellText(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return text;
}

const char* DetectorCode(std::int16_t mode) {
  switch (mode) {
    case 0: return "{P}";
    case 1: return "{A}";
    case 9: return "{E}";
    case 100: return "{M}";
    default: return "";
  }
}

std::string Braced(double value, const char* suffix = "") {
  if (!std::isfinite(value)) return {};
  return "{" + FormatFixed(value, 2) + suffix + "}";
}

// |sd / base x 100| as "{12.34%}"; unknown when that is not a finite
// number, as with a base of 0.
std::string Rsd(double sd, double base, const char* unknown) {
  double rsd = std::fabs(sd / base * 100.0);
  if (!std::isfinite(rsd)) return unknown;
  return Braced(rsd, "%");
}

class RowBuilder {
 public:
  explicit RowBuilder(const TableLayout& layout) : layout_(layout), cells_(static_cast<std::size_t>(layout.columns)) {}

  // The cell of column (0 for none): the value with two decimals and the
  // additional text, which is left out when both do not fit. A value that
  // is not a number, or too long for a cell, leaves the cell empty.
  void Put(std::int32_t column, double value, const std::string& additional) {
    if (column < 1 || column > layout_.columns) return;
    std::string& cell = cells_[static_cast<std::size_t>(column - 1)];
    cell.clear();
    if (!std::isfinite(value)) return;
    cell = FormatFixed(value, 2);
    if (cell.size() > kCellMax)
      cell.clear();
    else if (cell.size() + additional.size() <= kCellMax)
      cell += additional;
  }

  std::string Line(std::string_view dir, const std::string* header) const {
    std::string line(dir);
    line += '\t';
    if (header) line += *header;
    for (const std::string& cell : cells_) {
      line += cell;
      line += '\t';
    }
    line += "\r\n";
    return line;
  }

 private:
  const TableLayout& layout_;
  std::vector<std::string> cells_;
};

// A step's count rates from its open data file, past the header.
class CpsStep {
 public:
  CpsStep(const TableLayout& layout, RowBuilder& row, std::vector<std::uint8_t>& table)
      : layout_(layout), row_(row), table_(table) {}

  void Read(ByteSource& file, const std::uint8_t* header, int step) {
    step_ = step;
    std::int16_t count = ElementCount(header);
    const std::size_t entries = count > 0 ? static_cast<std::size_t>(count) : 0;
    table_.resize(entries * kMassEntrySize);
    if (entries > 0 && !ReadAt(file, ElementTableStart(header), table_.data(), table_.size())) return;
    IndexEntries(entries);
    std::uint8_t block[kBlockSize];
    if (!ReadAt(file, WordToByte(le::I32(header, kBlockPosOffset)), block, sizeof block)) return;
    std::int16_t declared = le::I16(block, kBlockPointCountOffset);
    auto left = static_cast<std::size_t>(declared > 0 ? declared : 0);
    // A file shorter than its count ends the step after its last whole point.
    std::uint8_t points[kPointsPerRead * kPointSize];
    Group group;  // a run of points of one whole mass, summed as they follow one another
    while (left > 0) {
      std::size_t want = left < kPointsPerRead ? left : kPointsPerRead;
      std::size_t got = file.Read(points, want * kPointSize) / kPointSize;
      if (layout_.settings.kind == TableKind::Point)
        EachPoint(points, got);
      else
        group = EachMass(points, got, group);
      if (got < want) break;
      left -= want;
    }
    if (group.points > 0) EndGroup(group);
  }

 private:
  static constexpr std::size_t kPointsPerRead = 1600;

  struct Group {
    std::int32_t mass = 0;
    std::size_t points = 0;
    double counts = 0, time = 0;
  };

  static bool ReadAt(ByteSource& file, long long at, std::uint8_t* to, std::size_t n) {
    return at >= 0 && file.Seek(static_cast<std::uint64_t>(at)) && ReadExact(file, to, n);
  }

  void EachPoint(const std::uint8_t* points, std::size_t n) {
    for (const std::uint8_t* p = points; p < points + n * kPointSize; p += kPointSize) {
      const std::uint16_t x = le::U16(p, 0);
      std::int32_t column = layout_.map.At(step_, static_cast<long long>(x) - kPositionOffset);
      if (column == 0) continue;
      const double counts = le::F32(p, 6);
      row_.Put(column, counts / le::F32(p, 2), Additional(x, counts));
    }
  }

  // Continues the run of group over n more points; the run still open.
  Group EachMass(const std::uint8_t* points, std::size_t n, Group group) {
    for (const std::uint8_t* p = points; p < points + n * kPointSize; p += kPointSize) {
      const std::int32_t mass = MassOfPosition(le::U16(p, 0));
      if (group.points > 0 && mass != group.mass) {
        EndGroup(group);
        group = Group();
      }
      group.mass = mass;
      ++group.points;
      group.counts += le::F32(p, 6);
      group.time += le::F32(p, 2);
    }
    return group;
  }

  void EndGroup(const Group& group) {
    std::int32_t column = layout_.map.At(step_, 20LL * group.mass - kPositionOffset);
    if (column != 0) row_.Put(column, group.counts / group.time, Additional(group.mass, group.counts));
  }

  // The entries by mass, the first of each mass kept, for the lookups of
  // the additional values.
  void IndexEntries(std::size_t entries) {
    index_.clear();
    if (layout_.settings.additional != Additional::Detector && layout_.settings.additional != Additional::Rsd) return;
    for (std::size_t i = 0; i < entries; ++i) index_.emplace_back(le::I16(table_.data(), i * kMassEntrySize), i);
    std::sort(index_.begin(), index_.end());  // by mass, then by place in the table
    index_.erase(std::unique(index_.begin(), index_.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
                 index_.end());
  }

  // The first mass table entry for key, or null.
  const std::uint8_t* Entry(std::int32_t key) const {
    auto it = std::lower_bound(index_.begin(), index_.end(), key, [](const auto& e, std::int32_t k) { return e.first < k; });
    if (it == index_.end() || it->first != key) return nullptr;
    return table_.data() + it->second * kMassEntrySize;
  }

  std::string Additional(std::int32_t key, double counts) const {
    switch (layout_.settings.additional) {
      case Additional::Detector: {
        const std::uint8_t* e = Entry(key);
        return e ? DetectorCode(le::I16(e, kEntryDetectorOffset)) : "{}";
      }
      case Additional::Rsd: {
        const std::uint8_t* e = layout_.settings.kind == TableKind::Mass ? Entry(key) : nullptr;
        return e ? Rsd(le::F32(e, kEntrySdOffset), le::F32(e, kEntryMeanOffset), "{---}") : "{---}";
      }
      case Additional::Count: return Braced(counts);
      default: return {};
    }
  }

  const TableLayout& layout_;
  RowBuilder& row_;
  std::vector<std::uint8_t>& table_;
  int step_ = 0;
  std::vector<std::pair<std::int16_t, std::size_t>> index_;
};

std::string QuantAdditional(Additional additional, const std::uint8_t* r) {
  switch (additional) {
    case Additional::Detector: return DetectorCode(le::I16(r, kRecordDetectorOffset));
    case Additional::Cps: return Braced(le::F32(r, kRecordRateOffset));
    case Additional::Rsd: return Rsd(le::F32(r, kRecordSdOffset), le::F32(r, kRecordConcOffset), "{---%}");
    case Additional::Unit: {
      std::string unit = le::Text(r, kRecordUnitOffset, kRecordUnitWidth);
      return "{" + CellText(std::string(CutBytes(unit, kRecordUnitWidth))) + "}";
    }
    default: return {};
  }
}

// A step's concentrations; whether the file gave any result record.
bool ReadQuantStep(ByteSource& file, const TableLayout& layout, int step, RowBuilder& row) {
  std::uint8_t header[kQuantHeaderSize];
  if (!ReadExact(file, header, sizeof header)) return false;
  std::int32_t count = le::I32(header, kQuantCountOffset);
  if (le::I32(header, kQuantPresentOffset) == 0 || count < 1) return false;
  std::uint8_t records[kQuantRecordsPerRead * kQuantRecordSize];
  auto left = static_cast<std::size_t>(count);
  bool any = false;
  while (left > 0) {
    std::size_t want = left < kQuantRecordsPerRead ? left : kQuantRecordsPerRead;
    std::size_t got = file.Read(records, want * kQuantRecordSize) / kQuantRecordSize;
    for (std::size_t i = 0; i < got; ++i) {
      const std::uint8_t* r = records + i * kQuantRecordSize;
      std::int32_t column = layout.map.At(step, 20LL * le::I32(r, 0) - kPositionOffset);
      if (column != 0)
        row.Put(column, le::F32(r, kRecordConcOffset), QuantAdditional(layout.settings.additional, r));
    }
    any = any || got > 0;
    if (got < want) break;
    left -= want;
  }
  return any;
}

}  // namespace

std::int32_t MassOfPosition(std::uint16_t x) { return x / 20 + (x % 20 > 10 ? 1 : 0); }

std::string HeaderNumber(double value) {
  // NaN is "not above" the lower limit either.
  return FormatSignificant(std::isnan(value) ? kHeaderNumberFormat.lower : value, kHeaderNumberFormat);
}

std::string HeaderFields(const std::uint8_t* h) {
  std::string out;
  auto field = [&out](const std::string& text) {
    out += text;
    out += '\t';
  };
  for (const TextField& f : kHeaderTexts)
    field(CellText(std::string(CutBytes(le::Text(h, f.at, f.width), f.width - 1))));
  field(std::to_string(le::I16(h, kNumberFieldOffset)));
  double factor = le::I32(h, kRatioFlagOffset) == 1
                      ? static_cast<double>(le::F32(h, kRatioOffsets[0])) / le::F32(h, kRatioOffsets[1]) *
                            le::F32(h, kRatioOffsets[2])
                      : le::F32(h, kMultiplierOffset);
  bool extra = le::I16(h, kExtraFlagOffset) == 1;
  double extraFactor = le::F32(h, kExtraFactorOffset);
  field(HeaderNumber(factor));
  field(extra ? HeaderNumber(extraFactor) : "");
  field(HeaderNumber(extra ? extraFactor * factor : factor));
  return out;
}

std::string ReadingDirectory(std::string_view dir, bool correction) {
  if (!correction) return std::string(dir);
  std::string base(dir);
  while (!base.empty() && (EndsWithBackslash(base) || base.back() == '/')) base.pop_back();
  // The last component starts after the last separator that is a whole
  // character, or after a drive.
  std::size_t start = base.size() >= 2 && base[1] == ':' ? 2 : 0;
  for (std::size_t i = 0; i < base.size(); ++i) {
    if (IsSjisLead(static_cast<unsigned char>(base[i])) && i + 1 < base.size())
      ++i;
    else if (base[i] == '\\' || base[i] == '/')
      start = i + 1;
  }
  return base + "\\" + base.substr(start) + "#";
}

Row ComputeRow(const TableLayout& layout, std::string_view dir, const FileOpener& open) {
  const TableSettings& s = layout.settings;
  RowBuilder row(layout);
  std::vector<std::uint8_t> table;
  std::string header;
  bool headerRead = false, results = false;
  Row out;
  const std::string from = ReadingDirectory(dir, s.correction);
  try {
    for (int step = 1; step <= kTableSteps; ++step) {
      std::unique_ptr<ByteSource> file = open(StepFilePath(from, step));
      std::uint8_t h[kDataHeaderSize];
      if (!file || !ReadExact(*file, h, sizeof h)) continue;
      if (!headerRead && s.headerInfo) header = HeaderFields(h);
      headerRead = true;
      if (s.data == TableData::Cps) {
        CpsStep(layout, row, table).Read(*file, h, step);
        continue;
      }
      file.reset();
      std::unique_ptr<ByteSource> quant = open(TwoDigitFileName(from, "quant.", static_cast<unsigned>(step)));
      if (quant && ReadQuantStep(*quant, layout, step, row)) results = true;
    }
    if (s.data == TableData::Conc && !results) out.failure = RowFailure::NoQuantResults;
    if (s.data == TableData::Cps && !headerRead) out.failure = RowFailure::NoDataHeader;
  } catch (const std::bad_alloc&) {
    out.failure = RowFailure::NoMemory;
  }
  if (s.headerInfo && !headerRead) header.assign(kHeaderFieldCount, '\t');
  out.line = row.Line(dir, s.headerInfo ? &header : nullptr);
  return out;
}

}  // namespace mcr
