#include "qclayout.h"

#include "lebytes.h"

namespace mcr {

namespace {

constexpr std::size_t kCheckMassAt = 10, kCheckOffAt = 12, kCriteriaAt = 14;
constexpr std::size_t kExtraAt = 118, kReportOffAt = 124;

// Leaves the file at the check entries of the first group with the number.
// A group header that cannot be read whole ends the search, and so does an
// earlier group whose entry count is negative (the next group cannot be found
// from it). The group sought counts even with such a count: it has no entries.
std::optional<QcGroupHeader> SeekGroup(ByteSource& file, const QcStart& start, std::int32_t group) {
  if (!file.Seek(start.header.groupOffset)) return std::nullopt;
  std::uint8_t raw[kQcGroupHeaderSize];
  for (std::int32_t g = 0; g < start.info.groups; ++g) {
    if (!ReadExact(file, raw, sizeof raw)) return std::nullopt;
    QcGroupHeader h = DecodeQcGroupHeader(raw);
    if (h.number == group) return h;
    if (h.entries < 0) return std::nullopt;
    if (!Skip(file, static_cast<std::int64_t>(kQcCheckSize) * h.entries)) return std::nullopt;
  }
  return std::nullopt;
}

bool Wanted(Selector selector, const QcCheck& c, std::int16_t version) {
  bool reportMarks = version == kQcVersionWithReportMark;
  switch (selector) {
    case Selector::On: return c.checkOff != 1;
    case Selector::Off: return c.checkOff == 1;
    case Selector::RptOn: return !reportMarks || c.reportOff != 1;
    case Selector::RptOff: return reportMarks && c.reportOff == 1;
    default: return false;
  }
}

// The element list: masses or names of the records the selector takes, in
// file order, up to the list's limit or the first record not read whole.
void ListElements(ByteSource& file, const QcStart& start, Selector selector, MassList& list) {
  if (!file.Seek(start.header.elementOffset)) return;
  std::uint8_t raw[kQcElementSize];
  for (std::int32_t i = 0; i < start.info.elements && list.count() < kListMax; ++i) {
    if (!ReadExact(file, raw, sizeof raw)) return;
    QcElement e = DecodeQcElement(raw);
    if (selector == Selector::Name)
      list.names.push_back(e.name);
    else if (selector == Selector::Mass || (selector == Selector::Istd && e.istdMark == 1) ||
             (selector == Selector::Ana && e.istdMark == 0))
      list.masses.push_back(e.mass);
  }
}

}  // namespace

QcHeader DecodeQcHeader(const std::uint8_t* p) { return {le::U32(p, 0), le::U32(p, 4), le::U32(p, 8)}; }

QcInfo DecodeQcInfo(const std::uint8_t* p) { return {le::I16(p, 0), le::I16(p, 2), le::I16(p, 4)}; }

QcElement DecodeQcElement(const std::uint8_t* p) {
  return {le::I16(p, 0), le::Text(p, 2, 10), le::I16(p, 12)};
}

QcGroupHeader DecodeQcGroupHeader(const std::uint8_t* p) { return {le::I16(p, 0), le::I16(p, 2)}; }

QcCheck DecodeQcCheck(const std::uint8_t* p) {
  QcCheck c{};
  c.mass = le::I16(p, kCheckMassAt);
  c.checkOff = le::I16(p, kCheckOffAt);
  for (std::size_t b = 0; b < 4; ++b) {
    std::size_t at = kCriteriaAt + b * kQcCriteriaSize;
    for (std::size_t i = 0; i < 3; ++i) {
      c.criteria[b].limits[i] = le::F32(p, at + 4 * i);
      c.criteria[b].settings[i] = le::I16(p, at + 12 + 2 * i);
    }
  }
  for (std::size_t i = 0; i < 3; ++i) c.extra[i] = le::I16(p, kExtraAt + 2 * i);
  c.reportOff = le::I16(p, kReportOffAt);
  return c;
}

std::array<double, kQcCheckItems> QcCheckTable(const QcCheck& c, std::int16_t version) {
  std::array<double, kQcCheckItems> t{};
  std::size_t n = 0;
  for (const QcCriteria& block : c.criteria)
    for (float limit : block.limits) t[n++] = limit;
  for (std::size_t s = 0; s < 3; ++s)
    for (const QcCriteria& block : c.criteria) t[n++] = block.settings[s];
  // The third extra value comes before the second.
  t[n++] = c.extra[0];
  t[n++] = c.extra[2];
  t[n++] = c.extra[1];
  t[n++] = c.checkOff;
  t[n++] = version == kQcVersionWithReportMark ? c.reportOff : 0;
  return t;
}

std::optional<QcStart> ReadQcStart(ByteSource& file) {
  std::uint8_t header[kQcHeaderSize];
  if (!file.Seek(0) || !ReadExact(file, header, sizeof header)) return std::nullopt;
  QcStart s{DecodeQcHeader(header), {}};
  std::uint8_t info[kQcInfoSize];
  if (!file.Seek(s.header.infoOffset) || !ReadExact(file, info, sizeof info)) return std::nullopt;
  s.info = DecodeQcInfo(info);
  return s;
}

MassList ListQcDatabase(ByteSource& file, Selector selector, const std::int32_t* group) {
  MassList list;
  list.namesWanted = selector == Selector::Name;
  std::optional<QcStart> start = ReadQcStart(file);
  if (!start) return list;
  if (!IsGroupSelector(selector)) {
    list.status = ListStatus::Ok;
    ListElements(file, *start, selector, list);
    return list;
  }
  if (!group) {
    list.status = ListStatus::GroupMissing;
    return list;
  }
  std::optional<QcGroupHeader> found = SeekGroup(file, *start, *group);
  if (!found) {
    list.status = ListStatus::NoGroup;
    return list;
  }
  list.status = ListStatus::Ok;
  std::uint8_t raw[kQcCheckSize];
  for (std::int32_t i = 0; i < found->entries && list.masses.size() < kListMax; ++i) {
    if (!ReadExact(file, raw, sizeof raw)) break;
    QcCheck c = DecodeQcCheck(raw);
    if (Wanted(selector, c, start->info.version)) list.masses.push_back(c.mass);
  }
  return list;
}

MassList ListTuneCriteria(ByteSource& file, Selector selector) {
  MassList list;
  list.namesWanted = selector == Selector::Name;
  std::optional<QcStart> start = ReadQcStart(file);
  if (!start) return list;
  list.status = ListStatus::Ok;
  ListElements(file, *start, selector, list);
  return list;
}

QcCheckSearch FindQcCheck(ByteSource& file, std::int32_t group, std::int32_t mass) {
  QcCheckSearch out;
  std::optional<QcStart> start = ReadQcStart(file);
  if (!start) return out;
  out.status = QcCheckSearch::NotFound;
  out.version = start->info.version;
  std::optional<QcGroupHeader> found = SeekGroup(file, *start, group);
  if (!found) return out;
  std::uint8_t raw[kQcCheckSize];
  for (std::int32_t i = 0; i < found->entries; ++i) {
    if (!ReadExact(file, raw, sizeof raw)) return out;
    QcCheck c = DecodeQcCheck(raw);
    if (c.mass == mass) {
      out.check = c;
      out.status = QcCheckSearch::Found;
      return out;
    }
  }
  return out;
}

}  // namespace mcr
