#include "runmasses.h"

#include <cstring>
#include <new>
#include <set>

#include "../bridge/catalogue.h"
#include "calblayout.h"
#include "lebytes.h"
#include "qclayout.h"

namespace mcr {

namespace {

constexpr std::size_t kRunGroupCountAt = 104;

bool InMassRange(std::int32_t m) { return m >= kMassMin && m <= kMassMax; }

// Run group numbers a method's list names (the zero entries of mode 2 stand
// for events without a run group).
std::vector<std::int32_t> NamedRunGroups(const MethodRunGroups& method) {
  std::vector<std::int32_t> groups;
  for (int i = 0; i < method.count && i < kMethodRunGroups; ++i)
    if (method.mode != 2 || method.list[i] != 0) groups.push_back(method.list[i]);
  return groups;
}

void Mark(RunGroupMassTable& table, int block, const MassRecord& r) {
  // A mass outside 1 to 260 has no entry; such a record is passed over.
  if (!InMassRange(r.mass)) return;
  RunGroupMassEntry& e = MassTableEntry(table, block, r.mass);
  e.measured = 1;
  std::memset(e.name, 0, sizeof e.name);
  std::memcpy(e.name, r.name.data(), r.name.size() < kMassNameWidth ? r.name.size() : kMassNameWidth - 1);
}

// R of the run group file, 0 for a missing or short file or a negative count.
std::int32_t MassCount(const FileOpener& open, const std::string& path) {
  std::unique_ptr<ByteSource> file = open(path);
  if (!file) return 0;
  std::optional<std::int32_t> r = ReadRunGroupCount(*file);
  return r && *r > 0 ? *r : 0;
}

}  // namespace

MassRecord DecodeMassRecord(const std::uint8_t* p) { return {le::I32(p, 0), le::Text(p, 4, kMassNameWidth)}; }

std::optional<std::int32_t> ReadRunGroupCount(ByteSource& file) {
  std::uint8_t header[kRunGroupHeaderSize];
  if (!file.Seek(0) || !ReadExact(file, header, sizeof header)) return std::nullopt;
  return le::I32(header, kRunGroupCountAt);
}

RunGroupRead ForEachMassRecord(ByteSource& file, const std::function<void(const MassRecord&)>& visit) {
  std::optional<std::int32_t> count = ReadRunGroupCount(file);
  if (!count) return RunGroupRead::ShortHeader;
  std::uint8_t raw[kMassRecordSize];
  for (std::int32_t i = 0; i < *count; ++i) {
    if (!ReadExact(file, raw, sizeof raw)) return RunGroupRead::ShortRecord;
    visit(DecodeMassRecord(raw));
  }
  return RunGroupRead::Ok;
}

bool FillRunGroupMassTable(const std::string& methodDir, const MethodRunGroups& method,
                           const FileOpener& open, RunGroupMassTable& table) {
  std::memset(&table, 0, sizeof table);
  if (method.mode < 0) return false;
  if (!IsTuneStepMode(method.mode)) {
    for (std::int32_t group : NamedRunGroups(method)) {
      std::unique_ptr<ByteSource> file =
          open(TwoDigitFileName(methodDir, "rungroup.", static_cast<unsigned>(group)));
      if (!file) return false;
      if (ForEachMassRecord(*file, [&](const MassRecord& r) { Mark(table, 1, r); }) != RunGroupRead::Ok)
        return false;
    }
    return true;
  }
  bool any = false;
  for (int k = 1; k <= kTuneSteps; ++k) {
    std::unique_ptr<ByteSource> file = open(TwoDigitFileName(methodDir, "rungroup.", static_cast<unsigned>(k)));
    if (!file) continue;
    any = true;
    if (ForEachMassRecord(*file, [&](const MassRecord& r) { Mark(table, k, r); }) != RunGroupRead::Ok)
      return false;
  }
  return any;
}

int CheckTuneMasses(ByteSource* tuneCriteria, int step, const std::string& methodDir,
                    const MethodRunGroups& method, const FileOpener& open) {
  if (!tuneCriteria) return -1;
  std::optional<QcStart> start = ReadQcStart(*tuneCriteria);
  if (!start) return 1;
  // A tune-criteria list that breaks off cannot show that its masses are
  // all measured: it answers like an unreadable header.
  std::vector<std::int32_t> tuneMasses;
  if (!tuneCriteria->Seek(start->header.elementOffset)) return 1;
  std::uint8_t raw[kQcElementSize];
  for (std::int32_t i = 0; i < start->info.elements; ++i) {
    if (!ReadExact(*tuneCriteria, raw, sizeof raw)) return 1;
    if (tuneMasses.size() < kListMax) tuneMasses.push_back(DecodeQcElement(raw).mass);
  }

  if (method.mode < 0 || method.mode > 5) return -1;
  std::vector<std::int32_t> groups;
  if (IsTuneStepMode(method.mode)) {
    groups.push_back(step);
  } else {
    if (step != 1) return -1;
    groups = method.mode == 2 ? NamedRunGroups(method) : std::vector<std::int32_t>{1};
  }

  std::vector<bool> found(tuneMasses.size(), false);
  for (std::int32_t group : groups) {
    std::unique_ptr<ByteSource> file = open(StepFileName(methodDir, "rungroup.", group));
    if (!file) return -1;
    RunGroupRead read = ForEachMassRecord(*file, [&](const MassRecord& r) {
      for (std::size_t i = 0; i < tuneMasses.size(); ++i)
        if (!found[i] && tuneMasses[i] == r.mass) {
          found[i] = true;
          break;
        }
    });
    if (read != RunGroupRead::Ok) return -1;
  }
  for (bool f : found)
    if (!f) return 1;
  return 0;
}

CalibrationComparison CompareCalibration(ByteSource* calibration, ByteSource* runGroup) {
  if (!calibration) return {-100, kMsgInvalidCalibration};
  std::uint8_t header[kCalibHeaderSize];
  if (!calibration->Seek(0) || !ReadExact(*calibration, header, sizeof header))
    return {-1, kMsgInvalidCalibration};
  CalibCount calib{DecodeCalibHeader(header), 0};
  std::uint8_t raw[4];
  if (!calibration->Seek(calib.header.countOffset) || !ReadExact(*calibration, raw, sizeof raw))
    return {-100, kMsgInvalidCalibration};
  const std::int32_t e = calib.count = le::I32(raw, 0);

  auto withoutRunGroup = [e]() -> CalibrationComparison {
    return {e >= 1 ? 1 : e == 0 ? 0 : -100, 0};
  };
  if (!runGroup) return withoutRunGroup();
  std::optional<std::int32_t> r = ReadRunGroupCount(*runGroup);
  if (!r) return {-100, kMsgInvalidMethod};
  if (*r < 1) return withoutRunGroup();
  if (e < 1) return {-1, 0};

  std::vector<std::int32_t> masses;
  try {
    RunGroupRead read = ForEachMassRecord(*runGroup, [&](const MassRecord& m) { masses.push_back(m.mass); });
    if (read != RunGroupRead::Ok) return {-100, kMsgInvalidMethod};
  } catch (const std::bad_alloc&) {
    return {-100, kMsgNoGlobalMemory};
  }
  if (*r > e) return {-1, 0};

  // The calibration's masses up to the first record that cannot be read: a
  // run-group mass found before it counts, one not found before it makes the
  // calibration unreadable.
  std::vector<std::int32_t> calibMasses;
  bool complete = ForEachCalibRecord(*calibration, calib, [&](const CalibRecord& c) {
    calibMasses.push_back(c.mass);
    return true;
  });
  for (std::int32_t m : masses) {
    bool hit = false;
    for (std::int32_t c : calibMasses)
      if (c == m) {
        hit = true;
        break;
      }
    if (!hit) return complete ? CalibrationComparison{-1, 0} : CalibrationComparison{-100, kMsgInvalidCalibration};
  }
  return {*r == e ? 0 : 1, 0};
}

StepCounts RunGroupStepCounts(const std::string& methodDir, const MethodRunGroups& method,
                              const FileOpener& open) {
  StepCounts out;
  out.slots.assign(method.mode == 2 ? kMethodRunGroups : kTuneSteps, 0);
  auto path = [&](std::int32_t group) { return StepFileName(methodDir, "rungroup.", group); };
  switch (method.mode) {
    case 0:
    case 1:
    case 3: out.slots[0] = MassCount(open, path(1)); break;
    case 4:
    case 5:
      for (int k = 1; k <= kTuneSteps; ++k) out.slots[static_cast<std::size_t>(k - 1)] = MassCount(open, path(k));
      break;
    case 2: {
      std::set<std::int32_t> counted;
      for (int i = 0; i < kMethodRunGroups; ++i) {
        std::int32_t group = method.list[i];
        if (group == 0) continue;
        out.slots[static_cast<std::size_t>(i)] = MassCount(open, path(group));
        if (out.slots[static_cast<std::size_t>(i)] > 0) counted.insert(group);
      }
      out.count = static_cast<std::int32_t>(counted.size());
      return out;
    }
    default: return out;
  }
  for (std::int32_t s : out.slots)
    if (s > 0) ++out.count;
  return out;
}

std::optional<StepCounts> FileStepCounts(MassFile kind, const std::string& dir, const FileOpener& open) {
  StepCounts out;
  out.slots.assign(kTuneSteps, 0);
  const char* stem = kind == MassFile::Calibration ? "calib." : kind == MassFile::QcDatabase ? "qcdb." : "qctune.";
  for (int n = 1; n <= kTuneSteps; ++n) {
    std::unique_ptr<ByteSource> file = open(StepFileName(dir, stem, n));
    std::int32_t elements = 0;
    if (kind == MassFile::Calibration) {
      std::optional<CalibCount> c = file ? ReadCalibCount(*file) : std::nullopt;
      if (!c) return std::nullopt;
      elements = c->count;
    } else if (file) {
      std::optional<QcStart> s = ReadQcStart(*file);
      if (s) elements = s->info.elements;
    }
    if (elements > 0) {
      out.slots[static_cast<std::size_t>(n - 1)] = elements;
      ++out.count;
    }
  }
  return out;
}

}  // namespace mcr
