#include "calblayout.h"

#include "lebytes.h"

namespace mcr {

namespace {
constexpr std::size_t kNameAt = 4, kNameWidth = 26;
constexpr std::size_t kQuantAt = 30, kQuantWidth = 56;
constexpr std::size_t kPointsAt = 86, kIstdAt = 128;
}  // namespace

CalibHeader DecodeCalibHeader(const std::uint8_t* p) { return {le::U32(p, 12), le::U32(p, 16)}; }

CalibRecord DecodeCalibRecord(const std::uint8_t* p) {
  return {le::I32(p, 0), le::Text(p, kNameAt, kNameWidth), le::Text(p, kQuantAt, kQuantWidth),
          le::I32(p, kPointsAt), le::I32(p, kIstdAt)};
}

bool InParentheses(const std::string& name) {
  return name.size() >= 2 && name.front() == '(' && name.back() == ')';
}

std::optional<CalibCount> ReadCalibCount(ByteSource& file) {
  std::uint8_t header[kCalibHeaderSize];
  if (!file.Seek(0) || !ReadExact(file, header, sizeof header)) return std::nullopt;
  CalibCount c{DecodeCalibHeader(header), 0};
  std::uint8_t count[4];
  if (!file.Seek(c.header.countOffset) || !ReadExact(file, count, sizeof count)) return std::nullopt;
  c.count = le::I32(count, 0);
  return c;
}

bool ForEachCalibRecord(ByteSource& file, const CalibCount& at,
                        const std::function<bool(const CalibRecord&)>& visit) {
  if (!file.Seek(at.header.firstRecordOffset)) return at.count <= 0;
  std::uint8_t raw[kCalibRecordSize];
  for (std::int32_t i = 0; i < at.count; ++i) {
    if (!ReadExact(file, raw, sizeof raw)) return false;
    CalibRecord r = DecodeCalibRecord(raw);
    bool more = visit(r);
    bool last = i + 1 == at.count;
    if (!more || last) return true;
    if (r.points < 0 || !Skip(file, static_cast<std::int64_t>(kCalibPointSize) * r.points))
      return false;
  }
  return true;
}

MassList ListCalibration(ByteSource& file, Selector selector, const std::string& notQuantified) {
  MassList list;
  list.namesWanted = selector == Selector::Name;
  std::optional<CalibCount> count = ReadCalibCount(file);
  if (!count) return list;
  list.status = ListStatus::Ok;
  bool asSet = selector == Selector::Istd || selector == Selector::Ana;
  bool present[kMassMax + 1] = {};
  ForEachCalibRecord(file, *count, [&](const CalibRecord& r) {
    bool quantified = r.quantMode != notQuantified && !InParentheses(r.name);
    switch (selector) {
      case Selector::Mass: list.masses.push_back(r.mass); break;
      case Selector::Name: list.names.push_back(r.name); break;
      case Selector::Istd:
      case Selector::Ana:
        // Masses are positions here: one outside 1 to 260 has no place.
        if ((selector == Selector::Istd ? r.istdMark > 0 : r.istdMark == 0) && r.mass >= kMassMin &&
            r.mass <= kMassMax)
          present[r.mass] = true;
        break;
      case Selector::On:
        if (quantified) list.masses.push_back(r.mass);
        break;
      case Selector::Off:
        if (!quantified) list.masses.push_back(r.mass);
        break;
      default: break;
    }
    return list.count() < kListMax;
  });
  if (asSet)
    for (std::int32_t m = kMassMin; m <= kMassMax; ++m)
      if (present[m]) list.masses.push_back(m);
  return list;
}

}  // namespace mcr
